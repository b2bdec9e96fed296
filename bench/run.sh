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

sections=(digest_micro flash_difference digest_file jobs cli vouch retries two_programmers database)

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

# The check's comparison per 32768-byte block: the accumulator on equal blocks against a
# plain memcmp (the two should be level), and on differing blocks.
section_flash_difference() {
  echo "== flash difference: per-block comparison (flash_difference_bench)"
  "$build/bench/flash_difference_bench" --benchmark_min_time="$([ -n "$quick" ] && echo 0.01 || echo 0.5)"
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

# A 64 MiB read through flashwrendel-cli on the drop-in simulator at zero latency (erased
# flash, so that the simulator's share is a memset), to /dev/null and to a file, against
# the digest pass alone. Whole processes: start-up, database, dlopen and all.
section_cli() {
  echo "== cli: 64 MiB read through flashwrendel-cli, drop-in simulator at zero latency"
  local cli=$build/cli/flashwrendel-cli db=$work/kz1_v2.6.ini
  cp "$(dirname "$0")/../examples/kz1_v2.6.ini" "$db"
  printf 'module_type=0x06\nsize_mib=64\ndual_bank=1\nchip_id=c2 7e 22 01\ncontents=erased\n' \
    >"$work/sim.conf"
  export FW_SIM_CONFIG=$work/sim.conf LD_LIBRARY_PATH=$build/simlib
  if ! "$cli" --database "$db" --quiet --md5 8317cb794bd8dda60669eabb3840eff7 read /dev/null; then
    echo "the read through the command line failed" >&2
    return 1
  fi
  local digest_cpu=1e9 cpu
  for _ in 1 2 3; do # best of three, as measure() does
    cpu=$("$build/bench/job_bench" digest | sed -n 's/^cpu_s=//p')
    digest_cpu=$(awk -v a="$digest_cpu" -v b="$cpu" 'BEGIN { print (b * 1000 < a) ? b * 1000 : a }')
  done
  # The digest pass times its loop alone; the process around the read (start-up, database,
  # identification) is what the same command costs with identify in place of the read.
  local wall_id cpu_id wall_null cpu_null wall_file cpu_file bytes=$((64 * 1024 * 1024))
  read -r wall_id cpu_id <<<"$(measure "$cli" --database "$db" --quiet identify)"
  read -r wall_null cpu_null <<<"$(measure "$cli" --database "$db" --quiet read /dev/null)"
  read -r wall_file cpu_file <<<"$(measure "$cli" --database "$db" --quiet read "$work/dump.bin")"
  # The same read with --events to a file, measured in the same run.
  local wall_ev cpu_ev
  read -r wall_ev cpu_ev <<<"$(measure "$cli" --database "$db" --quiet --events "$work/events" \
    read /dev/null)"
  printf '%-22s %10s %10s %9s\n' "" "wall ms" "cpu ms" "cpu MB/s"
  printf '%-22s %10s %10.1f %9s\n' "digests only" "" "$digest_cpu" "$(mb_per_s "$bytes" "$digest_cpu")"
  printf '%-22s %10s %10s\n' "cli identify" "$wall_id" "$cpu_id"
  printf '%-22s %10s %10s %9s\n' "cli read to /dev/null" "$wall_null" "$cpu_null" "$(mb_per_s "$bytes" "$cpu_null")"
  printf '%-22s %10s %10s %9s\n' "cli read to a file" "$wall_file" "$cpu_file" "$(mb_per_s "$bytes" "$cpu_file")"
  printf '%-22s %10s %10s %9s\n' "... /dev/null, events" "$wall_ev" "$cpu_ev" "$(mb_per_s "$bytes" "$cpu_ev")"
  awk -v d="$digest_cpu" -v i="$cpu_id" -v n="$cpu_null" -v f="$cpu_file" -v e="$cpu_ev" \
    -v lines="$(wc -l <"$work/events")" 'BEGIN {
      r = d / (n - i)
      printf "cli read to /dev/null: %.2f x the digests (target >= 0.95): %s; whole process %.2f\n",
        r, (r >= 0.95) ? "met" : "MISSED", d / n
      printf "cli read to a file: %.2f x the digests; whole process %.2f\n", d / (f - i), d / f
      printf "--events: %+.1f %% of the read'"'"'s cpu time (%d lines)\n", (e - n) / n * 100, lines }'
}

# Simulator settings of an erased module the example database knows: 16 MiB on one bank
# or 64 MiB on two.
erased_module() {
  if [ "$1" = 16 ]; then
    printf 'module_type=0x03\nsize_mib=16\n'
  else
    printf 'module_type=0x06\nsize_mib=64\ndual_bank=1\n'
  fi
  printf 'chip_id=c2 7e 22 01\ncontents=erased\n'
}

# What vouching for a dump costs on the command line (drop-in simulator, zero latency,
# erased flash): a read then an erase with the second read against the same with
# --no-verify, and a check that goes on past a difference against one that finds none:
# one differing byte, and a stuck data bit that makes every block differ (the worst case).
section_vouch() {
  local mib=$([ -n "$quick" ] && echo 16 || echo 64)
  echo "== vouch: second read and whole-flash compare through flashwrendel-cli, $mib MiB"
  local cli=$build/cli/flashwrendel-cli db=$work/kz1_v2.6.ini bytes=$((mib * 1024 * 1024))
  cp "$(dirname "$0")/../examples/kz1_v2.6.ini" "$db"
  erased_module "$mib" >"$work/vouch.conf"
  printf '%s\nstuck_bit=odd 3 0\n' "$(cat "$work/vouch.conf")" >"$work/stuck.conf"
  head -c "$bytes" /dev/zero | tr '\0' '\377' >"$work/blank.bin"
  cp "$work/blank.bin" "$work/one-byte.bin"
  printf '\000' | dd of="$work/one-byte.bin" bs=1 seek=$((bytes / 2)) conv=notrunc 2>/dev/null
  export LD_LIBRARY_PATH=$build/simlib
  run() { FW_SIM_CONFIG=$work/$1 "$cli" --database "$db" --quiet "${@:2}"; }
  local wall cpu
  printf '%-36s %10s %10s %9s\n' "" "wall ms" "cpu ms" "cpu MB/s"
  row() { # LABEL BYTES COMMAND...
    local label=$1 moved=$2
    shift 2
    read -r wall cpu <<<"$(measure "$@")"
    printf '%-36s %10s %10s %9s\n' "$label" "$wall" "$cpu" "$(mb_per_s "$moved" "$cpu")"
    eval "cpu_${label//[^a-z]/_}=$cpu"
  }
  row "read, erase (--no-verify)" "$bytes" run vouch.conf --no-verify read "$work/d.bin" erase
  row "read, second read, erase" $((2 * bytes)) run vouch.conf read "$work/d.bin" erase
  row "check, equal" "$bytes" run vouch.conf check "$work/blank.bin"
  row "check, one byte differs" "$bytes" run vouch.conf check "$work/one-byte.bin"
  row "check, every block differs" "$bytes" run stuck.conf check "$work/blank.bin"
  awk -v a="$cpu_read__erase____no_verify_" -v b="$cpu_read__second_read__erase" \
    -v e="$cpu_check__equal" -v o="$cpu_check__one_byte_differs" \
    -v w="$cpu_check__every_block_differs" 'BEGIN {
      printf "second read: %.2f x the read and erase alone\n", b / a
      printf "check going on past one byte: %.2f x an equal check; every block differing: %.2f x\n",
        o / e, w / e }'
}

