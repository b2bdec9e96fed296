#!/usr/bin/env bash
# Runs lintian on the package that package_test.sh built; errors fail the check,
# warnings are shown for the record.
# Usage: lintian_test.sh WORK_DIR
set -uo pipefail
work=$1
deb=$(ls -- "$work"/flashwrendel_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
  echo "no package in $work" >&2
  exit 1
fi
report=$(lintian --no-cfg --fail-on error --display-level '>=warning' "$deb" 2>&1)
status=$?
echo "$report"
errors=$(grep -c '^E: ' <<<"$report" || true)
warnings=$(grep -c '^W: ' <<<"$report" || true)
echo "lintian: $errors errors, $warnings warnings"
[ "$status" -eq 0 ] && [ "$errors" -eq 0 ]
