#!/usr/bin/env bash
# The folder walk against find(1) on the same generated trees, in one run:
# about 50,000 files in 5,000 folders (one folder with 2,000 subfolders, one
# with 20,000 files, depth 8), then the same tree twice as large, to see
# that the walk grows linearly. Goal: no more than 1.5 times find's time.
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
  find "$1" -type f \( "${patterns[@]}" \) >"$work/find.out"
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

walk_ms() {
  "$program" walk "$1" >"$work/walk.out" 2>/dev/null
  cut -d' ' -f1 "$work/walk.out"
}

declare -A walked
for scale in 1 2; do
  tree="$work/tree$scale"
  "$program" make "$tree" "$scale"
  files=$(find "$tree" -type f | wc -l)
  folders=$(find "$tree" -type d | wc -l)
  find_ms "$tree" >/dev/null  # warm the caches
  found_by_find=$(wc -l <"$work/find.out")
  f=$(best_of find_ms "$tree")
  w=$(best_of walk_ms "$tree")
  found_by_walk=$(cut -d' ' -f2 "$work/walk.out")
  walked[$scale]=$w
  echo "walk: scale $scale: $files files in $folders folders; find ${f} ms ($found_by_find found)," \
    "WalkFolders ${w} ms ($found_by_walk found); ratio $(awk -v w="$w" -v f="$f" 'BEGIN { printf "%.2f", w / (f ? f : 1) }')"
done
echo "walk: growth from scale 1 to 2 (2x the entries): $(awk -v a="${walked[1]}" -v b="${walked[2]}" 'BEGIN { printf "%.2f", b / (a ? a : 1) }')x"
