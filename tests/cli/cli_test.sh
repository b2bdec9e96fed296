#!/usr/bin/env bash
# Runs the real flashwrendel-cli on the drop-in simulated programmer (libusb-0.1.so.4
# from SIMLIB) and checks exit codes, files, the flash afterwards, the JSON report and
# the terminal output. Each case has a folder of its own under WORK.
# Usage: cli_test.sh GROUP CLI SIMLIB DATABASE WORK
set -uo pipefail
group=$1
cli=$2
simlib=$3
database=$4
work=$5
examples=$(cd "$(dirname "$0")/../../examples" && pwd)

failures=0
checks=0
check() { # check WHAT COMMAND...
  local what=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then
    failures=$((failures + 1))
    echo "FAIL: $what" >&2
    [ -f "$case_dir/err" ] && sed 's/^/  stderr: /' "$case_dir/err" >&2
  fi
}
eq() { [ "$1" = "$2" ] || { echo "  got '$1', expected '$2'" >&2; return 1; }; }
has() { grep -qF -- "$2" "$1" || { echo "  '$2' not in $1" >&2; return 1; }; }

# A 16 MiB one-bank module the example database knows, holding the pattern image.
base_conf="module_type=0x03
size_mib=16
chip_id=c2 7e 21 01
contents=pattern"

# new_case NAME [SIM SETTING LINES]: a fresh folder with the database and sim.conf;
# the flash is saved to flash.bin when the programmer is closed.
new_case() {
  case_dir=$work/$1
  rm -rf -- "$case_dir"
  mkdir -p -- "$case_dir/home"
  cp -- "$database" "$case_dir/kz1_v2.6.ini"
  printf '%s\nimage_out=%s\n%s\n' "$base_conf" "$case_dir/flash.bin" "${2:-}" >"$case_dir/sim.conf"
}

# cli ARGS...: runs the tool in the case folder without a terminal; sets status.
cli() {
  (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf \
    LD_LIBRARY_PATH=$simlib "$cli" "$@" </dev/null >"$case_dir/out" 2>"$case_dir/err")
  status=$?
}

# pattern FILE: the module's untouched contents, as the simulator saves them.
pattern() {
  cli identify
  mv -- "$case_dir/flash.bin" "$1"
}
mib=$((16 * 1024 * 1024))
other_image() { head -c "$mib" /dev/zero | tr '\0' '\125' >"$1"; }  # every byte 0x55

group_jobs() {
  new_case identify
  cli identify
  check "identify exits 0" eq "$status" 0
  check "identify names the chip" has "$case_dir/err" "Macronix, MX29GL128E"
  check "identify names the module" has "$case_dir/err" "Flash module: 16M"

  new_case read
  cli read dump.bin
  check "read exits 0" eq "$status" 0
  check "the dump is the flash" cmp -s "$case_dir/dump.bin" "$case_dir/flash.bin"
  check "Auto read matches the known dump" has "$case_dir/err" \
    "Defailt hash (MD5) match: Demo pattern image 16 MiB"
  check "read prints its digests on stdout, the CRC the known dump's" eq "$(cat "$case_dir/out")" \
    "$(cd "$case_dir" && md5sum dump.bin | sed 's/^/MD5     /' && sha1sum dump.bin | sed 's/^/SHA-1   /')
AGI CRC 0e72df32  dump.bin"

  new_case check
  pattern "$case_dir/pattern.bin"
  cli check pattern.bin
  check "check of the same image exits 0" eq "$status" 0
  check "check logs its result" has "$case_dir/err" "Byte to byte check OK"
  check "check prints its digests" eq "$(cut -c1-8 "$case_dir/out" | tr '\n' ,)" "MD5     ,SHA-1   ,AGI CRC ,"

  new_case erase
  cli erase
  check "erase exits 0" eq "$status" 0
  check "erased flash is all FF" eq "$(tr -d '\377' <"$case_dir/flash.bin" | wc -c)" 0

  # Given out of order: the read runs first (the old contents), then erase, write and
  # the verify; the flash ends equal to the written file.
  new_case combined
  other_image "$case_dir/image.bin"
  pattern "$case_dir/pattern.bin"
  cli write image.bin erase read before.bin
  check "read, erase, write exits 0" eq "$status" 0
  check "the read saw the flash before the erase" cmp -s "$case_dir/before.bin" "$case_dir/pattern.bin"
  check "the flash ends equal to the file" cmp -s "$case_dir/flash.bin" "$case_dir/image.bin"
  check "the verify checks the written file" has "$case_dir/err" "Start check with image.bin"
  check "jobs in the fixed order" eq "$(grep -oE 'Start (read|erasing|write|check)' "$case_dir/err" | tr '\n' ,)" \
    "Start read,Start erasing,Start write,Start check,"
  check "the digests of the read and the verify, not of the second read" \
    eq "$(grep -c '^MD5' "$case_dir/out"):$(grep -c "^MD5 .*  image.bin$" "$case_dir/out")" 2:1

  new_case diagnose
  cli diagnose status.txt
  check "diagnose exits 0" eq "$status" 0
  check "diagnose writes its file" has "$case_dir/status.txt" "Cycle 0 ==>"
  check "diagnose logs the status register" has "$case_dir/err" "Status register:"
}

