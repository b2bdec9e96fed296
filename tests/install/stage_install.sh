#!/usr/bin/env bash
# Installs the build into a private staging folder with prefix /usr, as the package
# does, so the checks can look at the tree without touching the system.
# Usage: stage_install.sh BUILD_DIR STAGE_DIR
set -euo pipefail
build=$1
stage=$2

rm -rf -- "$stage"
mkdir -p -- "$stage"
DESTDIR=$stage cmake --install "$build" --prefix /usr