# A flaky link: read, second read, erase, write and verify through flashwrendel-cli on the
# drop-in simulator losing one transfer in R (ReadBlock answers, WriteBlock data, erase poll
# answers; seeded), 20 seeds per module size and rate. A run passes when it exits 0 with
# the dump equal to the flash it read and the flash equal to the file it wrote. The wire
# time the retries add is worked out at USB 2 speeds (read 20 MB/s, write 8 MB/s, erase
# 3 s): a read retry reads its bank again up to the lost block, a write retry erases its
# bank and writes it again up to there, an erase retry erases again. Then a run without a
# lost transfer with and without the retries' fingerprints, for their cost.
section_retries() {
  local sizes=(32 64) seeds=20 rates=(2000 500)
  [ -n "$quick" ] && sizes=(16) seeds=2 rates=(2000)
  echo "== retries: read, second read, erase, write, verify on a lossy link, ${sizes[*]} MiB"
  local cli=$build/cli/flashwrendel-cli db=$work/kz1_v2.6.ini
  cp "$(dirname "$0")/../examples/kz1_v2.6.ini" "$db"
  export LD_LIBRARY_PATH=$build/simlib
  printf '%5s %6s %7s %8s %12s %14s\n' MiB "1 in" passed retries "wire s/run" "clean wire s"
  local mib rate seed
  for mib in "${sizes[@]}"; do
    local blocks=$((mib * 32)) module
    case $mib in
      16) module='module_type=0x03\nsize_mib=16\n' ;;
      32) module='module_type=0x05\nsize_mib=32\ndual_bank=1\n' ;;
      *) module='module_type=0x06\nsize_mib=64\ndual_bank=1\n' ;;
    esac
    head -c $((mib << 20)) /dev/urandom >"$work/img.bin"
    printf "${module}chip_id=c2 7e 22 01\ncontents=pattern\nimage_out=$work/before.bin\n" >"$work/clean.conf"
    FW_SIM_CONFIG=$work/clean.conf "$cli" --database "$db" --quiet identify
    for rate in "${rates[@]}"; do
      local passed=0 retries=0 extra=0
      for seed in $(seq 1 "$seeds"); do
        printf "${module}chip_id=c2 7e 22 01\ncontents=pattern\nimage_out=$work/flash.bin\nloss_rate=$rate\nloss_seed=$seed\n" \
          >"$work/lossy.conf"
        rm -f "$work/d.bin"
        if FW_SIM_CONFIG=$work/lossy.conf "$cli" --database "$db" --quiet --json \
          read "$work/d.bin" erase write "$work/img.bin" >"$work/run.json" 2>/dev/null &&
          cmp -s "$work/d.bin" "$work/before.bin" && cmp -s "$work/flash.bin" "$work/img.bin"; then
          passed=$((passed + 1))
        fi
        read -r n s <<<"$(jq -r --argjson half $((blocks / 2)) '
          [.jobs[] | .name as $job | .retries[] | {job: $job, block}] as $r
          | ($r | length) as $n
          | [$r[] | if .job == "erase" then 3
                    elif .job == "write" then 3 / 2 + (.block % $half) * 32768 / 8e6
                    else (.block % $half) * 32768 / 20e6 end] | add // 0
          | "\($n) \(.)"' "$work/run.json")"
        retries=$((retries + n))
        extra=$(awk -v a="$extra" -v b="$s" 'BEGIN { print a + b }')
      done
      awk -v m="$mib" -v r="$rate" -v p="$passed" -v n="$seeds" -v t="$retries" -v e="$extra" 'BEGIN {
        bytes = m * 1048576; clean = 3 * bytes / 20e6 + bytes / 8e6 + 3
        printf "%5d %6d %3d/%-3d %8.1f %12.2f %14.1f\n", m, r, p, n, t / n, e / n, clean }'
    done
  done
  local mib=$([ -n "$quick" ] && echo 16 || echo 64) wall cpu0 cpu3
  erased_module "$mib" >"$work/none.conf"
  head -c $((mib << 20)) /dev/zero >"$work/zero.bin"
  run() { FW_SIM_CONFIG=$work/none.conf "$cli" --database "$db" --quiet "$@" read "$work/d.bin" erase write "$work/zero.bin"; }
  read -r wall cpu0 <<<"$(measure run --retries 0)"
  read -r wall cpu3 <<<"$(measure run --retries 3)"
  awk -v a="$cpu0" -v b="$cpu3" -v m="$mib" 'BEGIN {
    printf "no lost transfer, %d MiB: %.0f ms cpu with --retries 0, %.0f ms with 3 (%+.1f %%)\n", m, a, b, (b / a - 1) * 100 }'
}

