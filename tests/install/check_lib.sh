# Small assertion helpers for the install checks: each failed check is reported and
# counted, and finish() ends the script with the tally so one run shows every fault.
failures=0
checks=0

pass() { checks=$((checks + 1)); }
fail() {
  checks=$((checks + 1))
  failures=$((failures + 1))
  echo "FAIL: $*" >&2
}

# expect_eq WHAT ACTUAL EXPECTED
expect_eq() {
  if [ "$2" = "$3" ]; then pass; else fail "$1: got '$2', expected '$3'"; fi
}

# expect_true WHAT COMMAND...
expect_true() {
  local what=$1
  shift
  if "$@"; then pass; else fail "$what"; fi
}

# expect_false WHAT COMMAND...
expect_false() {
  local what=$1
  shift
  if "$@"; then fail "$what"; else pass; fi
}

# expect_contains WHAT TEXT PART
expect_contains() {
  case $2 in
    *"$3"*) pass ;;
    *) fail "$1: '$2' does not contain '$3'" ;;
  esac
}

file_mode() { stat -c %a -- "$1"; }

finish() {
  local passed=$((checks - failures))
  echo "$passed passed, $failures failed"
  [ "$failures" -eq 0 ]
}
