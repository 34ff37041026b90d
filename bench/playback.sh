#!/usr/bin/env bash
# Playback against `mpv --fs`, side by side on the same clips in the same
# run, under Xvfb when there is no display. For the saver, every process of
# it counts: the guard, the saver and its mpv.
#   - CPU: CPU-seconds over 15 s of a 1280x720 H.264 clip;
#   - resident memory while that clip plays;
#   - first frame: from the process start to the first clip colour on screen;
#   - gap: the black between clips, over at least 20 clip changes, median
#     and worst. Each clip is red, then blue, so every change is blue to red.
# Each figure is the median of three runs, the two players taking turns.
# Usage: bash bench/playback.sh <build-dir>
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
mkdir -m 700 "$work/runtime" "$work/hd" "$work/gap"
ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc2=s=1280x720:r=25:d=20" -f lavfi \
  -i "sine=d=20" -c:v libx264 -preset fast -pix_fmt yuv420p -c:a aac -shortest "$work/hd.mp4"
ffmpeg -nostdin -loglevel error -y -f lavfi -i "color=c=red:s=1280x720:r=25:d=0.6" -f lavfi \
  -i "color=c=blue:s=1280x720:r=25:d=0.6" -f lavfi -i "sine=d=1.2" \
  -filter_complex "[0:v][1:v]concat=n=2:v=1:a=0[v]" -map "[v]" -map 2:a \
  -c:v libx264 -preset fast -pix_fmt yuv420p -c:a aac -shortest "$work/clip.mp4"
gap_clips=()
for n in $(seq -w 1 26); do
  cp "$work/clip.mp4" "$work/gap/$n.mp4"
  gap_clips+=("$work/gap/$n.mp4")
done
cp "$program" "$work/hd/saver"
cp "$program" "$work/gap/saver"
printf '\r\n*.MP4\r\n%s\r\n' "$work/hd.mp4" >"$work/hd/ReelvistaSaver.INI"
{
  printf '\r\n*.MP4\r\n'
  printf '%s\r\n' "${gap_clips[@]}"
} >"$work/gap/ReelvistaSaver.INI"

# Watches a 16x16 patch at 100 frames a second for the seconds given, in
# the middle of the screen or at the corner given ("x,y"); prints
# "<wall-clock seconds> <colour>" for every frame (r red, b blue, k black,
# ? other).
watch_screen() {
  ffmpeg -nostdin -loglevel info -f x11grab -framerate 100 -video_size 16x16 \
    -i "$DISPLAY+${2:-632,352}" -copyts -frames:v "$(($1 * 100))" -vf format=yuv444p,showinfo \
    -f null - 2>&1 |
    sed -n 's/.* pts: *\([0-9]*\) .*mean:\[\([0-9]*\) \([0-9]*\) \([0-9]*\)\].*/\1 \2 \3 \4/p' |
    awk '{ c = "?"; if ($2 < 30) c = "k"; else if ($4 > 200) c = "r"; else if ($3 > 200) c = "b";
           printf "%.6f %s\n", $1 / 1000000, c }'
}

# The process and every process below it, one a line: started with /S, the
# saver is the guard's child and its mpv the saver's.
family() {
  echo "$1"
  local child
  for child in $(pgrep -P "$1" || true); do family "$child"; done
}

