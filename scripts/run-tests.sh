#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# Window tests draw on Qt's offscreen platform: no display is needed.
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j2