group_exit_codes() {
  # NAME | EXPECTED STATUS | SIM SETTINGS (\n-separated) | ARGUMENTS | STDERR TEXT
  local cases=(
    "job_file_error|1||read missing/dump.bin|File open error: missing/dump.bin"
    "usage_no_file|2||read|the job \"read\" needs a FILE"
    "usage_read_check|2||read a.bin check b.bin|read and check cannot run together"
    "usage_bad_digest|2||--md5 123 read a.bin|--md5 needs 32 hexadecimal digits"
    "usage_unknown_job|2||format|unknown job \"format\""
    "bad_database|2||--database broken.ini identify|Error: "
    "no_programmer|3|present=0|identify|Flash programmator: Device not found"
    "diagnose_no_programmer|3|present=0|diagnose status.txt|Flash programmator: Device not found"
    "question_refused|3|module_type=0x2a|read a.bin|no terminal to ask on"
    "question_yes|0|module_type=0x2a|--yes --no-verify identify|Flash module type unknown (2A). Used as 64M module."
    "check_failed|4||check other.bin|Byte to byte check with file FAILED"
    "manual_fail|4||--md5 00000000000000000000000000000000 read a.bin|Manual MD5 check FAIL"
    "manual_fail_stops|4||--md5 00000000000000000000000000000000 read a.bin erase|Verification failed, jobs stopped"
    "checked_fail_stops|4||--database badsha.ini read a.bin erase|Verification failed, jobs stopped"
    "unknown_dump_goes_on|0|contents=zero|read a.bin erase|Jobs successful done"
    "verify_digest_fails|4||--md5 00000000000000000000000000000000 erase write other.bin|Verification failed, jobs stopped"
    "reread_differs|4|flip_read_block=512 5 0x08|read a.bin erase|Second read differs from the dump"
    "reread_fifo_differs|4|flip_read_block=512 5 0x08|read fifo erase|its digests are not the first read's"
    "check_stuck_bit|4|contents=zero\nstuck_bit=odd 3 1|check zero.bin|every difference is bit 3 of odd bytes reading 1 where the file has 0 (8388608 bytes)"
    "manual_ok|0||--sha1 DA22DCCE414170C21E8D0771463BFDB624460F87 read a.bin|Manual SHA1 check OK"
    "verify_failed|4||write other.bin|Byte to byte check with file FAILED"
    "no_verify|0||--no-verify write other.bin|Write done"
    "unknown_dump|0|contents=zero|read a.bin|Defailt hash (MD5) check database FAIL"
    "typed_digest_is_the_reads|0||--sha1 DA22DCCE414170C21E8D0771463BFDB624460F87 read a.bin erase write other.bin|Jobs successful done"
    "reread_fifo_matches|0||read fifo erase|Second read gives the digests of the first"
    "read_then_write_rereads|4||read a.bin write other.bin|Second read matches the dump"
    "diagnose_no_status_file|1||diagnose missing/status.txt|Can't create status file"
  )
  new_case untouched
  pattern "$case_dir/pattern.bin"
  local untouched=$case_dir/pattern.bin
  local entry name expected settings args text
  for entry in "${cases[@]}"; do
    IFS='|' read -r name expected settings args text <<<"$entry"
    new_case "$name" "${settings//\\n/$'\n'}"
    other_image "$case_dir/other.bin"
    head -c "$mib" /dev/zero >"$case_dir/zero.bin"
    printf '[Setup]\nMD5_check=2\nSHA1_check=2\n' >"$case_dir/broken.ini"
    sed 's/,da22dcce414170c21e8d0771463bfdb624460f87,/,'"$(printf '0%.0s' $(seq 40))"',/' \
      "$database" >"$case_dir/badsha.ini"
    # A FIFO as the dump, with a reader that takes everything.
    local reader=
    if [[ " $args " == *" fifo "* ]]; then
      mkfifo "$case_dir/fifo"
      cat "$case_dir/fifo" >/dev/null 2>&1 &
      reader=$!
    fi
    # shellcheck disable=SC2086
    cli $args
    [ -z "$reader" ] || { kill "$reader" 2>/dev/null; wait "$reader" 2>/dev/null; }
    check "$name: exit status" eq "$status" "$expected"
    check "$name: message" has "$case_dir/err" "$text"
  done
  # The verify after a write without erase: NOR programming cannot raise bits, so the
  # flash is not the file and the run says so.
  check "verify_failed: the verify ran on the written file" has "$work/verify_failed/err" "Start check with other.bin"
  # Nothing is erased after a dump that did not verify or did not read the same twice.
  local stopped
  for stopped in manual_fail_stops checked_fail_stops reread_differs reread_fifo_differs; do
    check "$stopped: the flash is not erased" cmp -s "$work/$stopped/flash.bin" "$untouched"
    check "$stopped: no erase began" eq "$(grep -c 'Start erasing' "$work/$stopped/err")" 0
    check "$stopped: the dump is kept" test -e "$work/$stopped/a.bin" -o "$stopped" = reread_fifo_differs
  done
  check "unknown_dump_goes_on: the second read matched" has "$work/unknown_dump_goes_on/err" "Second read matches the dump"
  check "reread_differs: where it differs" has "$work/reread_differs/err" "First difference at 0x00000005 (block 0)"
  check "check_stuck_bit: the check went on to the end" has "$work/check_stuck_bit/err" \
    "8388608 bytes differ in 512 blocks: 0-511"
  check "typed_digest_is_the_reads: the flash is the written file" \
    cmp -s "$work/typed_digest_is_the_reads/flash.bin" "$work/typed_digest_is_the_reads/other.bin"
  check "check_stuck_bit: the window's line first" has "$work/check_stuck_bit/err" "Byte to byte check with file FAILED"

  # A name the file system cannot take is refused before the programmer is opened.
  new_case usage_empty_name
  cli read ""
  check "empty name: usage error" eq "$status" 2
  check "empty name: message" has "$case_dir/err" "needs a FILE, not an empty name"
  check "empty name: nothing opened" eq "$(grep -c 'Start jobs' "$case_dir/err")" 0

  # Without libusb-0.1 there is no list at all, which is not an empty bench.
  new_case no_library
  mkdir "$case_dir/lib" && : >"$case_dir/lib/libusb-0.1.so.4"
  (cd "$case_dir" && LD_LIBRARY_PATH=$case_dir/lib "$cli" list >"$case_dir/out" 2>"$case_dir/err")
  check "no library: list exits 3" eq "$?" 3
  check "no library: says so" has "$case_dir/err" "libusb-0.1 could not be loaded"

  # A reader that goes away (| head) stops getting lines; the run goes on to its end.
  new_case closed_pipe
  pattern "$case_dir/image.bin"
  (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf LD_LIBRARY_PATH=$simlib \
    "$cli" --events - read a.bin erase write image.bin 2>"$case_dir/err" </dev/null | head -c 100 >/dev/null
    exit "${PIPESTATUS[0]}")
  check "closed pipe: the run ends well" eq "$?" 0
  check "closed pipe: the flash is the file" cmp -s "$case_dir/flash.bin" "$case_dir/image.bin"
  check "closed pipe: no part left behind" eq "$(ls -A "$case_dir" | grep -c part)" 0

  # No database anywhere: not in the working folder, no user copy, no installed example.
  new_case no_database
  rm -- "$case_dir/kz1_v2.6.ini"
  cli identify
  check "no database: exit status" eq "$status" 2
  check "no database: message" has "$case_dir/err" "no database found"

  # The launcher's folder in the documents folder wins over the older one.
  mkdir -p "$case_dir/home/Documents/FlashWrendel" "$case_dir/home/.local/share/flashwrendel"
  cp -- "$database" "$case_dir/home/Documents/FlashWrendel/"
  printf '[Setup]\n' >"$case_dir/home/.local/share/flashwrendel/kz1_v2.6.ini"
  cli identify
  check "user copy: exit status" eq "$status" 0
}

