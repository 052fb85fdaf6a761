#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program's main job on the bundled sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
fixtures="../shared/fixtures/access"
echo "== Tables of a database written by Microsoft Access =="
./build/jetdb tables "$fixtures/testV2000.mdb"
