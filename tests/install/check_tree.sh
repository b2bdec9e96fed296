#!/usr/bin/env bash
# Checks the tree that stage_install.sh put under STAGE: every file the tool needs on a
# desktop is there, in its place, with the right mode and contents.
# Usage: check_tree.sh STAGE SOURCE_DIR UDEV_RULES_DIR EXPECT_BINARY(0|1)
set -uo pipefail
stage=$1
source=$2
rules_dir=$3
expect_binary=$4
. "$(dirname -- "$0")/check_lib.sh"

usr=$stage/usr
bin=$usr/bin

# Nothing may land outside the prefix: no /etc, no /lib.
expect_eq "top-level entries of the staged tree" "$(ls -A -- "$stage")" "usr"

if [ "$expect_binary" = 1 ]; then
  expect_true "binary is an executable file" test -f "$bin/flashwrendel" -a -x "$bin/flashwrendel"
  expect_eq "binary is ELF" "$(head -c 4 -- "$bin/flashwrendel" | tail -c 3)" "ELF"
fi

launcher=$bin/flashwrendel-launch
expect_eq "launcher mode" "$(file_mode "$launcher")" "755"
expect_eq "launcher interpreter" "$(head -n 1 -- "$launcher")" "#!/bin/sh"
expect_true "launcher parses" sh -n "$launcher"
expect_false "launcher keeps no template markers" grep -q @FW_ "$launcher"

rule=$stage/usr/$rules_dir/60-flashwrendel.rules
expect_eq "udev rule mode" "$(file_mode "$rule")" "644"
expect_true "udev rule installed unchanged" cmp -s "$rule" "$source/packaging/60-flashwrendel.rules"

desktop=$usr/share/applications/flashwrendel.desktop
expect_eq "desktop entry mode" "$(file_mode "$desktop")" "644"
validation=$(desktop-file-validate "$desktop" 2>&1)
expect_eq "desktop-file-validate findings" "$validation" ""
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
expect_eq "menu entry starts the launcher" "$exec_line" "flashwrendel-launch"
expect_true "program of Exec= is installed" test -x "$bin/${exec_line%% *}"
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
icon=$usr/share/icons/hicolor/scalable/apps/$icon_name.svg
expect_true "icon named by the entry is installed ($icon)" test -f "$icon"
expect_true "icon is well-formed XML" xmllint --noout "$icon"
expect_eq "icon root element" "$(xmllint --xpath 'local-name(/*)' "$icon" 2>/dev/null)" "svg"

example=$usr/share/flashwrendel/kz1_v2.6.ini
expect_eq "example database mode" "$(file_mode "$example")" "644"
expect_true "example database installed unchanged" cmp -s "$example" "$source/examples/kz1_v2.6.ini"

# The command line finds the example from its own folder when nothing else is there.
expect_contains "flashwrendel-cli uses the installed example" \
  "$(cd / && HOME=/nonexistent "$bin/flashwrendel-cli" --help)" "Used now: $example"

for page in flashwrendel flashwrendel-launch flashwrendel-cli; do
  expect_true "man page $page.1.gz is intact gzip" gzip -t "$usr/share/man/man1/$page.1.gz"
done
expect_true "copyright file" test -s "$usr/share/doc/flashwrendel/copyright"
# Only the Debian package carries the files only Debian reads.
expect_false "no Debian changelog" test -e "$usr/share/doc/flashwrendel/changelog.Debian.gz"
expect_false "no lintian overrides" test -e "$usr/share/lintian"

finish
