#!/usr/bin/env bash
# Runs the benchmarks of a build configured with -DFW_BUILD_BENCH=ON.
#   bench/run.sh [--quick] BUILD_DIR [SECTION...]
# --quick proves every section works at the least cost (CI): one run of each job, the
# 16 MiB module only, short digest timings; its figures are not the ones to quote.
# Each section is a function named section_<name>; without SECTION arguments all of
# them run in the order of `sections` below. Add a section by writing its function and
# appending its name there.
set -euo pipefail
export LC_ALL=C

quick=
if [ "${1:-}" = --quick ]; then
  quick=--quick
  shift
fi
build=$(cd "${1:?usage: bench/run.sh [--quick] BUILD_DIR [SECTION...]}" && pwd)
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sections=(digest_micro digest_file jobs database)

# "WALL_MS CPU_MS" of one command, each the best of three runs, output discarded. The
# first run also warms the page cache. The CPU time (user + system) is what the ratio
# uses: the machine is shared, and other work stretches the wall time.
measure() {
  local runs=()
  local run
  for run in 1 2 3; do
    [ -n "$quick" ] && [ "$run" -gt 1 ] && break
    runs+=("$({
      TIMEFORMAT='%3R %3U %3S'
      time "$@" >/dev/null 2>&1
    } 2>&1)")
  done
  printf '%s\n' "${runs[@]}" | awk '{
      wall = $1; cpu = $2 + $3
      if (NR == 1 || wall < bestWall) bestWall = wall
      if (NR == 1 || cpu < bestCpu) bestCpu = cpu
    }
    END { printf "%.1f %.1f\n", bestWall * 1000, bestCpu * 1000 }'
}

# MB/s (10^6 bytes per second) of BYTES handled in MS milliseconds.
mb_per_s() { awk -v b="$1" -v ms="$2" 'BEGIN { printf "%.0f", (ms > 0) ? b / (ms / 1e3) / 1e6 : 0 }'; }

# Google Benchmark figures of each digest over 32768-byte blocks.
section_digest_micro() {
  echo "== digest: per-block throughput (bench_digest)"
  "$build/bench/bench_digest" --benchmark_min_time="$([ -n "$quick" ] && echo 0.01 || echo 0.5)"
}

# The tool's three-digest pass over one 64 MiB file against md5sum + sha1sum + cksum,
# which between them compute the same three kinds of digest in three passes.
section_digest_file() {
  local mib=$([ -n "$quick" ] && echo 16 || echo 64)
  echo "== digest: $mib MiB file, digest_file vs md5sum + sha1sum + cksum"
  local file="$work/flash.bin" bytes=$((mib * 1024 * 1024))
  head -c "$bytes" /dev/urandom >"$file"

  # The pass must agree with the reference tools before its time means anything.
  local ours
  ours=$("$build/bench/digest_file" "$file")
  if [ "$(sed -n 's/^MD5 //p' <<<"$ours")" != "$(md5sum <"$file" | cut -d' ' -f1)" ] ||
    [ "$(sed -n 's/^SHA1 //p' <<<"$ours")" != "$(sha1sum <"$file" | cut -d' ' -f1)" ]; then
    echo "digest_file disagrees with md5sum/sha1sum" >&2
    return 1
  fi

  local tool wall cpu walls=() cpus=()
  printf '%-12s %10s %10s %9s\n' "" "wall ms" "cpu ms" "cpu MB/s"
  for tool in "$build/bench/digest_file" md5sum sha1sum cksum; do
    read -r wall cpu <<<"$(measure "$tool" "$file")"
    walls+=("$wall")
    cpus+=("$cpu")
    printf '%-12s %10s %10s %9s\n' "$(basename "$tool")" "$wall" "$cpu" "$(mb_per_s "$bytes" "$cpu")"
  done
  awk -v o="${cpus[0]}" -v a="${cpus[1]}" -v b="${cpus[2]}" -v c="${cpus[3]}" \
    -v ow="${walls[0]}" -v aw="${walls[1]}" -v bw="${walls[2]}" -v cw="${walls[3]}" 'BEGIN {
      printf "ratio digest_file / (md5sum + sha1sum + cksum): cpu %.2f, wall %.2f (target <= 1.00)\n",
        o / (a + b + c), ow / (aw + bw + cw) }'
}

# Whole Start presses (read, check, write; 16 MiB one bank and 64 MiB two banks) on the
# in-process simulated programmer, the read also through the Qt window: one table of
# throughput, memory and Cancel, medians of BENCH_RUNS runs (default 5), each run a
# process of its own, with the targets below it.
section_jobs() {
  echo "== jobs: whole Start presses on the simulated programmer (job_table)"
  "$build/bench/job_table" --runs "${BENCH_RUNS:-5}" $quick "$work"
}

# LoadDatabase on 1 and 10 MB files (many sections, many Hash entries): linear time,
# and a line far over the reader's 1 MiB limit refused without being held.
section_database() {
  echo "== database: LoadDatabase on generated files (database_bench)"
  "$build/bench/database_bench" $quick "$work"
}

if [ $# -gt 0 ]; then sections=("$@"); fi
for section in "${sections[@]}"; do
  "section_$section"
  echo
done
