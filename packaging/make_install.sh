#!/usr/bin/env bash
# `make install` and `make uninstall`.
#   make_install.sh install BUILD_DIR PREFIX
#   make_install.sh uninstall BUILD_DIR
# install copies a finished build under PREFIX, staged under $DESTDIR when that is set,
# and notes in BUILD_DIR which files it put there and which folders it had to make;
# uninstall with the same DESTDIR removes exactly those again. It never builds: run as
# root, a build would leave files the user cannot replace in the user's own tree.
set -euo pipefail

action=$1
build=$2
destdir=${DESTDIR:-}
here=$(cd "$(dirname -- "$0")" && pwd)

# One record per DESTDIR, so that a staged install (the tests make one) never touches
# the record of the install on the live system.
record=installed
if [ -n "$destdir" ]; then
  record=installed-staged-$(printf '%s' "$destdir" | md5sum | cut -c 1-12)
fi
files=$build/$record-files.txt
folders=$build/$record-folders.txt
staged_into=$build/$record-destdir.txt
scratch=$(mktemp)
trap 'rm -f -- "$scratch"' EXIT

install_tree() {
  local prefix=$1
  if [ ! -f "$build/cmake_install.cmake" ] || [ ! -x "$build/app/flashwrendel" ]; then
    cat >&2 <<EOF
make install: there is no finished build in $build.
Build first as yourself, then install:
    make
    sudo make install
EOF
    exit 1
  fi

  # The folders there already, so that the ones the install makes are known afterwards.
  local root=$destdir$prefix top=$destdir$prefix
  while [ ! -d "$top" ]; do top=$(dirname -- "$top"); done
  { echo "$top"; [ "$top" != "$root" ] || find "$root" -mindepth 1 -type d; } >"$scratch"

  DESTDIR=$destdir cmake --install "$build" --prefix "$prefix" --strip

  # cmake --install writes its manifest, without DESTDIR, to the build folder, and so
  # does every later install from it: the record keeps this one, added to what earlier
  # installs with the same DESTDIR put elsewhere.
  local manifest=$build/install_manifest.txt file dir
  {
    while IFS= read -r file || [ -n "$file" ]; do
      printf '%s\n' "$destdir$file"
    done <"$manifest"
    cat -- "$files" 2>/dev/null || true
  } | sort -u >"$files.new"
  rm -f -- "$manifest"
  {
    while IFS= read -r file; do
      dir=$(dirname -- "$file")
      while [ "$dir" != / ] && ! grep -qxF -- "$dir" "$scratch"; do
        echo "$dir"
        dir=$(dirname -- "$dir")
      done
    done <"$files.new"
    cat -- "$folders" 2>/dev/null || true
  } | sort -ru >"$folders.new"
  mv -f -- "$files.new" "$files"
  mv -f -- "$folders.new" "$folders"
  [ -z "$destdir" ] || printf '%s\n' "$destdir" >"$staged_into"

  if [ -z "$destdir" ]; then
    # Applies the new udev rule to a programmer that is already plugged in.
    sh "$here/debian/postinst" configure
  fi
}

uninstall_tree() {
  if [ ! -f "$files" ]; then
    echo "make uninstall: nothing to remove: no make install from $build${destdir:+ with DESTDIR=$destdir} on record" >&2
    local other
    for other in "$build"/installed-staged-*-destdir.txt; do
      [ ! -f "$other" ] || echo "    staged one: make uninstall DESTDIR=$(cat -- "$other")" >&2
    done
    exit 1
  fi
  local file dir
  while IFS= read -r file; do
    case $file in
      "$destdir"/*) ;;
      *)
        echo "make uninstall: $file is not under DESTDIR=$destdir: nothing removed" >&2
        exit 1
        ;;
    esac
  done <"$files"
  while IFS= read -r file; do
    echo "-- Removing: $file"
    rm -f -- "$file"
  done <"$files"
  # Deepest first; a folder that holds anything else now stays.
  while IFS= read -r dir; do
    rmdir -- "$dir" 2>/dev/null || [ ! -d "$dir" ] || echo "-- Kept (not empty): $dir"
  done <"$folders"
  rm -f -- "$files" "$folders" "$staged_into"
  if [ -z "$destdir" ]; then
    sh "$here/debian/postrm" remove
  fi
}

case $action in
  install) install_tree "$3" ;;
  uninstall) uninstall_tree ;;
  *)
    echo "usage: $0 install BUILD_DIR PREFIX | uninstall BUILD_DIR" >&2
    exit 2
    ;;
esac
