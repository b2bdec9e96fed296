#!/usr/bin/env bash
# Lets udev itself judge the installed rule where its udevadm can (`udevadm verify`
# came with systemd 253); elsewhere the rule is left to the key parse in test_install.
# Usage: udevadm_verify.sh RULE_FILE
set -uo pipefail
rule=$1
if ! command -v udevadm >/dev/null 2>&1 || ! udevadm verify --help >/dev/null 2>&1; then
  echo "udevadm verify is not available here: skipped"
  exit 77
fi
udevadm verify --resolve-names=never "$rule"
