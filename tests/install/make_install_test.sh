#!/usr/bin/env bash
# make install into a DESTDIR with the default prefix, then make uninstall: the man pages
# name the folders under that prefix, the Debian-only files stay out, and uninstall
# removes every file and folder the install made and nothing else. Without a build,
# make install refuses and says how to build.
# Usage: make_install_test.sh SOURCE_DIR BUILD_DIR WORK_DIR
set -uo pipefail
source=$1
build=$2
work=$3
. "$(dirname -- "$0")/check_lib.sh"

# Run from `make test`, the outer make's flags and variables must not reach this one.
unset MAKEFLAGS MFLAGS MAKELEVEL
rm -rf -- "$work"
dest=$work/dest
prefix=$dest/usr/local
# Already there before the install: an empty folder it uses and a file of another program.
mkdir -p -- "$prefix/bin" "$prefix/share"
echo other >"$prefix/share/other.txt"
before=$(cd "$dest" && find . | sort)

make -s -C "$source" install BUILD="$build" DESTDIR="$dest" PREFIX=/usr/local >"$work.log" 2>&1
expect_eq "make install: status" "$?" 0
expect_true "tool installed" test -x "$prefix/bin/flashwrendel"
expect_false "no Debian changelog" test -e "$prefix/share/doc/flashwrendel/changelog.Debian.gz"
expect_false "no lintian overrides" test -e "$prefix/share/lintian"
for page in flashwrendel flashwrendel-launch; do
  text=$(zcat -- "$prefix/share/man/man1/$page.1.gz")
  expect_contains "$page.1 names the example" "$text" "/usr/local/share/flashwrendel/kz1_v2.6.ini"
  expect_false "$page.1 keeps no template markers" grep -q @FW_ <<<"$text"
done
expect_contains "flashwrendel.1 names the rule" "$(zcat -- "$prefix/share/man/man1/flashwrendel.1.gz")" \
  "/usr/local/lib/udev/rules.d/60\\-flashwrendel.rules"

make -s -C "$source" uninstall BUILD="$build" DESTDIR="$dest" >>"$work.log" 2>&1
expect_eq "make uninstall: status" "$?" 0
expect_eq "left after uninstall" "$(cd "$dest" && find . | sort)" "$before"
make -s -C "$source" uninstall BUILD="$build" DESTDIR="$dest" >/dev/null 2>&1
expect_eq "second uninstall: status" "$?" 2

errors=$(make -s -C "$source" install BUILD="$work/no-build" DESTDIR="$dest" 2>&1)
expect_eq "install without a build: status" "$?" 2
expect_contains "install without a build: advice" "$errors" "    make
    sudo make install"
expect_eq "install without a build: nothing installed" "$(cd "$dest" && find . | sort)" "$before"

[ "$failures" -eq 0 ] || cat -- "$work.log" >&2
finish