# Two command-line reads at once, on two programmers of the drop-in simulator at zero
# latency, against one read alone: total throughput (bytes of both over the wall time)
# as a ratio to one alone. Near 2 on two cores is the goal.
section_two_programmers() {
  local mib=$([ -n "$quick" ] && echo 16 || echo 64)
  echo "== two programmers: two $mib MiB reads at once through flashwrendel-cli, drop-in simulator"
  local cli=$build/cli/flashwrendel-cli db=$work/kz1_v2.6.ini bytes=$((mib * 1024 * 1024))
  cp "$(dirname "$0")/../examples/kz1_v2.6.ini" "$db"
  { printf 'programmers=2\nbus=201\n1.device=7\n2.device=9\n' && erased_module "$mib"; } \
    >"$work/two.conf"
  export FW_SIM_CONFIG=$work/two.conf LD_LIBRARY_PATH=$build/simlib
  one() { "$cli" --database "$db" --quiet --device "$1" read /dev/null; }
  both() { one 201:007 & one 201:009 & wait; }
  local wall1 cpu1 wall2 cpu2
  read -r wall1 cpu1 <<<"$(measure one 201:007)"
  read -r wall2 cpu2 <<<"$(measure both)"
  printf '%-22s %10s %10s %14s\n' "" "wall ms" "cpu ms" "total MB/s"
  printf '%-22s %10s %10s %14s\n' "one read alone" "$wall1" "$cpu1" "$(mb_per_s "$bytes" "$wall1")"
  printf '%-22s %10s %10s %14s\n' "two reads at once" "$wall2" "$cpu2" \
    "$(mb_per_s $((2 * bytes)) "$wall2")"
  awk -v a="$wall1" -v b="$wall2" -v n="$(nproc)" 'BEGIN {
      printf "total throughput of two at once: %.2f x one alone (%d cores; goal near 2)\n", 2 * a / b, n }'
}

if [ $# -gt 0 ]; then sections=("$@"); fi
for section in "${sections[@]}"; do
  "section_$section"
  echo
done
