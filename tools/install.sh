#!/usr/bin/env bash
# ./x install [--autostart] and ./x uninstall: Reelvista for this user alone.
#
#   ~/.local/lib/reelvista/        the program, and its settings file beside it
#   ~/.local/bin/reelvista         the command: runs the program with its arguments
#   ~/.local/share/applications/reelvista-settings.desktop   "Reelvista Settings"
#   ~/.local/share/icons/hicolor/scalable/apps/reelvista.svg  its icon
#   ~/.config/autostart/reelvista.desktop   with --autostart: xss-lock starts the saver
#
# Every file and folder an install makes is listed in the program's folder
# (installed); uninstall removes just those. The settings file is the user's,
# written by the settings dialog, so both keep it.
#
# Usage (from the repository's root): tools/install.sh install PROGRAM [--autostart]
#                                     tools/install.sh uninstall
set -euo pipefail
sources=$PWD/install
lib=$HOME/.local/lib/reelvista
bin=$HOME/.local/bin
applications=${XDG_DATA_HOME:-$HOME/.local/share}/applications
icons=${XDG_DATA_HOME:-$HOME/.local/share}/icons/hicolor/scalable/apps
autostart=${XDG_CONFIG_HOME:-$HOME/.config}/autostart
manifest=$lib/installed
made=()

# Makes the folder and the missing ones above it, noting each one made.
folder() {
  local path=$1 missing=()
  while [[ ! -d $path ]]; do
    missing+=("$path")
    path=$(dirname "$path")
  done
  mkdir -p "$1"
  made+=("${missing[@]}")
}

# Copies SOURCE to TARGET with MODE through a temporary name, so a running
# program is replaced, never overwritten in place.
put() {
  install -m "$3" "$1" "$2.part"
  mv -f "$2.part" "$2"
  made+=("$2")
}

# A path as one argument of a desktop entry's Exec line.
exec_argument() {
  local text=$1
  text=${text//\\/\\\\\\\\}
  for special in '"' '`' '$'; do text=${text//"$special"/\\\\$special}; done
  printf '"%s"' "$text"
}

# The desktop entry SOURCE written to TARGET, its bare "reelvista" command
# replaced by the installed one (the session's PATH may lack ~/.local/bin).
entry() {
  local command line
  command=$(exec_argument "$bin/reelvista")
  while IFS= read -r line; do
    if [[ $line =~ ^(Exec=(.*[ ])?)reelvista(( .*)?)$ ]]; then
      line=${BASH_REMATCH[1]}$command${BASH_REMATCH[3]}
    fi
    printf '%s\n' "$line"
  done <"$1" >"$2.part"
  mv -f "$2.part" "$2"
  made+=("$2")
}

install_for_user() {
  local program=$1 with_autostart=${2:-}
  [[ -z $with_autostart || $with_autostart == --autostart ]] ||
    { echo "usage: ./x install [--autostart]" >&2; exit 2; }
  [[ -x $program ]] || { echo "x: no program at $program" >&2; exit 1; }
  folder "$lib"
  folder "$bin"
  folder "$applications"
  folder "$icons"
  put "$program" "$lib/$(basename "$program")" 755
  put "$sources/reelvista" "$bin/reelvista" 755
  entry "$sources/reelvista-settings.desktop" "$applications/reelvista-settings.desktop"
  put "$sources/reelvista.svg" "$icons/reelvista.svg" 644
  if [[ $with_autostart == --autostart ]]; then
    folder "$autostart"
    entry "$sources/reelvista-autostart.desktop" "$autostart/reelvista.desktop"
    command -v xss-lock >/dev/null ||
      echo "x: xss-lock is not installed; the saver starts when idle once it is (apt-get install xss-lock)"
  fi
  # Earlier installs' entries stay listed: their folders were made by them.
  { [[ -f $manifest ]] && cat "$manifest"; printf '%s\n' "${made[@]}"; } | sort -u >"$manifest.part"
  mv -f "$manifest.part" "$manifest"
  echo "x: installed for $(id -un): the command $bin/reelvista, the program in $lib/"
  [[ -e /etc/pam.d/reelvista ]] ||
    echo "x: /etc/pam.d/reelvista is missing: ./x setup installs it (as root), for the password"
}

uninstall_for_user() {
  [[ -f $manifest ]] || { echo "x: nothing to remove: $manifest is missing" >&2; exit 1; }
  local paths
  mapfile -t paths < <(sort -r "$manifest")
  rm -f "$manifest"
  # Reverse order puts what a folder holds before the folder.
  for path in "${paths[@]}"; do
    if [[ -d $path && ! -L $path ]]; then
      rmdir "$path" 2>/dev/null || true
    else
      rm -f "$path"
    fi
  done
  echo "x: uninstalled"
  [[ -e $lib/ReelvistaSaver.INI ]] && echo "x: kept your settings file $lib/ReelvistaSaver.INI"
  return 0
}

case "${1:-}" in
  install) install_for_user "$2" "${3:-}" ;;
  uninstall) uninstall_for_user ;;
  *) echo "usage: tools/install.sh install PROGRAM [--autostart] | uninstall" >&2; exit 2 ;;
esac
