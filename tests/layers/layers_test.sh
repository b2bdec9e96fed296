#!/usr/bin/env bash
# The folders of the tool form layers that point one way: each may include only its own
# headers and those of the folders below it, so no folder reaches up (nothing below the
# window includes app/) and no two folders depend on each other.
#   layers_test.sh SOURCE_DIR
set -uo pipefail
cd "$1" || exit 1

# folder: the folders it may include from, besides itself.
declare -A allowed=(
  [base]=""
  [digest]="base"
  [database]="base"
  [programmer]="base"
  [flash]="base digest database programmer"
  [sim]="base programmer"
  [run]="base digest database programmer flash"
  [app]="base digest database programmer flash run"
  [cli]="base digest database programmer flash run"
)
project="${!allowed[*]} tests bench fuzz"

failures=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || { echo "FAIL: no folder $folder"; failures=$((failures + 1)); continue; }
  while IFS=: read -r file line text; do
    target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)\/.*/\1/p' <<<"$text")
    [ -n "$target" ] && [ "$target" != "$folder" ] || continue
    [[ " $project " == *" $target "* ]] || continue  # not a folder of the tool
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "FAIL: $file:$line includes $target/ ($folder/ may include: ${allowed[$folder]:-nothing})"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$folder" \
             --include='*.h' --include='*.cpp')
done
[ "$failures" -eq 0 ] && echo "every include points down"
exit $((failures > 0))
