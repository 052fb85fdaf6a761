#!/usr/bin/env bash
# Takes the Windows window's pictures for the README under wine, on a virtual display, with Thai
# fonts, into docs/screenshots/windows/ (PNG): the seven tabs, a transfer in progress and its
# closing message box. Needs the build and tests of tools/windows.sh test.
#   BUILD_DIR=build-windows bash tools/windows_screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-windows}"
bash tools/setup.sh wine wine64 xvfb xauth fonts-thai-tlwg
export WINEPREFIX="${WINEPREFIX:-$PWD/$build/wine}" WINEDEBUG=-all
wineboot -i >/dev/null 2>&1
# The design's Tahoma and MS Sans Serif, as a Thai Windows shows them: with Thai letters. Wine's
# own stand-ins have none, so Thai falls back to the Thai families installed here.
fonts="$(fc-match -f '%{file}' Loma)"
for family in Tahoma "MS Sans Serif" "Microsoft Sans Serif"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$family" /t REG_MULTI_SZ /d "$(basename "$fonts"),Loma" /f >/dev/null 2>&1
done
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "MS Sans Serif" /d Garuda /f >/dev/null 2>&1
for tahoma in Tahoma "Tahoma,0"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v "$tahoma" /d Loma /f >/dev/null 2>&1
done
# No window manager on the virtual display: wine draws the windows' frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp -f /usr/share/fonts/truetype/tlwg/Loma*.ttf /usr/share/fonts/truetype/tlwg/Garuda*.ttf \
    "$WINEPREFIX/drive_c/windows/Fonts/"
wineserver -w

pictures="$(mktemp -d)"
trap 'rm -rf "$pictures"' EXIT
VELTRA_SCREENSHOTS="$pictures" xvfb-run -a -s "-screen 0 1024x768x24" \
    wine "$build/tests/app_window_win32_tests.exe" --gtest_also_run_disabled_tests \
    --gtest_filter='*WriteScreenshots*'
mkdir -p docs/screenshots/windows
python3 - "$pictures" docs/screenshots/windows <<'PY'
import os, struct, sys, zlib

def bmp_to_png(source, target):
    data = open(source, 'rb').read()
    offset, = struct.unpack_from('<I', data, 10)
    width, height, _, bits = struct.unpack_from('<iiHH', data, 18)
    assert bits == 24
    stride = (width * 3 + 3) & ~3
    raw = bytearray()
    for row in range(height - 1, -1, -1):  # bottom-up
        line = data[offset + row * stride: offset + row * stride + width * 3]
        raw.append(0)
        for x in range(width):
            b, g, r = line[3 * x: 3 * x + 3]
            raw += bytes((r, g, b))
    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))
    png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
           + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))
    open(target, 'wb').write(png)

source, target = sys.argv[1], sys.argv[2]
for name in sorted(os.listdir(source)):
    if name.endswith('.bmp'):
        bmp_to_png(os.path.join(source, name), os.path.join(target, name[:-4] + '.png'))
        print(os.path.join(target, name[:-4] + '.png'))
PY