# CPU-seconds (user and system) of the process and its children, so far.
cpu_seconds() {
  local total=0 pid
  for pid in $(family "$1"); do
    [[ -r /proc/$pid/stat ]] || continue
    total=$((total + $(awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat")))
  done
  echo "scale=2; $total / $(getconf CLK_TCK)" | bc
}

resident_mb() {
  local total=0 pid
  for pid in $(family "$1"); do
    total=$((total + $(awk '/VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)))
  done
  echo $((total / 1024))
}

# Runs a player from its folder in the background; sets $started and $player.
launch() {
  local folder=$1
  shift
  started=$(date +%s.%N)
  (cd "$folder" && XDG_RUNTIME_DIR="$work/runtime" exec "$@" >/dev/null 2>&1) &
  player=$!
}

finish() {
  kill -TERM "$player" 2>/dev/null || true
  wait "$player" 2>/dev/null || true
  sleep 1
}

# One run on the H.264 clip: prints "<CPU-seconds> <resident MB>".
measure_hd() {
  launch "$@"
  sleep 8
  local rss
  rss=$(resident_mb "$player")
  sleep 7
  echo "$(cpu_seconds "$player") $rss"
  finish
}

# One run through the red-and-blue clips: prints "<first frame ms> <gap
# median ms> <gap worst ms> <changes>".
measure_gaps() {
  local log="$work/screen.log"
  watch_screen 36 >"$log" &
  local watcher=$!
  sleep 1.5
  launch "$@"
  wait "$watcher" || true
  finish
  awk -v start="$started" '
    $1 < start { next }
    first == "" && ($2 == "r" || $2 == "b") { first = $1; print "first", (first - start) * 1000 }
    $2 == "r" && side == "b" { print "gap", ($1 - lastBlue) * 1000 }
    $2 == "b" { lastBlue = $1; side = "b" }
    $2 == "r" { side = "r" }' "$log" >"$work/events"
  local first gaps
  first=$(awk '$1 == "first" { printf "%d", $2 }' "$work/events")
  gaps=$(awk '$1 == "gap" { printf "%d\n", $2 }' "$work/events" | sort -n)
  if [[ -z $first || -z $gaps ]]; then
    echo "- - - 0"
    return
  fi
  echo "$first $(median <<<"$gaps") $(tail -1 <<<"$gaps") $(wc -l <<<"$gaps")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for run in 1 2 3; do
  measure_hd "$work/hd" "$work/hd/saver" /S >>"$work/reelvista.hd"
  measure_hd "$work/hd" mpv --no-config --fs --keep-open=no "$work/hd.mp4" >>"$work/mpv.hd"
  measure_gaps "$work/gap" "$work/gap/saver" /S >>"$work/reelvista.gaps"
  measure_gaps "$work/gap" mpv --no-config --fs --keep-open=no "${gap_clips[@]}" >>"$work/mpv.gaps"
done

column_median() { cut -d' ' -f"$2" "$1" | median; }
printf '%-10s %9s %10s %12s %10s %10s %8s\n' "" "CPU s" "resident" "first frame" "gap med" \
  "gap worst" "changes"
for name in reelvista mpv; do
  printf '%-10s %9s %7s MB %9s ms %7s ms %7s ms %8s\n' "$name" \
    "$(column_median "$work/$name.hd" 1)" "$(column_median "$work/$name.hd" 2)" \
    "$(column_median "$work/$name.gaps" 1)" "$(column_median "$work/$name.gaps" 2)" \
    "$(column_median "$work/$name.gaps" 3)" "$(column_median "$work/$name.gaps" 4)"
done
echo "runs (CPU s, MB | first ms, gap median ms, gap worst ms, changes):"
for name in reelvista mpv; do
  echo "  $name: $(tr '\n' ';' <"$work/$name.hd") | $(tr '\n' ';' <"$work/$name.gaps")"
done

# On several monitors, with Xorg's dummy driver (it keeps RandR monitors,
# which Xvfb does not, and runs only as root): the saver on one 640x480
# monitor, then on two side by side, on the same server. Each monitor plays
# a copy of the H.264 clip of its own, so two should cost at most twice one
# monitor's CPU plus 10 %, and the first frame on the slower monitor should
# come within 1.5 times one monitor's first frame.

# One run through the red-and-blue clips on the monitors: prints the first
# frame in ms on the slowest of them.
measure_first() {
  local count=$1 i watchers=()
  for ((i = 0; i < count; i++)); do
    watch_screen 10 "$((312 + 640 * i)),232" >"$work/first$i.log" &
    watchers+=($!)
  done
  sleep 1.5
  launch "$work/gap" "$work/gap/saver" /S
  wait "${watchers[@]}" || true
  finish
  local slowest=0 first
  for ((i = 0; i < count; i++)); do
    first=$(awk -v start="$started" '$1 >= start && ($2 == "r" || $2 == "b") {
      printf "%d", ($1 - start) * 1000; exit }' "$work/first$i.log")
    [[ -n $first ]] || { echo "-"; return; }
    ((first > slowest)) && slowest=$first
  done
  echo "$slowest"
}

use_monitors() {
  local second=(--off)
  (($1 == 2)) && second=(--mode 640x480 --pos 640x0)
  xrandr --fb 1280x480 --output DUMMY0 --mode 640x480 --pos 0x0 --primary \
    --output DUMMY1 "${second[@]}"
}

monitors_run() {
  if [[ $(id -u) -ne 0 || ! -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]] ||
    ! command -v Xorg >/dev/null; then
    echo "monitors: skipped (needs root, and Xorg with the dummy driver: ./x setup)"
    return
  fi
  cat >"$work/xorg.conf" <<'CONF'
Section "Device"
 Identifier "dummy"
 Driver "dummy"
 VideoRam 32768
EndSection
Section "Monitor"
 Identifier "monitor"
 HorizSync 5.0-100.0
 VertRefresh 5.0-200.0
 Modeline "1280x480" 40.0 1280 1300 1400 1500 480 490 495 500
EndSection
Section "Screen"
 Identifier "screen"
 Device "dummy"
 Monitor "monitor"
 DefaultDepth 24
 SubSection "Display"
  Depth 24
  Modes "1280x480"
 EndSubSection
EndSection
CONF
  local number=70
  while [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]]; do number=$((number + 1)); done
  Xorg ":$number" -config "$work/xorg.conf" -noreset -nolisten tcp -logfile "$work/xorg.log" \
    >/dev/null 2>&1 &
  local server=$! outer_display=$DISPLAY
  export DISPLAY=":$number"
  for _ in $(seq 100); do xrandr -q >/dev/null 2>&1 && break; sleep 0.2; done
  xrandr --addmode DUMMY1 640x480
  local count
  for count in 1 2; do
    use_monitors "$count"
    for run in 1 2 3; do
      measure_hd "$work/hd" "$work/hd/saver" /S >>"$work/monitors$count.hd"
      measure_first "$count" >>"$work/monitors$count.first"
    done
  done
  kill "$server"
  wait "$server" 2>/dev/null || true
  export DISPLAY=$outer_display

  local cpu1 cpu2 first1 first2
  cpu1=$(column_median "$work/monitors1.hd" 1)
  cpu2=$(column_median "$work/monitors2.hd" 1)
  first1=$(median <"$work/monitors1.first")
  first2=$(median <"$work/monitors2.first")
  printf '\n%-10s %9s %10s %12s\n' "monitors" "CPU s" "resident" "first frame"
  for count in 1 2; do
    printf '%-10s %9s %7s MB %9s ms\n' "$count" "$(column_median "$work/monitors$count.hd" 1)" \
      "$(column_median "$work/monitors$count.hd" 2)" "$(median <"$work/monitors$count.first")"
  done
  echo "two monitors: CPU $(echo "scale=2; $cpu2 / $cpu1" | bc) times one monitor's (at most 2.2)," \
    "first frame $(echo "scale=2; $first2 / $first1" | bc) times (at most 1.5)"
  echo "runs (CPU s, MB | first ms):"
  for count in 1 2; do
    echo "  $count: $(tr '\n' ';' <"$work/monitors$count.hd") | $(tr '\n' ';' <"$work/monitors$count.first")"
  done
}

monitors_run
