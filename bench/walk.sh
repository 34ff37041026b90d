#!/usr/bin/env bash
# The folder walk against find(1) with the same patterns, in one run: on a
# generated tree of about 50,000 files in 5,000 folders (one folder with
# 2,000 subfolders, one with 20,000 files, depth 8), on the same tree twice
# as large (the walk must grow linearly), and on /usr. Goals: a full walk
# takes no longer than find; a second start over the unchanged tree, with
# the scan's memory, takes no more than 40% of a full walk.
set -euo pipefail
build=${1:?usage: bench/walk.sh <build-dir>}
program="$build/bench/bench_walk"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

patterns=(-iname '*.AVI' -o -iname '*.MOV' -o -iname '*.QT' -o -iname '*.MPG' -o -iname '*.MP3'
  -o -iname '*.RA' -o -iname '*.RM' -o -iname '*.RMM')

# Best of five runs, in milliseconds.
best_of() {
  local best=
  for _ in 1 2 3 4 5; do
    local ms
    ms=$("$@")
    if [[ -z $best || $ms -lt $best ]]; then best=$ms; fi
  done
  echo "$best"
}

find_ms() {
  local start end
  start=$(date +%s%N)
  find "$1" -type f \( "${patterns[@]}" \) >"$work/find.out" 2>/dev/null || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

# The walk alone, without the program's start; "memory" keeps the scan's
# memory in $work/memory.
walk_ms() {
  local tree=$1
  shift
  "$program" walk "$tree" "$@" >"$work/walk.out" 2>/dev/null
  cut -d' ' -f1 "$work/walk.out"
}

ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / (b ? b : 1) }'
}

declare -A walked
compare() {
  local name=$1 tree=$2
  local files folders
  files=$(find "$tree" -type f 2>/dev/null | wc -l || true)
  folders=$(find "$tree" -type d 2>/dev/null | wc -l || true)
  find_ms "$tree" >/dev/null  # warm the caches
  local found_by_find f w found_by_walk first second
  found_by_find=$(wc -l <"$work/find.out")
  f=$(best_of find_ms "$tree")
  w=$(best_of walk_ms "$tree")
  found_by_walk=$(cut -d' ' -f2 "$work/walk.out")
  walked[$name]=$w
  rm -f "$work/memory"
  first=$(walk_ms "$tree" memory "$work/memory")
  second=$(best_of walk_ms "$tree" memory "$work/memory")
  echo "walk: $name: $files files in $folders folders; find ${f} ms ($found_by_find found)," \
    "WalkFolders ${w} ms ($found_by_walk found); ratio $(ratio "$w" "$f");" \
    "with the memory: first start ${first} ms, second start ${second} ms" \
    "($(ratio "$second" "$w") of a full walk)"
}

for scale in 1 2; do
  "$program" make "$work/tree$scale" "$scale"
done
# Folders changed in the last two seconds are not remembered.
sleep 2
compare "scale 1" "$work/tree1"
compare "scale 2" "$work/tree2"
compare "/usr" /usr
echo "walk: growth from scale 1 to 2 (2x the entries): $(ratio "${walked["scale 2"]}" "${walked["scale 1"]}")x"