group_json() {
  new_case json
  cli --json read dump.bin
  check "json read exits 0" eq "$status" 0
  local j=$case_dir/out
  check "stdout is one JSON object" eq "$(jq -r type "$j")" object
  check "MD5 as md5sum" eq "$(jq -r .digests.md5 "$j")" "$(md5sum <"$case_dir/dump.bin" | cut -d' ' -f1)"
  check "SHA-1 as sha1sum" eq "$(jq -r .digests.sha1 "$j")" "$(sha1sum <"$case_dir/dump.bin" | cut -d' ' -f1)"
  check "job record" eq "$(jq -c '.jobs[0] | [.name, .file, .result, .bytes]' "$j")" \
    "[\"read\",\"dump.bin\",\"ok\",$mib]"
  check "module" eq "$(jq -c '.module | [.type, .size_mb, .banks, .known]' "$j")" '["03",16,1,true]'
  check "chip" eq "$(jq -c '.chip | [.id, .name, .vendor, .bus_width, .known]' "$j")" \
    '["c2 7e 21 01","MX29GL128E","Macronix",16,true]'
  check "verification" eq "$(jq -c '.verification | [.mode, .matched, .md5, .sha1, .crc]' "$j")" \
    '["auto","Demo pattern image 16 MiB","main","ok","ok"]'
  check "no progress line in the log" eq "$(jq '[.log[].text | select(test("^Reading"))] | length' "$j")" 0
  check "log lines with colour" eq "$(jq -r '.log[] | select(.text == "SHA1 check OK") | .colour' "$j")" purple
  check "exit code in the report" eq "$(jq .exit_code "$j")" 0

  # Several jobs: the top-level digests and verification are those of the last job that
  # verified (the verify after the write), whose digests start afresh after the check.
  new_case json_several
  pattern "$case_dir/pattern.bin"
  head -c "$mib" /dev/zero | tr '\0' '\377' >"$case_dir/blank.bin"
  cli --json check pattern.bin erase write blank.bin
  j=$case_dir/out
  check "several: exit 0" eq "$status" 0
  check "several: jobs" eq "$(jq -c '[.jobs[] | [.name, .result]]' "$j")" \
    '[["check","ok"],["erase","ok"],["write","ok"],["verify","ok"]]'
  check "several: the check's own digests" eq "$(jq -r .jobs[0].digests.md5 "$j")" \
    "$(md5sum <"$case_dir/pattern.bin" | cut -d' ' -f1)"
  check "several: top-level digests are the verify's, from its first block" \
    eq "$(jq -r .digests.md5 "$j")" "$(md5sum <"$case_dir/blank.bin" | cut -d' ' -f1)"
  check "several: top-level verification is the verify's" \
    eq "$(jq -r .verification.matched "$j")" "Blank flash 16 MiB (erased)"

  # A read before an erase is vouched for by a second read, a job of its own; what was
  # verified stays the read's.
  new_case json_reread
  cli --json read dump.bin erase
  j=$case_dir/out
  check "reread: jobs" eq "$(jq -c '[.jobs[] | [.name, .result, .mismatch]]' "$j")" \
    '[["read","ok",false],["reread","ok",false],["erase","ok",null]]'
  check "reread: verification is the read's" eq "$(jq -r .verification.matched "$j")" \
    "Demo pattern image 16 MiB"

  # A failed write is followed by no verify.
  new_case json_write_refused "write_status=1"
  cli --json write dump.bin
  check "refused write: exit 1" eq "$status" 1
  check "refused write: no verify" eq "$(jq -c '[.jobs[].name]' "$case_dir/out")" '["write"]'

  # Where and how a check differs, as numbers.
  new_case json_difference "contents=zero
stuck_bit=odd 3 1"
  head -c "$mib" /dev/zero >"$case_dir/zero.bin"
  cli --json check zero.bin
  j=$case_dir/out
  check "difference: exit 4" eq "$status" 4
  check "difference: first, bytes, blocks, ranges" \
    eq "$(jq -c '.jobs[0].difference | [.first_offset, .first_block, .bytes, .blocks, .ranges]' "$j")" \
    "[1,0,8388608,512,[[0,511]]]"
  check "difference: the data line" eq "$(jq -c .jobs[0].difference.data_line "$j")" \
    '{"lanes":"odd","bit":3,"reads":1}'
  check "difference: bit 3 of odd bytes" eq "$(jq -c '.jobs[0].difference.bits.odd[3]' "$j")" \
    '{"bit":3,"read_1_file_0":8388608,"read_0_file_1":0}'
  new_case json_both_lanes "contents=zero"
  head -c "$mib" /dev/zero | tr '\0' '\040' >"$case_dir/x20.bin"
  cli --json check x20.bin
  check "difference: the same bit of both lanes" eq "$(jq -c .jobs[0].difference.data_line "$case_dir/out")" \
    '{"lanes":"both","bit":5,"reads":0}'

  # --events: JSON Lines while the run goes, every line an object of a known shape.
  new_case events
  cli --events events.jsonl read dump.bin erase
  local ev=$case_dir/events.jsonl
  check "events: exit 0" eq "$status" 0
  check "events: every line one object" eq "$(jq -s 'map(type == "object") | all' "$ev")" true
  check "events: jobs begin and end in order" \
    eq "$(jq -r 'select(.event | test("^job_")) | "\(.event) \(.job)"' "$ev" | tr '\n' ,)" \
    "job_start read,job_end read,job_start reread,job_end reread,job_start erase,job_end erase,"
  check "events: progress at most once a percent, rising" \
    eq "$(jq -s '[.[] | select(.event == "progress" and .job == "read") | .percent]
      | (length <= 101) and (. == (sort | unique)) and (.[-1] == 100)' "$ev")" true
  check "events: the first progress knows no speed yet" \
    eq "$(jq -sc '[.[] | select(.event == "progress")][0] | [.bytes_per_second, .seconds_left]' "$ev")" '[null,null]'
  check "events: every job_end has its time" \
    eq "$(jq -s '[.[] | select(.event == "job_end") | .seconds | type == "number"] | all' "$ev")" true
  check "events: progress shape" \
    eq "$(jq -c 'select(.event == "progress") | keys' "$ev" | sort -u)" \
    '["bytes","bytes_per_second","event","job","percent","seconds_left"]'
  check "events: the log lines, as the report has them" \
    eq "$(jq -r 'select(.event == "line") | .text' "$ev" | tail -n 1)" "$(tail -n 1 "$case_dir/err")"
  check "events: the end with the exit code" eq "$(tail -n 1 "$ev" | jq -c .)" '{"event":"end","exit_code":0}'

  # Why a run failed, as the report has it: the job's failure or the connection's, and
  # every box shown. NAME ; SIM SETTINGS ; ARGUMENTS ; JQ ; EXPECTED
  local reasons=(
    'missing_folder;;read no/such/d.bin;.jobs[0].failure | [.reason, .errno];["file_open",2]'
    'disk_full;;read /dev/full;.jobs[0].failure | [.reason, .errno];["file_write",28]'
    'transfer;fault_kind=timeout\nfault_read_block=3;read d.bin;.jobs[0].failure | [.reason, .errno, .detail];["transfer",110,"request 12, answer: -110 (Connection timed out)"]'
    'short_check;;check short.bin;.jobs[0].failure.reason;"file_too_short"'
    'no_programmer;present=0;identify;[.connection.reason, .messages];["not_found",[{"caption":"Flash programmator","text":"Device not found"}]]'
    'connected;contents=zero;read d.bin;[.connection, .jobs[0].failure, .messages];[null,null,[]]'
  )
  local entry name settings args query expected
  for entry in "${reasons[@]}"; do
    IFS=';' read -r name settings args query expected <<<"$entry"
    new_case "reason_$name" "${settings//\\n/$'\n'}"
    head -c 100 /dev/zero >"$case_dir/short.bin"
    # shellcheck disable=SC2086
    cli --json --events events.jsonl $args
    check "$name: in the report" eq "$(jq -c "$query" "$case_dir/out")" "$expected"
    check "$name: each box an event" eq "$(jq -sc '[.[] | select(.event == "message") | {caption, text}]' "$case_dir/events.jsonl")" \
      "$(jq -c .messages "$case_dir/out")"
  done
  check "missing_folder: the system's reason on the terminal" has "$work/reason_missing_folder/err" "  No such file or directory"

  new_case json_assumed "module_type=0x2a
chip_id=01 02 03 04"
  cli --json --yes identify
  check "assumed: exit 0" eq "$status" 0
  check "assumed module and chip" eq "$(jq -c '[.module.known, .module.size_mb, .chip.known, .chip.name]' "$case_dir/out")" \
    '[false,64,false,null]'
}

