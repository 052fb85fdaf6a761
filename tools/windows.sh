#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 into build-windows/:
#   build-windows/jetdb.exe, build-windows/app/veltra-transfer.exe, build-windows/app/veltra.exe
# (static, 64-bit: copy them onto any Windows 10 or 11 PC; veltra.exe is the window, built of the
# system's own controls).
#   tools/windows.sh         build the programs
#   tools/windows.sh test    build the programs and the tests, and run the tests under wine
#                            (on a virtual display when there is none: the window's tests need one)
# Installs what a fresh Debian 12 machine lacks (as root, or through sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-build}"
case "$mode" in
    build|test) ;;
    *) echo "usage: tools/windows.sh [test]" >&2; exit 2 ;;
esac

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest)
[ "$mode" = test ] && packages+=(wine wine64 xvfb xauth)
bash tools/setup.sh "${packages[@]}"

build="${BUILD_DIR:-build-windows}"
tests=OFF
[ "$mode" = test ] && tests=ON
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DVELTRA_GUI=OFF -DVELTRA_BENCH=OFF -DVELTRA_TESTS="$tests" \
    "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
echo "Windows programs: $build/jetdb.exe $build/app/veltra-transfer.exe $build/app/veltra.exe"
[ "$mode" = test ] || exit 0

# A wine prefix of the build's own, started once and kept running while the tests run. Wine's
# desktop process starts with the first program and keeps the display it found then, so the
# prefix starts inside the same display as the tests (an X server of its own when none is set).
export WINEPREFIX="${WINEPREFIX:-$PWD/$build/wine}" WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true' EXIT
wineserver -k 2>/dev/null || true  # one left from another display would keep that display
cd "$build"
run='wineserver -p 2>/dev/null; wineboot -i >/dev/null 2>&1; ctest --output-on-failure -j "$(nproc)"'
if [ -n "${DISPLAY:-}" ]; then
    bash -c "$run"
else
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$run"
fi
