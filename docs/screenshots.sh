#!/usr/bin/env bash
# ./x screenshots: the pictures of the README, made again. Runs the program
# under Xvfb in a folder of its own, drives it with xdotool and grabs its
# windows with ffmpeg into docs/*.png.
#
# Usage (from the repository's root): docs/screenshots.sh PROGRAM
set -euo pipefail
program=$1
screen=1280x720

if [[ ${2:-} != --inside ]]; then
  tools/demo.sh "$program" --prepare >/dev/null
  exec xvfb-run -a -s "-screen 0 ${screen}x24 -nolisten tcp" "$0" "$program" --inside
fi

docs=$PWD/docs
# A fixed place with a short name, so that the paths the windows show stay
# the same from one run to the next and fit in the lists.
work=/tmp/rv
rm -rf "$work"
mkdir -p "$work/config/reelvista" "$work/runtime" "$work/Videos/Music"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
cp "$program" "$work/"
saver=$work/$(basename "$program")
clips=$PWD/out/demo/media
cp "$clips/Mandelbrot.mov" "$clips/Colour wheel.avi" "$clips/Test pattern.avi" \
  "$clips/Gradients.mpg" "$work/Videos/"
cp "$clips/Tone.mp3" "$work/Videos/Music/"
patterns='*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM;*.RMM'
pid=

settings() { # DRIVE CLIP...: the settings file beside the program
  local drive=$1
  shift
  { printf '%s\r\n%s\r\n' "$drive" "$patterns"; printf '%s\r\n' "$@"; } >"$work/ReelvistaSaver.INI"
}

start() {
  (cd "$work" && exec "$saver" "$@" 2>/dev/null) &
  pid=$!
}

stop() {
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# The id of the program's shown window with this title, once it is up.
window() {
  local found
  for ((i = 0; i < 200; i++)); do
    found=$(xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" 2>/dev/null | head -1) || true
    [[ -n $found ]] && { echo "$found"; return; }
    sleep 0.1
  done
  echo "screenshots: no window \"$1\"" >&2
  exit 1
}

keys() {
  for key in "$@"; do
    xdotool key --clearmodifiers "$key"
    sleep 0.1
  done
}

focus() {
  xdotool windowfocus --sync "$1"
  sleep 0.3
}

# X Y WIDTH HEIGHT of a window.
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$X $Y $WIDTH $HEIGHT"
}

# NAME X Y WIDTH HEIGHT [SCALED WIDTH]: that part of the screen as docs/NAME.png,
# in 256 colours to keep the file small.
grab() {
  local filters="split[a][b];[a]palettegen=max_colors=256[p];[b][p]paletteuse=dither=none"
  [[ -n ${6:-} ]] && filters="scale=$6:-1:flags=lanczos,$filters"
  ffmpeg -nostdin -loglevel error -y -f x11grab -draw_mouse 0 -video_size "$4x$5" \
    -i "$DISPLAY+$2,$3" -frames:v 1 "$work/grab.png"
  ffmpeg -nostdin -loglevel error -y -i "$work/grab.png" -vf "$filters" -compression_level 9 \
    -pred mixed "$docs/$1.png"
  echo "screenshots: docs/$1.png"
}

# NAME WINDOW [MARGIN]: the window, and as much around it, as docs/NAME.png.
grab_window() {
  local margin=${3:-0} x y w h
  read -r x y w h < <(geometry "$2")
  grab "$1" $((x - margin)) $((y - margin)) $((w + 2 * margin)) $((h + 2 * margin))
}

videos=$work/Videos
play_list=("$videos/Mandelbrot.mov" "$videos/Colour wheel.avi" "$videos/Test pattern.avi"
  "$videos/Gradients.mpg" "$videos/Music/Tone.mp3")
printf 'C: %s\nD: %s\n' "$work" "$videos" >"$XDG_CONFIG_HOME/reelvista/drives"

# The settings dialog with a play list.
settings "D:" "${play_list[@]}"
start
dialog=$(window Settings)
focus "$dialog"
grab_window settings "$dialog"

# The search dialog beside it, after a search of drive D:.
keys alt+s
search=$(window "Search Reelvista file")
focus "$search"
keys Tab Tab Tab Tab Down alt+s
sleep 2
read -r x y w h < <(geometry "$dialog")
read -r sx sy sw sh < <(geometry "$search")
left=$((x < sx ? x : sx)) top=$((y < sy ? y : sy))
right=$((x + w > sx + sw ? x + w : sx + sw)) bottom=$((y + h > sy + sh ? y + h : sy + sh))
grab search "$left" "$top" $((right - left)) $((bottom - top))
stop

# The scan window, shown while the saver walks the drive before it plays:
# a large drive, the screen recorded meanwhile, and the frame that shows the
# most of the window cut to what is not black (the rest of the screen is).
mkdir -p "$work/Disc" "$work/frames"
for folder in {1..300}; do
  mkdir -p "$work/Disc/$folder"
  touch "$work/Disc/$folder/"{1..100}.txt
done
printf 'C: %s\nD: %s\n' "$work" "$work/Disc" >"$XDG_CONFIG_HOME/reelvista/drives"
settings "D:"
ffmpeg -nostdin -loglevel error -y -f x11grab -draw_mouse 0 -framerate 20 -video_size "$screen" \
  -i "$DISPLAY" -t 8 "$work/frames/%03d.png" &
recorder=$!
sleep 0.5
start /S
wait "$recorder"
stop
# shellcheck disable=SC2012 # the names are ffmpeg's, ls sorts them by size
frame=$(ls -S "$work"/frames/*.png | head -1)
# WIDTH HEIGHT LEFT TOP of the pixels that are not black.
box=$(ffmpeg -nostdin -loglevel error -i "$frame" -f rawvideo -pix_fmt gray - |
  od -An -v -tu1 -w"${screen%x*}" | awk '
    { for (i = 1; i <= NF; i++) if ($i > 0) {
        if (!seen || i < left) left = i
        if (i > right) right = i
        if (!seen) top = NR
        bottom = NR; seen = 1 } }
    END { if (seen) print right - left + 1, bottom - top + 1, left - 1, top - 1 }')
read -r w h x y <<<"$box"
((w > 100 && h > 40)) || { echo "screenshots: the scan window was not seen" >&2; exit 1; }
ffmpeg -nostdin -loglevel error -y -i "$frame" -vf "crop=$w:$h:$x:$y" -compression_level 9 \
  -pred mixed "$docs/scan.png"
echo "screenshots: docs/scan.png"
rm -rf "$work/Disc" "$work/frames"

# The saver playing, the whole screen made smaller.
settings "" "$videos/Mandelbrot.mov"
start /S
window Reelvista >/dev/null
sleep 2
grab saver 0 0 "${screen%x*}" "${screen#*x}" 640
stop

# The password prompt over the playing saver.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n%s\r\n' \
  '"ScreenSaveUsePassword"=dword:00000001' >"$XDG_CONFIG_HOME/reelvista/user.reg"
start /S
window Reelvista >/dev/null
sleep 1.5
keys x
prompt=$(window "Reelvista password")
sleep 0.3
grab_window password "$prompt" 60
stop
