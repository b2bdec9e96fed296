#!/usr/bin/env bash
# Runs the installed launcher against a stand-in for the tool that records where and
# how it was started, in a private copy of the installed layout.
# Usage: launcher_test.sh STAGE WORK_DIR
set -uo pipefail
stage=$1
work=$2
. "$(dirname -- "$0")/check_lib.sh"

rm -rf -- "$work"
mkdir -p -- "$work"
root=$work/root
mkdir -p -- "$root/usr/bin" "$root/usr/share/flashwrendel"
cp -- "$stage/usr/bin/flashwrendel-launch" "$root/usr/bin/"
example=$root/usr/share/flashwrendel/kz1_v2.6.ini
cp -- "$stage/usr/share/flashwrendel/kz1_v2.6.ini" "$example"
record=$work/record
cat >"$root/usr/bin/flashwrendel" <<'STANDIN'
#!/bin/sh
{ pwd; printf '%s\n' "$@"; } >"$FW_RECORD"
exit 7
STANDIN
chmod 0755 "$root/usr/bin/flashwrendel"
launcher=$root/usr/bin/flashwrendel-launch

# run_launcher NAME [VAR=VALUE...] -- [ARGS...]: runs with a clean environment; leaves
# the status in $status and the error output in $errors.
run_launcher() {
  local name=$1
  shift
  local vars=()
  while [ "$1" != "--" ]; do
    vars+=("$1")
    shift
  done
  shift
  rm -f -- "$record"
  errors=$(cd "$work" && env -i PATH=/usr/bin:/bin FW_RECORD="$record" "${vars[@]}" \
    "$launcher" "$@" 2>&1 >/dev/null)
  status=$?
  echo "case: $name (status $status)"
}
started_in() { head -n 1 -- "$record" 2>/dev/null; }

# First start with XDG_DATA_HOME: folder created, example copied, tool started there.
xdg=$work/xdg
run_launcher "first start" HOME="$work/home" XDG_DATA_HOME="$xdg" -- -platform offscreen
expect_eq "status is the tool's own" "$status" 7
expect_eq "started in" "$(started_in)" "$xdg/flashwrendel"
expect_true "example copied" cmp -s "$xdg/flashwrendel/kz1_v2.6.ini" "$example"
expect_eq "copied database mode" "$(file_mode "$xdg/flashwrendel/kz1_v2.6.ini")" "644"
expect_eq "arguments passed on" "$(tail -n +2 -- "$record" | tr '\n' ' ')" "-platform offscreen "
expect_eq "no temporary file left" "$(ls -A -- "$xdg/flashwrendel")" "kz1_v2.6.ini"
expect_eq "nothing on error output" "$errors" ""

# The user's own database is never replaced.
echo "[Modules]" >"$xdg/flashwrendel/kz1_v2.6.ini"
run_launcher "own database kept" HOME="$work/home" XDG_DATA_HOME="$xdg" --
expect_eq "own database untouched" "$(cat -- "$xdg/flashwrendel/kz1_v2.6.ini")" "[Modules]"
expect_eq "started in" "$(started_in)" "$xdg/flashwrendel"

# Unset, empty or relative XDG_DATA_HOME: the default under HOME.
home=$work/home
run_launcher "XDG_DATA_HOME unset" HOME="$home" --
expect_eq "started in" "$(started_in)" "$home/.local/share/flashwrendel"
expect_true "example copied" cmp -s "$home/.local/share/flashwrendel/kz1_v2.6.ini" "$example"
for value in "" "relative/data"; do
  rm -rf -- "$home"
  run_launcher "XDG_DATA_HOME='$value'" HOME="$home" XDG_DATA_HOME="$value" --
  expect_eq "started in" "$(started_in)" "$home/.local/share/flashwrendel"
  expect_false "no relative folder made" test -e "$work/relative"
done

# Started through a symbolic link and through PATH: the layout is found all the same.
ln -s -- "$launcher" "$work/linked-launcher"
rm -f -- "$record"
(cd "$work" && env -i PATH=/usr/bin:/bin FW_RECORD="$record" HOME="$home" ./linked-launcher)
expect_eq "through a link: status" "$?" 7
expect_eq "through a link: started in" "$(started_in)" "$home/.local/share/flashwrendel"
rm -f -- "$record"
(cd / && env -i PATH="$root/usr/bin:/usr/bin:/bin" FW_RECORD="$record" HOME="$home" \
  flashwrendel-launch)
expect_eq "through PATH: status" "$?" 7
expect_eq "through PATH: started in" "$(started_in)" "$home/.local/share/flashwrendel"

# No database and no example: the tool still starts (and reports the missing file in
# its own message box), and the launcher says why on its error output.
mv -- "$example" "$work/example.away"
run_launcher "no example" HOME="$home" XDG_DATA_HOME="$work/empty" --
expect_eq "status is the tool's own" "$status" 7
expect_eq "started in" "$(started_in)" "$work/empty/flashwrendel"
expect_contains "error output" "$errors" "no kz1_v2.6.ini in $work/empty/flashwrendel"
expect_eq "folder left empty" "$(ls -A -- "$work/empty/flashwrendel")" ""
mv -- "$work/example.away" "$example"

# A folder that cannot be made: the launcher stops with a reason, the tool never runs.
touch -- "$work/a-file"
run_launcher "folder blocked by a file" HOME="$home" XDG_DATA_HOME="$work/a-file" --
expect_eq "status" "$status" 1
expect_contains "error output" "$errors" "cannot use $work/a-file/flashwrendel"
expect_false "tool not started" test -e "$record"

run_launcher "no HOME" --
expect_eq "status" "$status" 1
expect_contains "error output" "$errors" "neither XDG_DATA_HOME nor HOME is set"
expect_false "tool not started" test -e "$record"

finish
