#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and run the program (or, given
# package names, those packages). Idempotent: packages already present are left alone. Needs
# root (or sudo).
set -euo pipefail
packages=(cmake g++ ninja-build pkg-config googletest libgtest-dev libgmock-dev
          mdbtools qt6-base-dev fonts-thai-tlwg xvfb xauth clang libclang-rt-14-dev clang-format
          default-jre-headless libcommons-lang3-java libcommons-logging-java)
[ $# -gt 0 ] && packages=("$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq "${missing[@]}"
fi
