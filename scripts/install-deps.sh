#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
# Idempotent and non-interactive: it asks apt only for what is missing.
# Extra package names given as arguments are installed along with them.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libgtest-dev googletest
  xvfb xauth x11-utils xdotool imagemagick fonts-liberation fonts-dejavu-core
  iproute2 nftables procps libcap2-bin
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
