#!/usr/bin/env bash
# Fails when an engine folder includes a folder above it (which is how cycles
# start), or when engine code includes window code. The order, lowest first,
# is the one ARCHITECTURE.md gives; a folder may include itself and any folder
# below it. Window code (ui/ subfolders, browser/, mainwindow/, updatewindow/) may include any
# engine folder.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

layers=(common ini lang settings exif update rules filelist rename controller dialogs cli app)
windows='ui|browser|mainwindow|updatewindow'

rank() {
  local i
  for i in "${!layers[@]}"; do
    [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
  done
  echo -1
}

status=0
for folder in "${layers[@]}"; do
  own=$(rank "$folder")
  [ -d "$folder" ] || continue
  while IFS=: read -r file _ target; do
    to=${target%%/*}
    if [[ "$target" =~ (^|/)($windows)(/|$) ]]; then
      echo "check-layers: $file includes window code ($target)" >&2
      status=1
      continue
    fi
    other=$(rank "$to")
    if [ "$other" -lt 0 ]; then
      echo "check-layers: $file includes $target, from no known layer" >&2
      status=1
    elif [ "$other" -gt "$own" ]; then
      echo "check-layers: $file ($folder) includes $target ($to is above $folder)" >&2
      status=1
    fi
  done < <(grep -HnoE '^#include "[a-z]+/[^"]+"' --include='*.h' --include='*.cpp' "$folder"/*.{h,cpp} 2>/dev/null \
             | sed -E 's/:#include "/:/; s/"$//')
done
[ "$status" -eq 0 ] && echo "check-layers: ${#layers[@]} engine layers, no upward include"
exit "$status"
