#!/usr/bin/env bash
# The folder walk against find(1) with the same patterns, in one run: on a
# generated tree of about 50,000 files in 5,000 folders (one folder with
# 2,000 subfolders, one with 20,000 files, depth 8), on the same tree twice
# as large (the walk must grow linearly), and on /usr. Goals: a full walk
# takes no longer than find; a second start over the unchanged tree, with
# the scan's memory, takes no more than 40% of a full walk, from the
# saver's start to its playback window. Each figure is the best of five
# runs, on the clock and in processor time (user and system), the steadier
# figure on a loaded machine. The starts need an X server: Xvfb when there
# is no display.
set -euo pipefail
build=${1:?usage: bench/walk.sh <build-dir>}
if [[ -z ${DISPLAY:-} ]]; then
  exec xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" bash "$0" "$@"
fi
program="$build/bench/bench_walk"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The walks draw off screen; the starts' windows go to the X server.
walk_platform=offscreen
mkdir -p "$work/config/reelvista" "$work/cache"
mkdir -m 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime

patterns=(-iname '*.AVI' -o -iname '*.MOV' -o -iname '*.QT' -o -iname '*.MPG' -o -iname '*.MP3'
  -o -iname '*.RA' -o -iname '*.RM' -o -iname '*.RMM')

# Runs "$@" five times, each printing "<clock ms> <processor ms>"; prints the
# best of each.
best_of() {
  local clock= processor=
  for _ in 1 2 3 4 5; do
    local c p
    read -r c p < <("$@")
    if [[ -z $clock || $c -lt $clock ]]; then clock=$c; fi
    if [[ -z $processor || $p -lt $processor ]]; then processor=$p; fi
  done
  echo "$clock $processor"
}

find_ms() {
  local TIMEFORMAT='%3R %3U %3S'
  local times
  times=$({ time find "$1" -type f \( "${patterns[@]}" \) >"$work/find.out" 2>/dev/null; } 2>&1 || true)
  awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' <<<"$times"
}

# The walk alone, without the program's start; "memory <file>" keeps the
# scan's memory in the file.
walk_ms() {
  local tree=$1
  shift
  QT_QPA_PLATFORM=$walk_platform "$program" walk "$tree" "$@" >"$work/walk.out" 2>/dev/null
  awk '{ print $1, $3 }' "$work/walk.out"
}

# The saver's start up to its playback window, scanning drive D:, which the
# drives file maps to the tree; "full": without the scan's memory, as the
# first start.
start_ms() {
  [[ ${2:-} == full ]] && rm -f "$work/cache/reelvista/scan-memory"
  timeout 60 "$program" start D: 2>/dev/null
}

ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / (b ? b : 1) }'
}

# "<clock> <processor>" as "<clock> ms (<processor> ms of processor)".
shown() {
  echo "$1 ms ($2 ms of processor)"
}

declare -A walked
compare() {
  local name=$1 tree=$2
  local files folders
  files=$(find "$tree" -type f 2>/dev/null | wc -l || true)
  folders=$(find "$tree" -type d 2>/dev/null | wc -l || true)
  find_ms "$tree" >/dev/null  # warm the caches
  local found_by_find found_by_walk f fp w wp s sp
  found_by_find=$(wc -l <"$work/find.out")
  read -r f fp < <(best_of find_ms "$tree")
  read -r w wp < <(best_of walk_ms "$tree")
  found_by_walk=$(cut -d' ' -f2 "$work/walk.out")
  walked[$name]=$wp
  rm -f "$work/memory"
  walk_ms "$tree" memory "$work/memory" >/dev/null
  read -r s sp < <(best_of walk_ms "$tree" memory "$work/memory")
  echo "walk: $name: $files files in $folders folders; find $(shown "$f" "$fp"), $found_by_find found;" \
    "WalkFolders $(shown "$w" "$wp"), $found_by_walk found; ratio $(ratio "$w" "$f")" \
    "($(ratio "$wp" "$fp") in processor time)"
  echo "walk: $name: second walk with the memory: $(shown "$s" "$sp"), $(ratio "$s" "$w") of a" \
    "full walk ($(ratio "$sp" "$wp") in processor time)"
  # The start's scan stops when the play list is full, after 1,000 files.
  echo "d: $tree" >"$work/config/reelvista/drives"
  local a ap b bp
  read -r a ap < <(best_of start_ms "$tree" full)
  start_ms "$tree" >/dev/null
  read -r b bp < <(best_of start_ms "$tree")
  echo "walk: $name: start to playback: without the memory $(shown "$a" "$ap"), with it" \
    "$(shown "$b" "$bp"): $(ratio "$b" "$a") ($(ratio "$bp" "$ap") in processor time)"
}

for scale in 1 2; do
  "$program" make "$work/tree$scale" "$scale"
done
# Folders changed in the last two seconds are not remembered.
sleep 2
compare "scale 1" "$work/tree1"
compare "scale 2" "$work/tree2"
compare "/usr" /usr
echo "walk: growth from scale 1 to 2 (2x the entries):" \
  "$(ratio "${walked["scale 2"]}" "${walked["scale 1"]}")x in processor time"
