#!/usr/bin/env bash
# ./x lint: every source against .clang-format, then against .clang-tidy.
#
# clang-tidy reads each file with all of Qt behind it, seconds a file, so a
# file that passed is remembered (in ${XDG_CACHE_HOME:-~/.cache}/reelvista-lint)
# under the hash of its text, the compile command and everything of ours it may
# include (every header, .clang-tidy): only what changed is read again.
# Usage: tools/lint.sh BUILD_FOLDER (configured, with compile_commands.json).
set -euo pipefail
build=$1
mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')

echo "lint: clang-format over ${#sources[@]} files"
clang-format --dry-run -Werror "${sources[@]}"

mapfile -t headers < <(printf '%s\n' "${sources[@]}" | grep '\.h$')
shared_key=$(cat .clang-tidy CMakeLists.txt "${headers[@]}" | sha256sum | cut -c1-16)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/reelvista-lint
mkdir -p "$cache"

# Only files the build compiles have a command; the fuzz drivers are built by
# clang in their own configuration and linted there by the compiler.
compiled=$(grep -o '"file": "[^"]*"' "$build/compile_commands.json" | sed 's/"file": "//; s/"$//')
todo=()
for file in "${sources[@]}"; do
  [[ $file == *.cpp ]] || continue
  grep -qxF "$PWD/$file" <<<"$compiled" || continue
  key=$( (echo "$shared_key"; cat "$file") | sha256sum | cut -c1-16)
  [[ -e $cache/$key ]] || todo+=("$file:$key")
done

echo "lint: clang-tidy over ${#todo[@]} files (the rest passed before, unchanged)"
((${#todo[@]})) || exit 0
printf '%s\n' "${todo[@]}" | xargs -P "$(nproc)" -I{} bash -c '
  file=${1%:*} key=${1##*:}
  if clang-tidy -p "$2" --quiet "$file" 2> >(grep -v "warnings\? generated" >&2); then
    touch "$3/$key"
  else
    exit 1
  fi
' lint {} "$build" "$cache"
