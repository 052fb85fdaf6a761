#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh "$@"
cd build
ctest --output-on-failure -j "$(nproc)"
