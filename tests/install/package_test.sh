#!/usr/bin/env bash
# Builds the Debian package from an already built tree with cpack, into WORK_DIR, and
# checks its file list, control fields and maintainer scripts.
# Usage: package_test.sh BUILD_DIR WORK_DIR UDEV_RULES_DIR VERSION
set -uo pipefail
build=$1
work=$2
rules_dir=$3
version=$4
. "$(dirname -- "$0")/check_lib.sh"

rm -rf -- "$work"
mkdir -p -- "$work"
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat -- "$work/cpack.log" >&2
  echo "cpack failed" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)
deb=$work/flashwrendel_${version}-1_${arch}.deb
expect_true "package file $deb" test -f "$deb"
[ -f "$deb" ] || { finish; exit 1; }

listing=$(dpkg-deb -c "$deb")
# "mode owner/group size date time ./path": keep mode, owner and path.
entries=$(awk '{ print $1, $2, $6 }' <<<"$listing")
for expected in \
  "-rwxr-xr-x root/root ./usr/bin/flashwrendel" \
  "-rwxr-xr-x root/root ./usr/bin/flashwrendel-launch" \
  "-rwxr-xr-x root/root ./usr/bin/flashwrendel-cli" \
  "-rw-r--r-- root/root ./usr/share/man/man1/flashwrendel-cli.1.gz" \
  "-rw-r--r-- root/root ./usr/$rules_dir/60-flashwrendel.rules" \
  "-rw-r--r-- root/root ./usr/share/applications/flashwrendel.desktop" \
  "-rw-r--r-- root/root ./usr/share/metainfo/org.example.flashwrendel.metainfo.xml" \
  "-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/flashwrendel.svg" \
  "-rw-r--r-- root/root ./usr/share/flashwrendel/kz1_v2.6.ini" \
  "-rw-r--r-- root/root ./usr/share/man/man1/flashwrendel.1.gz" \
  "-rw-r--r-- root/root ./usr/share/man/man1/flashwrendel-launch.1.gz" \
  "-rw-r--r-- root/root ./usr/share/doc/flashwrendel/copyright" \
  "-rw-r--r-- root/root ./usr/share/doc/flashwrendel/changelog.Debian.gz" \
  "-rw-r--r-- root/root ./usr/share/lintian/overrides/flashwrendel"; do
  expect_true "package lists: $expected" grep -qxF -- "$expected" <<<"$entries"
done
outside=$(awk '{ print $3 }' <<<"$entries" | grep -v -e '^\./$' -e '^\./usr/' || true)
expect_eq "entries outside /usr" "$outside" ""

field() { dpkg-deb -f "$deb" "$1"; }
expect_eq "Package" "$(field Package)" "flashwrendel"
expect_eq "Version" "$(field Version)" "${version}-1"
expect_eq "Architecture" "$(field Architecture)" "$arch"
expect_eq "Section" "$(field Section)" "electronics"
expect_eq "Priority" "$(field Priority)" "optional"
expect_true "Maintainer has name and address" \
  grep -qE '^[^<>]+ <[^<>@ ]+@[^<> ]+>$' <<<"$(field Maintainer)"
depends=$(field Depends)
# Package names alone, one a line, versions dropped.
depends_names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
for library in libqt6widgets6 libqt6gui6 libqt6core6 libusb-0.1-4 libc6 libstdc++6; do
  expect_true "Depends names $library ($depends)" grep -qxF -- "$library" <<<"$depends_names"
done
expect_eq "Depends names each package once" "$(sort <<<"$depends_names" | uniq -d)" ""
recommends_names=$(field Recommends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
for tool_package in usbutils acl; do
  expect_true "Recommends $tool_package" grep -qxF -- "$tool_package" <<<"$recommends_names"
done
expect_contains "Recommends Wine's Tahoma for the window" "$(field Recommends)" "fonts-wine"
description=$(field Description)
expect_eq "Description synopsis" "$(head -n 1 <<<"$description")" \
  "USB flash programmer tool for flash modules"
expect_true "Description has a long part" test "$(wc -l <<<"$description")" -gt 2

control=$work/control
dpkg-deb -e "$deb" "$control"
for script in postinst postrm; do
  expect_eq "$script mode" "$(file_mode "$control/$script")" "755"
  expect_true "$script is the packaging one" \
    cmp -s "$control/$script" "$(dirname -- "$0")/../../packaging/debian/$script"
done

# The packaged files are the installed ones: unpack and compare the plain-text ones.
unpacked=$work/unpacked
dpkg-deb -x "$deb" "$unpacked"
source=$(dirname -- "$0")/../..
expect_true "packaged rule is the source one" \
  cmp -s "$unpacked/usr/$rules_dir/60-flashwrendel.rules" "$source/packaging/60-flashwrendel.rules"
expect_true "packaged example is the source one" \
  cmp -s "$unpacked/usr/share/flashwrendel/kz1_v2.6.ini" "$source/examples/kz1_v2.6.ini"
# Installed with the prefix /usr, the man pages name the folders under it.
expect_eq "man page paths" \
  "$(zcat -- "$unpacked/usr/share/man/man1/flashwrendel.1.gz" | grep '^\.I /')" \
  ".I /usr/share/flashwrendel/kz1_v2.6.ini
.I /usr/$(sed 's/-/\\-/g' <<<"$rules_dir")/60\\-flashwrendel.rules"
expect_eq "binary is stripped (symbol tables)" \
  "$(readelf -S --wide "$unpacked/usr/bin/flashwrendel" | grep -c '\.symtab')" "0"

finish
