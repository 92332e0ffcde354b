#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
# Idempotent and non-interactive: it asks apt only for what is missing.
# Extra package names given as arguments are installed along with them.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libgtest-dev googletest
  xvfb xauth x11-utils xdotool imagemagick fonts-liberation fonts-dejavu-core
  python3-xlib  # the demo closes its windows as a window manager would
  iproute2 nftables procps
  libc-ares-dev  # host-name lookups that a stop can cancel
  desktop-file-utils appstream lintian file dpkg-dev man-db libcap2-bin
  wine  # the game runs under Wine; the profile tests ask its registry tool
  gcc-mingw-w64-x86-64-win32  # builds the small Windows programs the Wine tests run
  locales  # the code page tests run Wine under these languages
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Locales the code page tests run under. Only these lines of /etc/locale.gen
# are enabled, and locale-gen runs only when one of them is not built yet.
test_locales=(pl_PL.UTF-8 ru_RU.UTF-8 el_GR.UTF-8 ja_JP.UTF-8 de_DE.UTF-8)
missing_locales=()
for name in "${test_locales[@]}"; do
  alias_name="${name%%.*}.utf8"
  locale -a 2>/dev/null | grep -qx "$alias_name" || missing_locales+=("$name")
done
if ((${#missing_locales[@]})); then
  echo "Generating locales: ${missing_locales[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  for name in "${missing_locales[@]}"; do
    line="$name UTF-8"
    if grep -qx "# *$line" /etc/locale.gen; then
      "${sudo_cmd[@]}" sed -i "s/^# *$line\$/$line/" /etc/locale.gen
    elif ! grep -qx "$line" /etc/locale.gen; then
      echo "$line" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
    fi
  done
  "${sudo_cmd[@]}" locale-gen
fi
