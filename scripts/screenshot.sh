#!/usr/bin/env bash
# Writes docs/window.png: the main window right after start-up with the example
# database, drawn offscreen by Qt; and docs/window-dark.png: the same window after a read
# that logs lines of each colour, in qt6ct's "darker" colour scheme (a dark desktop).
#   scripts/screenshot.sh <build-dir>
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac

# The picture is meant in Tahoma's metrics: Tahoma itself, or Wine's (fonts-wine).
if [ ! -f /usr/share/wine/fonts/tahoma.ttf ] && ! fc-list : family | grep -qx Tahoma; then
  echo "warning: no Tahoma (install fonts-wine); the picture uses a fallback face" >&2
fi
cmake --build "$build" --target window_screenshot
mkdir -p "$root/docs"
QT_QPA_PLATFORM=offscreen "$build/tests/window/window_screenshot" \
  "$root/examples/kz1_v2.6.ini" "$root/docs/window.png"
echo "wrote $root/docs/window.png"

scheme=/usr/share/qt6ct/colors/darker.conf
if [ ! -f "$scheme" ]; then
  echo "error: no $scheme (install qt6ct, or run make deps)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/qt6ct"
printf '[Appearance]\ncolor_scheme_path=%s\ncustom_palette=true\n' "$scheme" >"$work/qt6ct/qt6ct.conf"
(cd "$work" && XDG_CONFIG_HOME=$work QT_QPA_PLATFORMTHEME=qt6ct QT_QPA_PLATFORM=offscreen \
  "$build/tests/window/window_screenshot" "$root/examples/kz1_v2.6.ini" \
  "$root/docs/window-dark.png" dump.bin)
echo "wrote $root/docs/window-dark.png"
