#!/usr/bin/env bash
# ./x demo: a handful of sample clips, a play list for them and a copy of the
# program in out/demo/, then the saver playing them. On a display it plays
# full screen until a key or a click; without one it plays under Xvfb for
# ten seconds, recorded to out/demo.mp4 with a few screenshots beside it.
#
# Usage (from the repository's root): tools/demo.sh PROGRAM [--prepare]
# --prepare makes out/demo/ and stops there.
set -euo pipefail
program=$1
out=$PWD/out
demo=$out/demo
media=$demo/media
seconds=4
mkdir -p "$media" "$demo/config"

# NAME PICTURE TONE: a clip of the picture source (an ffmpeg lavfi graph) with
# a sine tone in Hz; the name's extension picks the container. Made once.
clip() {
  local file=$media/$1 codecs=(-c:v mpeg4 -q:v 4 -c:a libmp3lame)
  [[ -s $file ]] && return
  [[ $file == *.mpg ]] && codecs=(-c:v mpeg1video -q:v 4 -c:a mp2)
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "$2" -f lavfi -i "sine=f=$3:d=$seconds" \
    -t "$seconds" "${codecs[@]}" -shortest "$file.part.${file##*.}"
  mv "$file.part.${file##*.}" "$file"
}

tone() {
  [[ -s $media/$1 ]] && return
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=f=$2:d=$seconds" -c:a libmp3lame \
    "$media/$1.part.mp3"
  mv "$media/$1.part.mp3" "$media/$1"
}

# Made side by side: on a machine with more than one core that is quicker.
size=640x360:r=25
jobs=()
clip "Test pattern.avi" "testsrc2=s=$size" 440 & jobs+=($!)
clip "Mandelbrot.mov" "mandelbrot=s=$size" 523 & jobs+=($!)
clip "Gradients.mpg" "gradients=s=$size:speed=0.03" 659 & jobs+=($!)
clip "Colour wheel.avi" "color=c=red:s=$size,hue=H=2*PI*t/$seconds" 784 & jobs+=($!)
tone "Tone.mp3" 330 & jobs+=($!)
for job in "${jobs[@]}"; do wait "$job"; done

# The demo's own copy of the program, so its settings file (beside the
# executable) is the demo's: no drive scan, the usual patterns, the clips.
install -m 755 "$program" "$demo/.program.part"
mv "$demo/.program.part" "$demo/$(basename "$program")"
{
  printf '\r\n*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM;*.RMM\r\n'
  for file in "$media"/*; do printf '%s\r\n' "$file"; done
} >"$demo/ReelvistaSaver.INI"

[[ ${2:-} == --prepare ]] && exit 0

# Per-user settings of the demo's own: no user.reg, so no password is asked.
export XDG_CONFIG_HOME=$demo/config
saver=("$demo/$(basename "$program")" /S)

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  echo "x: the demo plays full screen; a key or a mouse button ends it."
  exec "${saver[@]}"
fi

echo "x: no display here; playing the demo under Xvfb for ten seconds."
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
rm -f "$out"/demo-*.png
# shellcheck disable=SC2016 # the script's variables are its own
XDG_RUNTIME_DIR=$runtime xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" bash -c '
  out=$1
  shift
  "$@" 2>"$out/demo/saver.log" & pid=$!
  # Record from the moment the saver window is up (the first clip starts
  # right then), for at most 30 seconds of waiting.
  for ((i = 0; i < 300; i++)); do
    xdotool search --onlyvisible --name "^Reelvista$" >/dev/null 2>&1 && break
    kill -0 "$pid" 2>/dev/null || { echo "x: the saver ended early; see $out/demo/saver.log" >&2; exit 1; }
    sleep 0.1
  done
  ffmpeg -nostdin -loglevel error -y -f x11grab -framerate 25 -video_size 1280x720 -t 10 \
    -i "$DISPLAY" -c:v libx264 -preset veryfast -pix_fmt yuv420p "$out/demo.mp4"
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true' demo "$out" "${saver[@]}"

# A frame a second; of each third of the recording the frame with the most
# in it (not the black screen of the sound file) is kept.
frames=$(mktemp -d)
ffmpeg -nostdin -loglevel error -y -i "$out/demo.mp4" -vf fps=1,scale=640:-2 "$frames/%02d.png"
shot=0
for third in "0[123]" "0[456]" "0[789]"; do
  # shellcheck disable=SC2012,SC2086 # the pattern is meant; the names are ffmpeg's
  frame=$(ls -S "$frames"/$third.png 2>/dev/null | head -1) || true
  [[ -n $frame ]] && mv "$frame" "$out/demo-$((++shot)).png"
done
rm -rf "$frames"
echo "x: recorded $out/demo.mp4; screenshots: $(echo "$out"/demo-*.png)"
echo "x: the demo's clips, play list and program are in $demo/"