group_terminal() {
  new_case plain "read_bytes_per_second=40000000"
  cli read dump.bin
  check "no escape code without a terminal" eq "$(grep -c $'\033' "$case_dir/err")" 0
  cli --color always read dump.bin
  check "--color always colours the lines" has "$case_dir/err" $'\033[35mSHA1 check OK\033[0m'

  # On a pseudo-terminal: coloured lines and the status line with speed and time left.
  (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf LD_LIBRARY_PATH=$simlib \
    script -qfec "'$cli' read dump.bin" /dev/null >"$case_dir/tty" 2>&1 </dev/null)
  check "terminal run exits 0" eq "$?" 0
  check "status line with MB/s" grep -qE $'\r\033\\[Kread +[0-9]+%  +[0-9.]+ MB/s  [0-9]+:[0-9]{2} left' "$case_dir/tty"
  check "green line on the terminal" has "$case_dir/tty" $'\033[32m'

  new_case asked "module_type=0x2a"
  (cd "$case_dir" && printf 'ok\n' | HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf \
    LD_LIBRARY_PATH=$simlib script -qfec "'$cli' identify" /dev/null >"$case_dir/tty" 2>&1)
  check "question answered OK on the terminal" has "$case_dir/tty" "Flash module type unknown (2A)"
}

