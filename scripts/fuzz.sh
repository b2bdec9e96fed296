#!/usr/bin/env bash
# Runs every libFuzzer target (fuzz_* executables) of a fuzz build for the given number of
# seconds each, starting from its seed corpus fuzz/corpus/<target>/. New inputs go to a
# working corpus in the build folder, so the seeds in the source tree stay as they are.
# Fails when a target is missing its seeds, or reports a crash, leak, sanitizer error or
# hang (crashing inputs are kept in <build>/fuzz-work/<target>/artifacts/).
#
# Usage: scripts/fuzz.sh <fuzz-build-dir> <seconds>
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 <fuzz-build-dir> <seconds>" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)

mapfile -t targets < <(find "$build" -type f -name 'fuzz_*' -perm -u+x \
  -not -path '*/CMakeFiles/*' -not -path '*/fuzz-work/*' | sort)
if [[ ${#targets[@]} -eq 0 ]]; then
  echo "no fuzz targets found in $build (configure with clang and -DFW_BUILD_FUZZ=ON)" >&2
  exit 1
fi

failed=()
for target in "${targets[@]}"; do
  name=$(basename "$target")
  seeds="$root/fuzz/corpus/$name"
  work="$build/fuzz-work/$name"
  if [[ ! -d $seeds ]]; then
    echo "== $name: no seed corpus in $seeds" >&2
    failed+=("$name")
    continue
  fi
  mkdir -p "$work/corpus" "$work/artifacts"
  log="$work/fuzz.log"
  echo "== $name: ${seconds}s from $(find "$seeds" -type f | wc -l) seeds"
  if ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    corpus=$(find "$work/corpus" -type f | wc -l)
    echo "   passed: ${runs:-?} executions, working corpus $corpus inputs (log: $log)"
  else
    echo "   FAILED (log: $log); last lines:" >&2
    tail -n 40 "$log" >&2
    ls -1 "$work/artifacts" >&2 || true
    failed+=("$name")
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzzing passed: ${#targets[@]} target(s), ${seconds}s each"
