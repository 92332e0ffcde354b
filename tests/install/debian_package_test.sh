#!/usr/bin/env bash
# Builds the .deb from the build tree, has lintian check it, and looks inside.
#   debian_package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >/dev/null
deb=$(ls "$out"/quimbrel_*.deb)

# Errors fail the test; warnings are printed for the reader.
lintian --fail-on error --allow-root "$deb"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/quimbrel ./usr/bin/quimbrel-query ./usr/share/man/man1/quimbrel-query.1.gz \
            ./usr/share/applications/org.quimbrel.Quimbrel.desktop \
            ./usr/share/metainfo/org.quimbrel.Quimbrel.metainfo.xml \
            ./usr/share/icons/hicolor/48x48/apps/org.quimbrel.Quimbrel.png \
            ./usr/share/icons/hicolor/256x256/apps/org.quimbrel.Quimbrel.png \
            ./usr/share/doc/quimbrel/copyright; do
  grep -qx -- "$path" <<<"$contents" || { echo "the package lacks $path" >&2; exit 1; }
done

package_version=$(dpkg-deb -f "$deb" Version)
[[ $package_version == "$2" ]] || { echo "the package's version is $package_version, not $2" >&2; exit 1; }
control=$(dpkg-deb -f "$deb" Depends Recommends)
grep -q 'libqt6widgets6' <<<"$control" || { echo "no Qt dependency: $control" >&2; exit 1; }
grep -q 'Recommends: .*wine' <<<"$control" || { echo "wine is not recommended: $control" >&2; exit 1; }

# The maintainer script gives the echo capability, and nothing else.
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postinst >"$out/postinst"
caps=$(grep -o 'setcap cap[^ ;]*' "$out/postinst" | sort -u)
grep -q /usr/bin/quimbrel-query "$out/postinst" || { echo "quimbrel-query gets no echo capability" >&2; exit 1; }
[[ $caps == "setcap cap_net_raw+p" ]] || { echo "unexpected capabilities: $caps" >&2; exit 1; }
if grep -E -q 'chmod|chown|rm |mv ' "$out/postinst"; then
  echo "the maintainer script changes more than the capability" >&2; exit 1
fi
echo "package is complete"
