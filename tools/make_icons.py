#!/usr/bin/env python3
"""Draws the Windows program's two icons (32x32, 32-bit) into app/window_win32/:
veltra.ico (a text page, an arrow and a database: text into the payroll database) and
file.ico (an open folder, the file buttons' picture). Run again after changing a shape."""
import os
import struct

SIZE = 32


def blank():
    return [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]


def fill(image, x0, y0, x1, y1, colour):
    for y in range(max(0, y0), min(SIZE, y1)):
        for x in range(max(0, x0), min(SIZE, x1)):
            image[y][x] = colour


def ellipse(image, cx, cy, rx, ry, colour):
    for y in range(SIZE):
        for x in range(SIZE):
            if ((x + 0.5 - cx) / rx) ** 2 + ((y + 0.5 - cy) / ry) ** 2 <= 1:
                image[y][x] = colour


def program_icon():
    image = blank()
    # The text page, with lines.
    fill(image, 1, 2, 15, 22, (60, 60, 60, 255))
    fill(image, 2, 3, 14, 21, (255, 255, 255, 255))
    for y in range(6, 20, 3):
        fill(image, 4, y, 12, y + 1, (90, 90, 160, 255))
    # The database: a cylinder.
    fill(image, 17, 13, 31, 28, (30, 90, 170, 255))
    ellipse(image, 24, 28, 7, 3, (30, 90, 170, 255))
    ellipse(image, 24, 13, 7, 3, (110, 170, 230, 255))
    # The arrow from the page into the database.
    fill(image, 8, 24, 19, 28, (30, 160, 60, 255))
    for i in range(5):
        fill(image, 19 + i, 21 + i, 20 + i, 31 - i, (30, 160, 60, 255))
    return image


def file_icon():
    image = blank()
    dark = (150, 110, 20, 255)
    fill(image, 2, 7, 13, 11, dark)      # the tab
    fill(image, 2, 10, 28, 27, dark)     # the back
    fill(image, 3, 11, 27, 26, (240, 200, 80, 255))
    # The open front, slanted.
    for y in range(15, 27):
        shift = (27 - y) // 3
        fill(image, 4 + shift, y, 31 - (12 - (27 - y)) // 4, y + 1, (250, 220, 110, 255))
    fill(image, 4, 26, 30, 27, dark)
    return image


def write_icon(path, image):
    pixels = b''
    for row in reversed(image):
        for (r, g, b, a) in row:
            pixels += bytes((b, g, r, a))
    mask = b'\0' * (4 * SIZE)  # every pixel drawn by its alpha
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    data = header + pixels + mask
    with open(path, 'wb') as out:
        out.write(struct.pack('<HHH', 0, 1, 1))
        out.write(struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 32, len(data), 6 + 16))
        out.write(data)


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'app', 'window_win32')
write_icon(os.path.join(here, 'veltra.ico'), program_icon())
write_icon(os.path.join(here, 'file.ico'), file_icon())
