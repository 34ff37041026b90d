#!/usr/bin/env bash
# Playback against mpv, side by side on the same clips, under Xvfb when
# there is no display:
#   - first frame: from the process start to the first clip colour on screen;
#   - gap: from the last frame of the first clip to the first of the second;
#   - resident memory while playing.
# Each player runs a play list of a red and a blue clip, three times; the
# figures are medians. Usage: bash bench/playback.sh <build-dir>
set -euo pipefail

build=$(realpath "${1:-build-bench}")
program="$build/Reelvista Screen Saver.SCR"
[[ -x $program ]] || { echo "bench: no $program; build first" >&2; exit 1; }
command -v mpv >/dev/null || { echo "bench: mpv is not installed (./x bench installs it)" >&2; exit 1; }

if [[ -z ${DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" bash "$0" "$build"
fi

work=$(mktemp -d /tmp/reelvista-bench-XXXXXX)
trap '[[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT
for colour in red blue; do
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "color=c=$colour:s=1280x720:r=25:d=3" \
    -f lavfi -i "sine=d=3" -c:v mpeg1video -q:v 4 -c:a mp2 -shortest "$work/$colour.mpg"
done
cp "$program" "$work/saver"
printf '\r\n*.MPG\r\n%s\r\n%s\r\n' "$work/red.mpg" "$work/blue.mpg" >"$work/ReelvistaSaver.INI"
mkdir -m 700 "$work/runtime"

# Watches a 16x16 patch in the middle of the screen at 100 frames a second;
# prints "<wall-clock seconds> <colour>" for every frame (r, b, k black, ? other).
watch_screen() {
  ffmpeg -nostdin -loglevel info -f x11grab -framerate 100 -video_size 16x16 \
    -i "$DISPLAY+632,352" -copyts -frames:v "$(($1 * 100))" -vf format=yuv444p,showinfo -f null - 2>&1 |
    sed -n 's/.* pts: *\([0-9]*\) .*mean:\[\([0-9]*\) \([0-9]*\) \([0-9]*\)\].*/\1 \2 \3 \4/p' |
    awk '{ c = "?"; if ($2 < 30) c = "k"; else if ($4 > 200) c = "r"; else if ($3 > 200) c = "b";
           printf "%.6f %s\n", $1 / 1000000, c }'
}

# One run: prints "<first frame ms> <gap ms> <resident MB>".
measure() {
  local log="$work/screen.log"
  watch_screen 9 >"$log" &
  local watcher=$!
  sleep 1.5
  local start
  start=$(date +%s.%N)
  XDG_RUNTIME_DIR="$work/runtime" "$@" >/dev/null 2>&1 &
  local player=$!
  sleep 3
  local rss
  rss=$(awk '/VmRSS/ { print $2 }' "/proc/$player/status")
  wait "$watcher" || true
  kill -TERM "$player" 2>/dev/null || true
  wait "$player" 2>/dev/null || true
  awk -v start="$start" -v rss="$rss" '
    $1 < start { next }
    first == "" && ($2 == "r" || $2 == "b") { first = $1; colour = $2 }
    first != "" && $2 == colour && second == "" { last = $1 }
    first != "" && ($2 == "r" || $2 == "b") && $2 != colour && second == "" { second = $1 }
    END {
      if (first == "" || second == "") { print "- - -"; exit }
      printf "%d %d %d\n", (first - start) * 1000, (second - last) * 1000, rss / 1024
    }' "$log"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

report() {
  local name=$1
  shift
  local runs="$work/$name.runs"
  : >"$runs"
  for _ in 1 2 3; do
    (cd "$work" && measure "$@") >>"$runs"
  done
  printf '%-10s first frame %5s ms   gap %5s ms   resident %4s MB   (runs: %s)\n' "$name" \
    "$(cut -d' ' -f1 "$runs" | median)" "$(cut -d' ' -f2 "$runs" | median)" \
    "$(cut -d' ' -f3 "$runs" | median)" "$(tr '\n' ';' <"$runs")"
}

report reelvista "$work/saver" /S
report mpv mpv --no-config --fs --keep-open=no "$work/red.mpg" "$work/blue.mpg"
