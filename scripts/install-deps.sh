#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and only those
# that are missing. Quiet when everything is present.
set -euo pipefail

packages=(
  g++ clang cmake ninja-build make pkg-config
  qt6-base-dev libgl-dev
  libusb-dev libusb-0.1-4
  libgtest-dev libgmock-dev libbenchmark-dev
  coreutils
  umockdev libumockdev-dev libglib2.0-dev
  desktop-file-utils
  dpkg-dev lintian libxml2-utils
  fonts-wine qt6ct
  xvfb x11-utils xdotool
  dbus at-spi2-core python3-pyatspi
  appstream
  locales
  libcli11-dev nlohmann-json3-dev jq
)
if [ -n "${FW_EXTRA_PACKAGES:-}" ]; then
  read -r -a extra <<<"$FW_EXTRA_PACKAGES"
  packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
