#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop sees:
# the program, its desktop entry, icons, metadata and manual, and that the
# installed program answers --version and --help without a display.
#   installed_tree_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

expect_file() { [[ -f $prefix/$1 ]] || { echo "missing in the installed tree: $1" >&2; exit 1; }; }
expect_file bin/quimbrel
expect_file share/applications/org.quimbrel.Quimbrel.desktop
expect_file share/metainfo/org.quimbrel.Quimbrel.metainfo.xml
expect_file share/man/man1/quimbrel.1.gz
expect_file share/doc/quimbrel/copyright
for size in 16 22 24 32 48 64 128 256; do
  icon=share/icons/hicolor/${size}x${size}/apps/org.quimbrel.Quimbrel.png
  expect_file "$icon"
  # Each size is drawn at its size, not one picture under many names.
  file "$prefix/$icon" | grep -q "$size x $size" || { echo "$icon is not $size x $size" >&2; exit 1; }
done
[[ -x $prefix/bin/quimbrel ]] || { echo "the program is not executable" >&2; exit 1; }

desktop-file-validate "$prefix/share/applications/org.quimbrel.Quimbrel.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.quimbrel.Quimbrel.metainfo.xml"

# The desktop entry starts the installed program and shows the installed icon.
grep -qx 'Exec=quimbrel' "$prefix/share/applications/org.quimbrel.Quimbrel.desktop"
grep -qx 'Icon=org.quimbrel.Quimbrel' "$prefix/share/applications/org.quimbrel.Quimbrel.desktop"

version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/quimbrel" --version)
[[ $version =~ ^The\ Quimbrel\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "unexpected version text: $version" >&2; exit 1; }
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/quimbrel" --help)
for option in --settings --wine-prefix --version --help; do
  grep -q -- "$option" <<<"$help" || { echo "--help does not mention $option" >&2; exit 1; }
done
echo "installed tree is complete"
