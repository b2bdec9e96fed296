#!/usr/bin/env bash
# Runs the benchmarks of a build configured with -DFW_BUILD_BENCH=ON.
#   bench/run.sh BUILD_DIR [SECTION...]
# Each section is a function named section_<name>; without SECTION arguments all of
# them run in the order of `sections` below. Add a section by writing its function and
# appending its name there.
set -euo pipefail

build=$(cd "${1:?usage: bench/run.sh BUILD_DIR [SECTION...]}" && pwd)
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sections=(digest_micro digest_file)

# Wall time of one command in nanoseconds, best of three, output discarded. The first
# run also warms the page cache for the runs that follow.
best_ns() {
  local best=0 start end elapsed
  for _ in 1 2 3; do
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    elapsed=$((end - start))
    if [ "$best" -eq 0 ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
  done
  echo "$best"
}

# MB/s (10^6 bytes per second) of BYTES handled in NS nanoseconds.
mb_per_s() { awk -v b="$1" -v ns="$2" 'BEGIN { printf "%.0f", b / (ns / 1e9) / 1e6 }'; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e6 }'; }

# Google Benchmark figures of each digest over 32768-byte blocks.
section_digest_micro() {
  echo "== digest: per-block throughput (bench_digest)"
  "$build/bench/bench_digest" --benchmark_min_time=0.5
}

# The tool's three-digest pass over one 64 MiB file against md5sum + sha1sum + cksum,
# which between them compute the same three kinds of digest in three passes.
section_digest_file() {
  echo "== digest: 64 MiB file, digest_file vs md5sum + sha1sum + cksum"
  local file="$work/flash64.bin" bytes=$((64 * 1024 * 1024))
  head -c "$bytes" /dev/urandom >"$file"

  # The pass must agree with the reference tools before its time means anything.
  local ours
  ours=$("$build/bench/digest_file" "$file")
  if [ "$(sed -n 's/^MD5 //p' <<<"$ours")" != "$(md5sum <"$file" | cut -d' ' -f1)" ] ||
    [ "$(sed -n 's/^SHA1 //p' <<<"$ours")" != "$(sha1sum <"$file" | cut -d' ' -f1)" ]; then
    echo "digest_file disagrees with md5sum/sha1sum" >&2
    return 1
  fi

  local t_ours t_md5 t_sha1 t_cksum
  t_ours=$(best_ns "$build/bench/digest_file" "$file")
  t_md5=$(best_ns md5sum "$file")
  t_sha1=$(best_ns sha1sum "$file")
  t_cksum=$(best_ns cksum "$file")

  printf '%-12s %9s ms %7s MB/s\n' \
    digest_file "$(ms "$t_ours")" "$(mb_per_s "$bytes" "$t_ours")" \
    md5sum "$(ms "$t_md5")" "$(mb_per_s "$bytes" "$t_md5")" \
    sha1sum "$(ms "$t_sha1")" "$(mb_per_s "$bytes" "$t_sha1")" \
    cksum "$(ms "$t_cksum")" "$(mb_per_s "$bytes" "$t_cksum")"
  awk -v o="$t_ours" -v a="$t_md5" -v b="$t_sha1" -v c="$t_cksum" \
    'BEGIN { printf "ratio digest_file / (md5sum + sha1sum + cksum) = %.2f (target <= 1.00)\n", o / (a + b + c) }'
}

if [ $# -gt 0 ]; then sections=("$@"); fi
for section in "${sections[@]}"; do
  "section_$section"
  echo
done
