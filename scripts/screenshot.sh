#!/usr/bin/env bash
# Writes docs/window.png: the main window right after start-up with the example
# database, drawn offscreen by Qt.
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
