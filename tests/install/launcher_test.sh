#!/usr/bin/env bash
# Runs the installed launcher against a stand-in for the tool that records where and
# how it was started, in a private copy of the installed layout. The launcher sees only
# the commands it needs, plus the stand-ins for xdg-user-dir and the dialog tools a case
# puts beside them.
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
dialog=$work/dialog
cat >"$root/usr/bin/flashwrendel" <<'STANDIN'
#!/bin/sh
{ pwd; printf '%s\n' "$@"; } >"$FW_RECORD"
exit 7
STANDIN
chmod 0755 "$root/usr/bin/flashwrendel"
launcher=$root/usr/bin/flashwrendel-launch

tools=$work/tools
mkdir -p -- "$tools"
for tool in readlink dirname mkdir mktemp cp chmod mv rm rmdir; do
  ln -s -- "$(command -v "$tool")" "$tools/$tool"
done
# Stand-ins: xdg-user-dir answers FW_DOCUMENTS; a dialog tool records its call.
standins=$work/standins
mkdir -p -- "$standins/xdg" "$standins/dialogs"
printf '#!/bin/sh\n[ "$1" = DOCUMENTS ] && echo "$FW_DOCUMENTS"\n' >"$standins/xdg/xdg-user-dir"
for tool in zenity kdialog notify-send xmessage; do
  printf '#!/bin/sh\necho "${0##*/} $*" >>"$FW_DIALOG"\n' >"$standins/dialogs/$tool"
