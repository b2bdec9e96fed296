#!/usr/bin/env bash
# Runs the tool on the simulated programmer (the drop-in libusb-0.1.so.4) with the example
# database: a two-bank 64 MiB module holding the demo pattern image, as fast as a USB 2.0
# programmer. Builds nothing; `make demo` builds first.
#   scripts/demo.sh <build-dir>
# Works in ./demo-run, made afresh each time: the database, the simulator's settings, the
# dumps the operator saves there and flash-after.bin, the flash as it was at the end of
# the last Start (saved each time the programmer is closed).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$PWD/$build ;; esac

program=$build/app/flashwrendel
simlib=$build/simlib
if [ ! -x "$program" ] || [ ! -f "$simlib/libusb-0.1.so.4" ]; then
  echo "demo: $program or $simlib/libusb-0.1.so.4 is missing; build first (make demo)" >&2
  exit 1
fi

run=$PWD/demo-run
rm -rf "$run"
mkdir -p "$run"
cp "$root/examples/kz1_v2.6.ini" "$run/"

# Module 06 is "64M dual bank" and c2 7e 22 01 the Macronix MX29GL256E of the example
# database; the pattern contents are its "Demo pattern image 64 MiB" dump. A read takes
# about 3 s, an erase 4 s, a write 8 s.
cat >"$run/sim.conf" <<EOF
module_type=0x06
size_mib=64
dual_bank=1
chip_id=c2 7e 22 01
contents=pattern
read_bytes_per_second=20000000
write_bytes_per_second=8000000
erase_ms=4000
image_out=$run/flash-after.bin
EOF

cd "$run"
export FW_SIM_CONFIG=$run/sim.conf
export LD_LIBRARY_PATH=$simlib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  seconds=5
  echo "demo: no display (neither DISPLAY nor WAYLAND_DISPLAY is set);"
  echo "demo: smoke test instead: the tool runs offscreen for $seconds s, then is stopped."
  status=0
  QT_QPA_PLATFORM=offscreen timeout "$seconds" "$program" || status=$?
  if [ "$status" -ne 124 ]; then
    echo "demo: the tool ended early with status $status" >&2
    exit 1
  fi
  echo "demo: smoke test passed (the tool was still running after $seconds s)"
  exit 0
fi

# make exports QT_QPA_PLATFORM=offscreen for the headless tests; the demo wants a window.
if [ "${QT_QPA_PLATFORM:-}" = offscreen ]; then
  unset QT_QPA_PLATFORM
fi
echo "demo: running in $run (simulator settings: sim.conf)"
exec "$program"
