#!/usr/bin/env bash
# Everything that names the program's version says the project's version:
# the programs, the manual pages, the metadata, the package and its change log.
#   version_agreement_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2

th_version() { gzip -dc "$1" | sed -n '1s/^\.TH .*"Quimbrel \([^"]*\)".*/\1/p'; }
# What each place says, one "name<TAB>command" a line.
places=$(cat <<'TABLE'
quimbrel --version	env -u DISPLAY -u WAYLAND_DISPLAY "$build/src/app/quimbrel" --version | sed 's/^The Quimbrel //'
quimbrel manual page	th_version "$build/data/quimbrel.1.gz"
quimbrel-query manual page	th_version "$build/data/quimbrel-query.1.gz"
metainfo release	sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$build/data/org.quimbrel.Quimbrel.metainfo.xml"
package version	sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake"
change log	gzip -dc "$build/packaging/changelog.gz" | sed -n '1s/^quimbrel (\([^)]*\)).*/\1/p'
TABLE
)

failed=0
while IFS=$'\t' read -r place command; do
  said=$(eval "$command")
  if [[ $said != "$version" ]]; then
    echo "$place says \"$said\", the project $version" >&2
    failed=1
  fi
done <<<"$places"
((failed == 0)) && echo "every place says $version"
