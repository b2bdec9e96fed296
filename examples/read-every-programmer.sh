#!/bin/sh
# Reads the module in every programmer on the bench at once: one flashwrendel-cli per
# programmer, run side by side by xargs, each with its own --device, dump and report.
#   read-every-programmer.sh [FOLDER]
# Each programmer's dump goes to FOLDER (default: the working folder) as PLACE.bin with
# its JSON report as PLACE.json and its log as PLACE.log, where PLACE is the port path
# (1-2.3, the same as long as the programmer stays in its socket), else BUS-DEV. A run
# that fails leaves its log and report; the script then exits 1. FLASHWRENDEL_CLI names
# the program when it is not on the PATH.
set -eu
folder=${1:-.}
cli=${FLASHWRENDEL_CLI:-flashwrendel-cli}
mkdir -p -- "$folder"

# "001:007  port 1-2.3" or "001:007" per programmer: the choice, then the file name.
programmers=$("$cli" list | while read -r device _ port; do
  printf '%s %s\n' "$device" "${port:-$(printf '%s' "$device" | tr : -)}"
done)
[ -n "$programmers" ] || { echo "no programmer found" >&2; exit 1; }

# One run per programmer, all at once; xargs waits for every one and fails when one did.
xargs -P 0 -L 1 sh -c '
  cli=$0 folder=$1 device=$2 place=$3
  if "$cli" --yes --json --device "$device" read "$folder/$place.bin" \
    >"$folder/$place.json" 2>"$folder/$place.log"; then
    echo "$device: $folder/$place.bin"
  else
    echo "$device: failed (exit $?), see $folder/$place.log" >&2
    exit 1
  fi' "$cli" "$folder" <<EOF_LIST || exit 1
$programmers
EOF_LIST