group_interrupt() {
  # 16 MiB at 4 MB/s: a read of about 4 s, interrupted on its way by each stop signal.
  local signal
  for signal in INT TERM HUP; do
    new_case "interrupt_$signal" "read_bytes_per_second=4000000"
    printf 'an earlier dump\n' >"$case_dir/dump.bin"
    cp -- "$case_dir/dump.bin" "$case_dir/dump.orig"
    (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf LD_LIBRARY_PATH=$simlib \
      exec "$cli" --json --events events.jsonl read dump.bin </dev/null >"$case_dir/out" 2>"$case_dir/err") &
    local pid=$! tries=0
    # Once the read has begun (its heading is final when its progress line comes).
    until grep -q "Start read to" "$case_dir/err" 2>/dev/null || [ $tries -ge 100 ]; do
      sleep 0.1
      tries=$((tries + 1))
    done
    sleep 0.3
    check "SIG$signal: each event is in its file when written" has "$case_dir/events.jsonl" '"job_start"'
    kill "-$signal" "$pid"
    wait "$pid"
    status=$?
    check "SIG$signal: exit 130" eq "$status" 130
    check "SIG$signal: the job says so" has "$case_dir/err" "Operation cancelled"
    check "SIG$signal: the file of that name is unchanged" cmp -s "$case_dir/dump.bin" "$case_dir/dump.orig"
    check "SIG$signal: no part left behind" eq "$(ls -A "$case_dir" | grep -c dump)" 2
    check "SIG$signal: job cancelled in the report" eq "$(jq -c '[.jobs[0].result, .jobs[0].failure.reason]' "$case_dir/out")" '["cancelled","cancelled"]'
  done
  rm -rf -- "$work/interrupt" && mv -- "$work/interrupt_INT" "$work/interrupt"

  # Ctrl+C while the programmer is away after a lost transfer: the wait for it stops.
  new_case reconnecting "drop_at=read_block 100
drop_ms=20000"
  (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf LD_LIBRARY_PATH=$simlib \
    exec "$cli" --json read dump.bin </dev/null >"$case_dir/out" 2>"$case_dir/err") &
  pid=$! tries=0
  until grep -q "reconnecting" "$case_dir/err" 2>/dev/null || [ $tries -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  kill -INT "$pid"
  SECONDS=0
  wait "$pid"
  check "while reconnecting: exit 130" eq "$?" 130
  check "while reconnecting: stopped at once" test "$SECONDS" -lt 3
  check "while reconnecting: cancelled" eq "$(jq -r '.jobs[0].failure.reason' "$case_dir/out")" cancelled

  # Ctrl+C while an erase is polled: the polling stops at once.
  new_case erase_polled "erase_ms=20000"
  (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf LD_LIBRARY_PATH=$simlib \
    exec "$cli" erase </dev/null >"$case_dir/out" 2>"$case_dir/err") &
  pid=$! tries=0
  until grep -q "Start erasing" "$case_dir/err" 2>/dev/null || [ $tries -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  kill -INT "$pid"
  SECONDS=0
  wait "$pid"
  status=$?
  check "erase polled: exit 130" eq "$status" 130
  check "erase polled: said so" has "$case_dir/err" "Operation cancelled"
  check "erase polled: stopped at once" test "$SECONDS" -lt 5

  # A signal while identification waits for the programmer: nothing more is sent but the
  # close, so an erase-first run erases nothing (the programmer would finish an erase it
  # had been told to start).
  new_case untouched
  pattern "$case_dir/pattern.bin"
  local untouched=$case_dir/pattern.bin
  interrupt_during_hold() { # NAME SIM_SETTINGS ARGS...
    local name=$1 settings=$2
    shift 2
    new_case "$name" "$settings"
    (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf \
      LD_LIBRARY_PATH=$simlib exec "$cli" "$@" </dev/null >"$case_dir/out" 2>"$case_dir/err") &
    local pid=$! tries=0
    until grep -q "main hash" "$case_dir/err" 2>/dev/null || [ $tries -ge 1000 ]; do
      sleep 0.02
      tries=$((tries + 1))
    done
    sleep 0.2  # well inside the held answer (the line comes as identification begins)
    kill -INT "$pid"
    wait "$pid"
    status=$?
  }
  interrupt_during_hold identifying "hold_in_transfer=2
hold_ms=900" --json --yes erase
  check "during identification: exit 130" eq "$status" 130
  check "during identification: said so" has "$case_dir/err" "Operation cancelled"
  check "during identification: nothing erased" cmp -s "$case_dir/flash.bin" "$untouched"
  check "during identification: no job" eq "$(jq -c .jobs "$case_dir/out")" "[]"

  interrupt_during_hold diagnosing "hold_in_transfer=2
hold_ms=900" --json diagnose status.txt
  check "diagnostic stopped: exit 130" eq "$status" 130
  check "diagnostic stopped: said so" has "$case_dir/err" "Operation cancelled"
  check "diagnostic stopped: its record" eq "$(jq -r '.jobs[0].result' "$case_dir/out")" cancelled

  interrupt_during_hold before_question "module_type=0x2a
hold_in_transfer=1
hold_ms=900" --yes read dump.bin
  check "before a question: exit 130" eq "$status" 130
  check "before a question: not answered OK, even with --yes" has "$case_dir/err" "Cancel (interrupted)"
  check "before a question: no dump" test ! -e "$case_dir/dump.bin"

  # A question waiting on the terminal for its answer.
  new_case question "module_type=0x2a"
  mkfifo "$case_dir/answer"
  (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf LD_LIBRARY_PATH=$simlib \
    script -qfec "'$cli' --database '$case_dir/kz1_v2.6.ini' read dump.bin" /dev/null \
    <"$case_dir/answer" >"$case_dir/tty" 2>&1) &
  local script_pid=$!
  exec {hold}>"$case_dir/answer"  # open, never written: the question waits
  tries=0
  until grep -q "ok/cancel" "$case_dir/tty" 2>/dev/null || [ $tries -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  pkill -INT -f -- "--database $case_dir/kz1_v2.6.ini"
  wait "$script_pid"
  status=$?
  exec {hold}>&-
  check "during a question: exit 130" eq "$status" 130
  check "during a question: said so" has "$case_dir/tty" "Operation cancelled"
  check "during a question: no dump" test ! -e "$case_dir/dump.bin"

  # A crash half-way (SIGKILL: nothing of the tool runs any more) leaves the name as it was.
  case_dir=$work/interrupt
  (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf \
    LD_LIBRARY_PATH=$simlib exec "$cli" read dump.bin </dev/null >/dev/null 2>"$case_dir/err") &
  pid=$! tries=0
  until [ "$(stat -c %s "$case_dir"/.dump.bin.part-* 2>/dev/null | head -n 1)" -gt 1000000 ] 2>/dev/null ||
    [ $tries -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  kill -KILL "$pid"
  wait "$pid"
  check "SIGKILL: killed half-way through the read" eq "$?" 137
  check "SIGKILL: the file of that name is unchanged" cmp -s "$case_dir/dump.bin" "$case_dir/dump.orig"
}

# Two programmers on bus 201 (a number no real bus has here), devices 7 and 9: the
# first holds the pattern, the second zeros; each saves its flash to flash7.bin or
# flash9.bin when it is closed, so a missing file means it was never opened.
two_programmers() {
  new_case "$1" "programmers=2
bus=201
1.device=7
2.device=9
2.contents=zero
1.image_out=$work/$1/flash7.bin
2.image_out=$work/$1/flash9.bin
${2:-}"
  sed -i '/^image_out=/d' "$case_dir/sim.conf"
}

group_bench() {
  two_programmers listed
  cli list
  check "list: one line each" eq "$(cat "$case_dir/out")" "201:007
201:009"
  cli --json list
  check "list --json" eq "$(jq -c '[.[] | [.id, .bus, .device, .port]]' "$case_dir/out")" \
    '[["201:007",201,7,null],["201:009",201,9,null]]'
  check "list opens nothing" test ! -e "$case_dir/flash7.bin" -a ! -e "$case_dir/flash9.bin"

  two_programmers several
  cli --json read dump.bin
  check "several, no --device: exit 3" eq "$status" 3
  check "several: each named" has "$case_dir/err" \
    "2 programmers found: 201:007, 201:009. Keep only one connected."
  check "several: how to choose" has "$case_dir/err" "choose one with --device"
  check "several: no programmer named" eq "$(grep -c '^Programmer' "$case_dir/err")" 0
  check "several: neither opened" test ! -e "$case_dir/flash7.bin" -a ! -e "$case_dir/flash9.bin"
  check "several: no dump" test ! -e "$case_dir/dump.bin"
  check "several: found in the report" eq "$(jq -c '[.programmers_found[].id]' "$case_dir/out")" \
    '["201:007","201:009"]'
  check "several: why, in the report" eq "$(jq -c '[.connection.reason, .messages[0].text]' "$case_dir/out")" \
    '["several","2 programmers found: 201:007, 201:009. Keep only one connected."]'

  two_programmers chosen
  cli --json --device 201:009 read dump.bin
  check "chosen: exit 0" eq "$status" 0
  check "chosen: the dump is that programmer's" cmp -s "$case_dir/dump.bin" /dev/zero -n "$mib"
  check "chosen: only that one opened" test -e "$case_dir/flash9.bin" -a ! -e "$case_dir/flash7.bin"
  check "chosen: named at the start of the log" eq "$(sed -n 3p "$case_dir/err")" "Programmer 201:009"
  check "chosen: in the report" eq "$(jq -r .programmer.id "$case_dir/out")" "201:009"

  two_programmers absent
  cli --device 201:008 identify
  check "absent: exit 3" eq "$status" 3
  check "absent: what was asked and found" has "$case_dir/err" \
    "No programmer at 201:008. Found: 201:007, 201:009."
  cli --device seven identify
  check "not a device: usage error" eq "$status" 2

  # A programmer in use by another run is refused, and that run goes on undisturbed; two
  # runs on two programmers go side by side.
  two_programmers busy "read_bytes_per_second=8000000"
  (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf LD_LIBRARY_PATH=$simlib \
    exec "$cli" --device 201:007 read first.bin </dev/null >/dev/null 2>"$case_dir/first.err") &
  local first=$! tries=0
  until grep -q "Start read to" "$case_dir/first.err" 2>/dev/null || [ $tries -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  cli --device 201:007 read second.bin
  check "in use: exit 3" eq "$status" 3
  check "in use: said so" has "$case_dir/err" "the programmer is in use by another program"
  cli --device 201:009 read beside.bin
  check "beside it: the other programmer reads" eq "$status" 0
  wait "$first"
  check "in use: the first run is undisturbed" eq "$?" 0
  check "in use: its dump is whole" cmp -s "$case_dir/first.bin" "$case_dir/flash7.bin"
  check "beside it: its dump is its own" cmp -s "$case_dir/beside.bin" /dev/zero -n "$mib"

  # The README's example: every programmer read at once, each into its own file.
  two_programmers example
  (cd "$case_dir" && HOME=$case_dir/home FW_SIM_CONFIG=$case_dir/sim.conf LD_LIBRARY_PATH=$simlib \
    FLASHWRENDEL_CLI=$cli "$examples/read-every-programmer.sh" dumps >"$case_dir/out" 2>"$case_dir/err")
  check "example: exit 0" eq "$?" 0
  check "example: programmer 7's dump" cmp -s "$case_dir/dumps/201-007.bin" "$case_dir/flash7.bin"
  check "example: programmer 9's dump" cmp -s "$case_dir/dumps/201-009.bin" /dev/zero -n "$mib"
  check "example: a report each" eq "$(jq -r .programmer.id "$case_dir"/dumps/*.json | sort | tr '\n' ,)" \
    "201:007,201:009,"
}

group_retries() {
  # A transfer lost on the link costs a reconnection: the job goes on from the start of its
  # bank and ends with the right dump and flash. NAME ; SIM SETTINGS ; ARGUMENTS ; EXIT ;
  # THE JOBS' RETRIES
  local cases=(
    'read_first_bank;lose_read_block=100;read d.bin;0;[[{"block":100,"reason":"timeout"}]]'
    'read_second_bank;module_type=0x05\nsize_mib=32\ndual_bank=1\nlose_read_block=700;read d.bin;0;[[{"block":700,"reason":"timeout"}]]'
    'check;loss_kind=short\nlose_read_block=100;check pattern.bin;0;[[{"block":100,"reason":"short transfer"}]]'
    'read_dropped;drop_at=read_block 300\ndrop_ms=200;read d.bin;0;[[{"block":300,"reason":"device gone"}]]'
    'erase_poll_lost;lose_erase_poll=1;erase;0;[[{"block":0,"reason":"timeout"}]]'
    'erase_dropped;drop_at=erase_poll 2\ndrop_ms=200;erase;0;[[{"block":0,"reason":"device gone"}]]'
    'write_block_lost;lose_write_block=100;--no-verify erase write image.bin;0;[[],[{"block":100,"reason":"timeout"}]]'
    'write_dropped;drop_at=write_block 300\ndrop_ms=200;--no-verify erase write image.bin;0;[[],[{"block":300,"reason":"device gone"}]]'
    'identify_dropped;drop_at=transfer 1\ndrop_ms=200;identify;0;[]'
    'no_retries;lose_read_block=100;--retries 0 read d.bin;1;[[]]'
    'module_swapped;drop_at=read_block 100\nreturn_module_type=0x04;read d.bin;1;[[{"block":100,"reason":"device gone"}]]'
  )
  local entry name settings args expected retries
  for entry in "${cases[@]}"; do
    IFS=';' read -r name settings args expected retries <<<"$entry"
    new_case "$name" "${settings//\\n/$'\n'}"
    pattern "$case_dir/pattern.bin"
    other_image "$case_dir/image.bin"
    # shellcheck disable=SC2086
    cli --json --events events.jsonl $args
    check "$name: exit status" eq "$status" "$expected"
    check "$name: the retries in the report" eq "$(jq -c '[.jobs[].retries]' "$case_dir/out")" "$retries"
    check "$name: a retry event each" eq "$(jq -sc '[.[] | select(.event == "retry") | {block, reason}]' "$case_dir/events.jsonl")" \
      "$(jq -c '[.identify_retries[], .jobs[].retries[]]' "$case_dir/out")"
    [ "$expected" = 0 ] || continue
    check "$name: said so at the end" has "$case_dir/err" "reconnected 1 time after lost transfers"
    case " $args " in
      *" read d.bin "*) check "$name: the dump is the flash" cmp -s "$case_dir/d.bin" "$case_dir/flash.bin" ;;
      *" write "*) check "$name: the flash is the file" cmp -s "$case_dir/flash.bin" "$case_dir/image.bin" ;;
      *" erase "*) check "$name: the flash is erased" eq "$(tr -d '\377' <"$case_dir/flash.bin" | wc -c)" 0 ;;
    esac
  done
  check "read_first_bank: the summary names the block" has "$work/read_first_bank/err" \
    "reconnected 1 time after lost transfers (read block 100: timeout)"
  check "erase_poll_lost: the summary names the job" has "$work/erase_poll_lost/err" "(erase: timeout)"
  check "identify_dropped: tried again" eq "$(jq -c .identify_retries "$work/identify_dropped/out")" \
    '[{"block":0,"reason":"device gone"}]'
  check "no_retries: fails as before" has "$work/no_retries/err" "Read error"
  check "module_swapped: said so" has "$work/module_swapped/err" "The module changed while the programmer was away: module 4"
  check "module_swapped: no dump" eq "$(ls -A "$work/module_swapped" | grep -c 'd\.bin')" 0
}

"group_$group"
echo "cli $group: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
