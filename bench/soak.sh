#!/usr/bin/env bash
# Soak: the whole saver (/S) under Xvfb, when there is no display, plays a
# play list of ten short clips (0.3 to 0.4 s, MPEG-1 with sound, each its own
# colour and tone) through 500 clip changes. bench_soak (bench/soak.cpp)
# starts it, counts the changes through inotify on the clip folder (the
# player holds each clip open from its start until the next one replaces it)
# and every 50 changes takes, summed over the guard, the saver and its mpv,
# their resident memory (VmRSS), open file descriptors (/proc/PID/fd),
# threads, and how many processes there are.
#
# The bound. Resident memory at the last sample at most 8 MB above the
# sample at change 100 (the first samples hold the warm-up; a leak of 20 kB
# a change breaks it), the descriptor count of every sample within 2 of the
# first (it moves only when a file, a pipe or a socket is left open), and the
# same count of processes at every sample (a player replaced or left behind).
# A run here of 300 changes on an idle 2-core machine read 173.8 MB at change
# 50 and 174.4 MB at change 300, 34 descriptors and 3 processes throughout.
# It fails, too, when the saver ends on its own, when fewer than the changes
# come within the time limit (480 s for 500), or when SIGTERM at the end does
# not end it with status 0.
#
# Usage: bash bench/soak.sh <build-dir>. SOAK_CHANGES=N plays another count
# of changes (a multiple of 50, at least 150), SOAK_SECONDS=S another time
# limit; KEEP=1 keeps the work folder.
set -euo pipefail

build=$(realpath "${1:-build-soak}")
program="$build/Reelvista Screen Saver.SCR"
watcher="$build/bench/bench_soak"
changes=${SOAK_CHANGES:-500}
every=50
seconds=${SOAK_SECONDS:-$((changes * 480 / 500))}
rss_growth_mb=8
fd_drift=2
[[ -x $program ]] || { echo "soak: no $program; build first" >&2; exit 1; }
[[ -x $watcher ]] || cmake --build "$build" --target bench_soak >/dev/null
((changes % every == 0 && changes >= 3 * every)) ||
  { echo "soak: SOAK_CHANGES must be a multiple of $every, at least $((3 * every))" >&2; exit 1; }

if [[ -z ${DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" bash "$0" "$build"
fi

work=$(mktemp -d /tmp/reelvista-soak-XXXXXX)
trap '[[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT
mkdir "$work/clips"
colours=(red green blue yellow cyan magenta white orange purple gray)
for i in "${!colours[@]}"; do
  length=$(awk -v i="$i" 'BEGIN { printf "%.2f", 0.30 + 0.01 * i }')
  clip="$work/clips/clip$i.mpg"
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "color=c=${colours[$i]}:s=320x240:r=25:d=$length" \
    -f lavfi -i "sine=f=$((300 + 100 * i)):d=$length" -c:v mpeg1video -q:v 4 -c:a mp2 -shortest \
    "$clip"
  # A good clip: one MPEG-1 picture and one MPEG audio stream, and a length.
  streams=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$clip" | sort | tr '\n' ' ')
  length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$clip")
  if [[ $streams != "mp2 mpeg1video " ]] || ! awk -v l="$length" 'BEGIN { exit !(l >= 0.2) }'; then
    echo "soak: $clip came out wrong ($streams, $length s)" >&2
    exit 1
  fi
done
cp "$program" "$work/saver"
{
  printf '\r\n*.MPG\r\n'
  printf '%s\r\n' "$work"/clips/*.mpg
} >"$work/ReelvistaSaver.INI"
mkdir -m 700 "$work/runtime"

echo "soak: ${#colours[@]} clips, $changes clip changes, a sample every $every, at most ${seconds} s"
status=0
(cd "$work" && XDG_RUNTIME_DIR="$work/runtime" \
  "$watcher" "$work/clips" "$changes" "$every" "$seconds" "$work/saver" /S) \
  >"$work/figures" 2>"$work/saver.log" || status=$?
# How the saver ended: on its own (a failure), or by SIGTERM at the end.
ending=$(grep '^status \|^signal ' "$work/figures" || true)
failed=1
case $status in
  0) failed=0 ;;
  2) echo "soak: FAIL: the saver ended on its own (${ending:-no status})" ;;
  3) echo "soak: FAIL: fewer than $changes clip changes in $seconds s" ;;
  *) echo "soak: FAIL: the watcher failed (status $status)" ;;
esac
if ((status != 0)); then
  echo "soak: the last lines of the saver and the watcher:"
  { grep -v '^ALSA lib\|pw.conf' "$work/saver.log" || true; } | tail -n 10 | sed 's/^/    /'
fi

# The table, then the bound.
awk -v growth="$rss_growth_mb" -v drift="$fd_drift" -v every="$every" '
  $1 == "sample" {
    n++; change[n] = $2; at[n] = $3; rss[n] = $4 / 1024; fds[n] = $5; threads[n] = $6
    procs[n] = $7
  }
  $1 == "played" { played = $0 }
  END {
    printf "soak: %7s %8s %8s %5s %8s %9s\n", "change", "seconds", "RSS MB", "fds", "threads",
      "processes"
    for (i = 1; i <= n; i++)
      printf "soak: %7d %8.1f %8.1f %5d %8d %9d\n", change[i], at[i], rss[i], fds[i], threads[i],
        procs[i]
    if (played != "") {
      split(played, p, " ")
      printf "soak: %d clip starts, %d distinct clips, %d times the same clip twice in a row," \
        " longest gap between clips %d ms\n", p[2], p[3], p[4], p[5]
    }
    if (n < 3) { print "soak: FAIL: too few samples for the bound"; exit 1 }
    for (i = 1; i <= n && change[i] != 2 * every; i++) {}
    grew = rss[n] - rss[i]
    printf "soak: bound: RSS at change %d within +%d MB of change %d: %+.1f MB\n",
      change[n], growth, change[i], grew
    worst = 0
    for (j = 2; j <= n; j++) {
      d = fds[j] - fds[1]; if (d < 0) d = -d
      if (d > worst) worst = d
    }
    printf "soak: bound: fds of every sample within %d of the first (%d): worst %d\n",
      drift, fds[1], worst
    moved = 0
    for (j = 2; j <= n; j++) if (procs[j] != procs[1]) moved = 1
    printf "soak: bound: the same count of processes at every sample (%d): %s\n", procs[1],
      moved ? "it moved" : "it held"
    bad = moved
    if (grew > growth) { print "soak: FAIL: resident memory grew past the bound"; bad = 1 }
    if (worst > drift) { print "soak: FAIL: the descriptor count moved past the bound"; bad = 1 }
    exit bad
  }' "$work/figures" || failed=1

if ((status != 2)); then
  if [[ $ending == "status 0" ]]; then
    echo "soak: SIGTERM ended the saver with status 0"
  else
    echo "soak: FAIL: after SIGTERM the saver ended with ${ending:-no status}"
    failed=1
  fi
fi
if ((failed)); then
  echo "soak: FAIL"
  exit 1
fi
echo "soak: PASS"
