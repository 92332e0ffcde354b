#!/usr/bin/env bash
# Runs the distance benchmark against fping: installs fping when missing, builds
# the benchmark and runs it as root. Arguments go to the benchmark: seconds per
# measurement (10) and rounds (3).
set -euo pipefail
cd "$(dirname "$0")/.."
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
if ! command -v fping >/dev/null; then
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq fping
fi
[ -d build ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target bench_distance_fping
echo "uptime: $(uptime)"
as_root build/bench/bench_distance_fping "$@"
