#!/usr/bin/env bash
# The real program on an X server of its own (Xvfb): every window, box and dialog title
# as the window manager reads it (_NET_WM_NAME and WM_NAME), the X11 class, Return on
# the focused push button, and the names a screen reader gets over the AT-SPI bus.
#   x11_session_test.sh FLASHWRENDEL EXAMPLE_INI DESKTOP_ENTRY
# Exits 77 (skipped) only when Xvfb is not installed.
set -uo pipefail
binary=$1
example=$2
desktop=$3
here=$(cd "$(dirname -- "$0")" && pwd)
. "$here/../install/check_lib.sh"

command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf -- "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it once it accepts clients. -noreset: by
# default the server resets when its last client leaves, and a program started during
# that reset cannot connect ("could not connect to display") and aborts; the programs
# below come one after another.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
  2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do grep -q . "$work/display" 2>/dev/null && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$work/display")
export QT_QPA_PLATFORM=xcb
# Under the sanitizers, the X and D-Bus client libraries keep allocations to the end of
# the process; the window's own code is leak-checked by the offscreen window tests.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
unset WAYLAND_DISPLAY

readonly app_title="quorvane's Flash Wrendel utilite"
readonly main_title="Flash Programmator (One flash) v2.5"

# The id of a visible window whose title starts with $1 (a suffix would still be found,
# and then reported by expect_titles); waits up to 30 s. xdotool's own search ignores
# case, so the names are compared here. The wait is long for a machine busy with other
# tests: it costs nothing when the window comes at once.
find_window() {
  local _ id name
  for _ in $(seq 300); do
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
      name=$(xdotool getwindowname "$id" 2>/dev/null)
      if [[ $name == "$1"* ]]; then
        echo "$id"
        return
      fi
    done
    sleep 0.1
  done
}

# expect_titles ID TITLE: both title properties read exactly TITLE; the class names the
# program by its application title.
expect_titles() {
  local property
  for property in _NET_WM_NAME WM_NAME; do
    expect_eq "$property of \"$2\"" \
      "$(xprop -id "$1" -notype "$property" | sed -n 's/^[^=]*= "\(.*\)"$/\1/p')" "$2"
  done
  expect_eq "WM_CLASS of \"$2\"" "$(xprop -id "$1" -notype WM_CLASS)" \
    "WM_CLASS = \"flashwrendel\", \"$app_title\""
}

# press WINDOW KEY...: keys to the focused control of WINDOW.
press() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window" key --delay 50 "$@"
}

# expect_box TITLE KEY: a box or dialog titled TITLE is shown; KEY closes it.
expect_box() {
  local id
  id=$(find_window "$1")
  if [ -z "$id" ]; then
    fail "no window titled \"$1\""
    return
  fi
  expect_titles "$id" "$1"
  press "$id" "$2"
  local _
  for _ in $(seq 50); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || return
    sleep 0.1
  done
  fail "\"$1\" stays open after $2"
}

expect_program_ends() {
  local pid=$1 rc=0 _
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    fail "$2: the program is still running"
    return
  fi
  wait "$pid" || rc=$?
  expect_eq "$2: exit code" "$rc" "0"
}

# The menu entry claims the program's windows by their class.
expect_eq "StartupWMClass of the desktop entry" "$(sed -n 's/^StartupWMClass=//p' "$desktop")" \
  "$app_title"

# 1. No database: the loader's "Error" box, then the program ends.
mkdir "$work/empty"
(cd "$work/empty" && exec "$binary") 2>"$work/empty.log" &
pid=$!
pids+=("$pid")
expect_box "Error" Return
expect_program_ends "$pid" "without a database"

# 2. A dump description over 99 characters: the "Warning" box, then the window.
mkdir "$work/run"
long=$(printf 'x%.0s' $(seq 105))
sed "s/^Blank 64M=Blank flash 64 MiB (erased)/Blank 64M=$long/" "$example" \
  >"$work/run/kz1_v2.6.ini"
(cd "$work/run" && exec "$binary") 2>"$work/run.log" &
pid=$!
pids+=("$pid")
expect_box "Warning" Return
main=$(find_window "$main_title")
[ -n "$main" ] || { fail "main window not shown; the program said:"; cat "$work/run.log" >&2; finish; exit 1; }
expect_titles "$main" "$main_title"

# Start has the focus: Return presses it, and with nothing selected it says so.
press "$main" Return
expect_box "Flash programmator" Return
# Tab to CheckBox1, Space: the save dialog; Esc cancels it.
press "$main" Tab space
expect_box "Select file for save" Escape
# Back over Start and CRC_result to Button1; Return switches to check.
press "$main" shift+Tab shift+Tab shift+Tab Return
press "$main" Tab Tab Tab space
expect_box "Select file for check" Escape
press "$main" Tab Tab space
expect_box "Select file for write" Escape

# Esc on the idle window ends the program.
press "$main" Escape
expect_program_ends "$pid" "after Esc"

# 3. The accessible names over the AT-SPI bus of a private session bus.
mkdir "$work/plain"
cp -- "$example" "$work/plain/kz1_v2.6.ini"
(cd "$work/plain" && timeout 120 dbus-run-session -- sh -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$1" &
  app=$!
  /usr/bin/python3 "$2"
  rc=$?
  kill $app $launcher
  exit $rc' sh "$binary" "$here/atspi_names.py") >"$work/atspi.log" 2>&1
rc=$?
grep -v -e 'dbus-daemon' -e 'XDG_RUNTIME_DIR' "$work/atspi.log" | grep -e FAIL -e Traceback -A5
expect_eq "accessible names over AT-SPI (see above)" "$rc" "0"

finish