done
chmod 0755 "$standins"/*/*

# run_launcher NAME [VAR=VALUE...] -- [ARGS...]: runs with a clean environment and only
# the needed commands (PATH=... adds more); status in $status, error output in $errors.
run_launcher() {
  local name=$1
  shift
  local vars=()
  while [ "$1" != "--" ]; do
    vars+=("$1")
    shift
  done
  shift
  rm -f -- "$record" "$dialog"
  errors=$(cd "$work" && env -i PATH="$tools" FW_RECORD="$record" FW_DIALOG="$dialog" \
    "${vars[@]}" "$launcher" "$@" 2>&1 >/dev/null)
  status=$?
  echo "case: $name (status $status)"
}
started_in() { head -n 1 -- "$record" 2>/dev/null; }
with_xdg="PATH=$tools:$standins/xdg"

# The folder: the documents folder xdg-user-dir names, else ~/Documents when it exists,
# else HOME. xdg-user-dir answers HOME itself when no documents folder is set up.
home=$work/home
# name | xdg-user-dir answer ("-": not installed) | make ~/Documents | folder under $work
while IFS='|' read -r name answer documents expected; do
  rm -rf -- "$home" "$work/docs"
  mkdir -p -- "$home"
  [ "$documents" = no ] || mkdir -- "$home/Documents"
  path=PATH=$tools
  [ "$answer" = - ] || path=$with_xdg
  run_launcher "$name" HOME="$home" "$path" FW_DOCUMENTS="${answer//WORK/$work}" --
  expect_eq "$name: started in" "$(started_in)" "$work/$expected"
  expect_true "$name: example copied" cmp -s "$work/$expected/kz1_v2.6.ini" "$example"
done <<'CASES'
xdg-user-dir names a documents folder|WORK/docs|yes|docs/FlashWrendel
xdg-user-dir answers HOME|WORK/home|yes|home/Documents/FlashWrendel
xdg-user-dir answers HOME/|WORK/home/|no|home/FlashWrendel
xdg-user-dir answers a relative path|docs|no|home/FlashWrendel
no xdg-user-dir, ~/Documents|-|yes|home/Documents/FlashWrendel
no xdg-user-dir, no ~/Documents|-|no|home/FlashWrendel
CASES

# First start in detail: the tool runs with its arguments, the copy is whole.
rm -rf -- "$home"
run_launcher "first start" HOME="$home" -- -platform offscreen
folder=$home/FlashWrendel
expect_eq "status is the tool's own" "$status" 7
expect_eq "copied database mode" "$(file_mode "$folder/kz1_v2.6.ini")" "644"
expect_eq "arguments passed on" "$(tail -n +2 -- "$record" | tr '\n' ' ')" "-platform offscreen "
expect_eq "no temporary file left" "$(ls -A -- "$folder")" "kz1_v2.6.ini"
expect_eq "nothing on error output" "$errors" ""

# The user's own database is never replaced.
echo "[Modules]" >"$folder/kz1_v2.6.ini"
run_launcher "own database kept" HOME="$home" --
expect_eq "own database untouched" "$(cat -- "$folder/kz1_v2.6.ini")" "[Modules]"

# A database in the folder of earlier versions moves over once, in place of the example.
# XDG_DATA_HOME="$value": the old folder | other files there | old folder left
while IFS='|' read -r value others left; do
  rm -rf -- "$home" "$work/xdg-data"
  old=${value:-$home/.local/share}
  old=${old//WORK/$work}/flashwrendel
  mkdir -p -- "$old"
  echo "[Modules] own" >"$old/kz1_v2.6.ini"
  [ "$others" = no ] || echo dump >"$old/dump.bin"
  run_launcher "old folder $old" HOME="$home" XDG_DATA_HOME="${value//WORK/$work}" --
  expect_eq "moved: started in" "$(started_in)" "$folder"
  expect_eq "moved: the user's database" "$(cat -- "$folder/kz1_v2.6.ini" 2>&1)" "[Modules] own"
  expect_false "moved: no copy left behind" test -e "$old/kz1_v2.6.ini"
  expect_eq "moved: old folder left" "$(ls -A -- "$old" 2>/dev/null || echo gone)" "$left"
  expect_contains "moved: said so" "$errors" "moved the database kz1_v2.6.ini from $old to $folder"
  run_launcher "old folder, second start" HOME="$home" XDG_DATA_HOME="${value//WORK/$work}" --
  expect_eq "second start: nothing said" "$errors" ""
done <<'CASES'
WORK/xdg-data|yes|dump.bin
|no|gone
CASES
# Both: the new folder's database wins and the old one is left alone.
mkdir -p -- "$home/.local/share/flashwrendel"
echo "[Modules] older" >"$home/.local/share/flashwrendel/kz1_v2.6.ini"
run_launcher "databases in both folders" HOME="$home" --
expect_eq "both: new one kept" "$(cat -- "$folder/kz1_v2.6.ini")" "[Modules] own"
expect_true "both: old one left" test -e "$home/.local/share/flashwrendel/kz1_v2.6.ini"
expect_eq "both: nothing said" "$errors" ""

# Started through a symbolic link and through PATH: the layout is found all the same.
ln -s -- "$launcher" "$work/linked-launcher"
rm -f -- "$record"
(cd "$work" && env -i PATH="$tools" FW_RECORD="$record" HOME="$home" ./linked-launcher)
expect_eq "through a link: status" "$?" 7
expect_eq "through a link: started in" "$(started_in)" "$folder"
rm -f -- "$record"
(cd / && env -i PATH="$root/usr/bin:$tools" FW_RECORD="$record" HOME="$home" flashwrendel-launch)
expect_eq "through PATH: status" "$?" 7
expect_eq "through PATH: started in" "$(started_in)" "$folder"

# No database and no example: the tool still starts (and reports the missing file in
# its own message box), and the launcher says why on its error output.
mv -- "$example" "$work/example.away"
run_launcher "no example" HOME="$work/empty" --
expect_eq "status is the tool's own" "$status" 7
expect_contains "error output" "$errors" "no kz1_v2.6.ini in $work/empty/FlashWrendel"
expect_eq "folder left empty" "$(ls -A -- "$work/empty/FlashWrendel")" ""
mv -- "$work/example.away" "$example"

# A folder that cannot be made: the reason on the error output and, on a display, in
# the first dialog tool installed; the tool never runs.
touch -- "$work/a-file"
blocked=$work/a-file/FlashWrendel
reason="cannot create the folder $blocked (Not a directory)"
text="Flash Wrendel cannot start: $reason"
# display variable | dialog tools installed | the call expected
while IFS='|' read -r display installed expected; do
  rm -rf -- "$work/installed"
  mkdir -p -- "$work/installed"
  for tool in $installed; do ln -s -- "$standins/dialogs/$tool" "$work/installed/$tool"; done
  run_launcher "blocked, $display, [$installed]" HOME="$work/a-file" ${display:+"$display"} \
    PATH="$tools:$work/installed" --
  expect_eq "status" "$status" 1
  expect_eq "error output" "$errors" "flashwrendel-launch: $reason"
  expect_false "tool not started" test -e "$record"
  expect_eq "dialog [$installed]" "$(cat -- "$dialog" 2>/dev/null)" "${expected//TEXT/$text}"
done <<'CASES'
DISPLAY=:0|zenity kdialog notify-send xmessage|zenity --error --no-markup --title=Flash Wrendel --text=TEXT
DISPLAY=:0|kdialog notify-send xmessage|kdialog --title Flash Wrendel --error TEXT
WAYLAND_DISPLAY=wayland-0|notify-send xmessage|notify-send --urgency=critical Flash Wrendel TEXT
DISPLAY=:0|xmessage|xmessage -center TEXT
DISPLAY=:0||
|zenity kdialog notify-send xmessage|
CASES

# A home the user may not write to (root writes anywhere).
if [ "$(id -u)" -ne 0 ]; then
  mkdir -p -- "$work/read-only"
  chmod 0555 "$work/read-only"
  run_launcher "read-only home" HOME="$work/read-only" --
  expect_eq "read-only home: status" "$status" 1
  expect_contains "read-only home: error output" "$errors" \
    "cannot create the folder $work/read-only/FlashWrendel (Permission denied)"
  chmod 0755 "$work/read-only"
fi

run_launcher "no HOME" --
expect_eq "status" "$status" 1
expect_contains "error output" "$errors" "HOME is not set"
expect_false "tool not started" test -e "$record"

finish
