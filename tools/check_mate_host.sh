#!/usr/bin/env bash
# Checks by hand that mate-screensaver runs the installed package's theme:
# run under an X display (xvfb-run) as root, with the package installed
# (dpkg -i out/reelvista_*.deb). As the user nobody, with a home of its own
# whose settings file names a red clip, it activates mate-screensaver's
# "Reelvista" theme, saves a screenshot to SHOT (out/host-mate-screensaver.png)
# and says how many runs of the program and its mpv there were (one a
# monitor), how many played sound (one), and whether they ended on
# deactivation; it exits with 1 when any of these is not as it should be.
set -euo pipefail
shot=${1:-$PWD/out/host-mate-screensaver.png}
[[ -x /usr/libexec/xscreensaver/reelvista ]] || { echo "install the package first" >&2; exit 2; }
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config/reelvista" "$home/.config/glib-2.0/settings" "$home/runtime"
ffmpeg -loglevel error -y -f lavfi -i color=c=red:s=160x90:d=2 "$home/red.mpg"
printf '\r\n*.MPG\r\n%s\r\n' "$home/red.mpg" >"$home/.config/reelvista/ReelvistaSaver.INI"
# mate-screensaver reads its settings through GSettings: a key file here.
printf '%s\n' '[org/mate/screensaver]' "mode='single'" "themes=['screensavers-reelvista']" \
  'lock-enabled=false' >"$home/.config/glib-2.0/settings/keyfile"
cp "$XAUTHORITY" "$home/Xauthority"
chmod 755 "$home"
chmod 700 "$home/runtime"
chown -R nobody:nogroup "$home"
running() { pgrep -u nobody -f 'Reelvista Screen Saver.SCR|mpv' >/dev/null; }
wrong=0
# Says what was seen, and counts it as wrong when it is not what was expected.
expect() {
  local what=$1 seen=$2 expected=$3
  if [[ $seen == "$expected" ]]; then
    echo "mate-screensaver: $what: $seen"
  else
    echo "mate-screensaver: $what: $seen, expected $expected" >&2
    wrong=1
  fi
}
# The runs of the program and the mpv players, one a monitor, and the
# players with a sound output: one.
count_runs() {
  local monitors runs players sound=0
  monitors=$(xrandr --listmonitors | sed -n 's/^Monitors: *//p')
  runs=$(pgrep -u nobody -c -f 'Reelvista Screen Saver.SCR' || true)
  players=$(pgrep -u nobody -x mpv || true)
  for pid in $players; do
    tr '\0' '\n' <"/proc/$pid/cmdline" | grep -qx -- '--ao=null' || sound=$((sound + 1))
  done
  expect "runs of the program" "$runs" "$monitors"
  expect "mpv players" "$(wc -w <<<"$players")" "$monitors"
  expect "players with sound" "$sound" 1
}

HOME=$home XAUTHORITY=$home/Xauthority XDG_RUNTIME_DIR=$home/runtime GSETTINGS_BACKEND=keyfile \
  setpriv --reuid=nobody --regid=nogroup --clear-groups dbus-run-session -- bash -c '
    mate-screensaver --no-daemon 2>/dev/null & daemon=$!
    until mate-screensaver-command --query >/dev/null 2>&1; do sleep 0.2; done
    mate-screensaver-command --activate >/dev/null
    sleep 5
    ffmpeg -loglevel error -y -f x11grab -i "$DISPLAY" -frames:v 1 "$0/shot.png"
    mate-screensaver-command --deactivate >/dev/null
    sleep 2
    kill "$daemon"' "$home" &
session=$!
sleep 4
count_runs
wait "$session" || true
cp "$home/shot.png" "$shot"
if running; then
  expect "after deactivation" "still running" "ended"
else
  expect "after deactivation" "ended" "ended"
fi
echo "screenshot: $shot"
exit "$wrong"
