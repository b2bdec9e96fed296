#!/usr/bin/env bash
# Runs the package's postinst and postrm with a recording stand-in for udevadm.
# Usage: maintainer_scripts_test.sh DEBIAN_DIR WORK_DIR [with-udev]
#   Without "with-udev" the scripts run as they find the machine; with it they run in a
#   private mount namespace whose /run holds a udev control socket (MAKE_SOCKET makes
#   it), so the branch for a running udev is exercised even where udev does not run.
set -uo pipefail
debian=$1
work=$2
mode=${3:-}
. "$(dirname -- "$0")/check_lib.sh"

if [ "$mode" = with-udev ]; then
  if [ -z "${FW_IN_PRIVATE_RUN:-}" ]; then
    # Re-run inside a mount namespace with an empty /run; the system's /run is untouched.
    if ! unshare -m true 2>/dev/null; then
      echo "no mount namespaces here: skipped"
      exit 77
    fi
    exec unshare -m env FW_IN_PRIVATE_RUN=1 bash "$0" "$@"
  fi
  mount -t tmpfs flashwrendel-test /run || exit 1
  mkdir /run/udev && "$MAKE_SOCKET" /run/udev/control || exit 1
  udev_running=1
elif [ -S /run/udev/control ]; then
  udev_running=1
else
  udev_running=0
fi

rm -rf -- "$work"
mkdir -p -- "$work/bin" "$work/nothing"
calls=$work/calls
# udevadm stand-in: records its arguments and answers with FAKE_UDEVADM_STATUS.
cat >"$work/bin/udevadm" <<'STANDIN'
#!/bin/sh
echo "$*" >>"$FW_CALLS"
exit "${FAKE_UDEVADM_STATUS:-0}"
STANDIN
chmod 0755 "$work/bin/udevadm"

# run_script SCRIPT ARG [UDEVADM_STATUS [PATH]]: status in $status, calls in $called.
run_script() {
  rm -f -- "$calls"
  env -i PATH="${4:-$work/bin:/usr/bin:/bin}" FW_CALLS="$calls" \
    FAKE_UDEVADM_STATUS="${3:-0}" /bin/sh "$debian/$1" "$2" >/dev/null 2>&1
  status=$?
  called=$(cat -- "$calls" 2>/dev/null | tr '\n' ';')
}

for script in postinst postrm; do
  expect_true "$script parses" sh -n "$debian/$script"
  expect_eq "$script mode" "$(file_mode "$debian/$script")" "755"
done

reload="control --reload-rules;"
trigger="trigger --subsystem-match=usb --attr-match=idVendor=ffff --attr-match=idProduct=0201 --action=add;"
if [ "$udev_running" = 1 ]; then
  expected_install="$reload$trigger"
  expected_remove="$reload"
else
  expected_install=""
  expected_remove=""
fi

run_script postinst configure
expect_eq "postinst configure: status" "$status" 0
expect_eq "postinst configure: udevadm calls" "$called" "$expected_install"

run_script postinst configure 1
expect_eq "postinst with udevadm failing: status" "$status" 0
expect_eq "postinst with udevadm failing: calls" "$called" "$expected_install"

run_script postinst configure 0 "$work/nothing"
expect_eq "postinst without udevadm: status" "$status" 0

for arg in abort-upgrade abort-remove abort-deconfigure; do
  run_script postinst "$arg"
  expect_eq "postinst $arg: status" "$status" 0
  expect_eq "postinst $arg: udevadm calls" "$called" ""
done

for arg in remove purge; do
  run_script postrm "$arg"
  expect_eq "postrm $arg: status" "$status" 0
  expect_eq "postrm $arg: udevadm calls" "$called" "$expected_remove"
  run_script postrm "$arg" 1
  expect_eq "postrm $arg with udevadm failing: status" "$status" 0
done
for arg in upgrade failed-upgrade abort-install disappear; do
  run_script postrm "$arg"
  expect_eq "postrm $arg: status" "$status" 0
  expect_eq "postrm $arg: udevadm calls" "$called" ""
done

finish
