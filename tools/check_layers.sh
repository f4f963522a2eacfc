#!/usr/bin/env bash
# Checks that every include in src/ points down the order of the rooms:
#   util -> host -> store -> cap, search -> output -> shell -> web -> main.cc
# A file may include headers of its own room and of rooms below it; cap and
# search stand side by side and do not include each other. Prints each
# upward include and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"

rank() {
  case "$1" in
    util) echo 1 ;; host) echo 2 ;; store) echo 3 ;; cap | search) echo 4 ;;
    output) echo 5 ;; shell) echo 6 ;; web) echo 7 ;; *) echo "" ;;
  esac
}

bad=0
while IFS= read -r file; do
  room=${file%%/*}
  [ "$room" = "$file" ] && continue  # main.cc stands above every room
  own=$(rank "$room")
  if [ -z "$own" ]; then
    echo "check_layers: $file is in a folder with no place in the order" >&2
    bad=1
    continue
  fi
  while IFS= read -r included; do
    target=${included%%/*}
    theirs=$(rank "$target")
    [ -z "$theirs" ] && continue  # not a header of ours
    if [ "$theirs" -gt "$own" ] || { [ "$theirs" -eq "$own" ] && [ "$target" != "$room" ]; }; then
      echo "check_layers: $file includes $included, a room above or beside $room" >&2
      bad=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -type f \( -name '*.h' -o -name '*.cc' \) | sed 's#^\./##' | sort)

if [ "$bad" -ne 0 ]; then exit 1; fi
echo "check_layers: every include points down"
