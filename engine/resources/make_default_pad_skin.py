#!/usr/bin/env python3
"""Draws the built-in pad skin: DefaultPadSkin.bmp, 240 x 192, 8-bit.

The upper 240 x 96 is the pad as the player sees it; the lower half is its
hit map, every control area painted in the colour that the engine's
built-in skin table gives that control. Run it again after changing the
layout: python3 make_default_pad_skin.py
"""
import math
import os
import struct

WIDTH, PAD_HEIGHT = 240, 96
HEIGHT = PAD_HEIGHT * 2

# Hit-map colours (RGB565) in the order of the engine's table.
HIT = {
    'n': 0x9CF3, 's': 0x101F, 'w': 0xF800, 'e': 0xF81F,
    'nw': 0x07E4, 'ne': 0x07FF, 'sw': 0xFFA0, 'se': 0x0B80,
    'b': 0x0020, 'a': 0xFD69, 'y': 0x036E, 'x': 0x51A3,
    'l': 0x004E, 'r': 0x7000, 'start': 0x680E, 'select': 0x6B80,
}

# Picture colours (RGB888).
PICTURE = {
    'none': (0, 0, 0),
    'body': (38, 42, 52), 'rim': (62, 68, 82), 'well': (54, 60, 72),
    'cross': (150, 156, 172), 'crossdark': (112, 118, 134),
    'shoulder': (92, 98, 114), 'pill': (118, 124, 140),
    'btn_a': (206, 62, 58), 'btn_b': (226, 186, 46),
    'btn_x': (64, 112, 210), 'btn_y': (58, 170, 92),
    'shine': (236, 236, 240),
}


def widen565(c):
    r, g, b = (c >> 11) & 0x1F, (c >> 5) & 0x3F, c & 0x1F
    return ((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2))


palette = [widen565(c) for c in HIT.values()]
hit_index = {name: i for i, name in enumerate(HIT)}
pic_index = {}
for name, rgb in PICTURE.items():
    pic_index[name] = len(palette)
    palette.append(rgb)
palette += [(0, 0, 0)] * (256 - len(palette))
background = pic_index['none']

pixels = [[background] * WIDTH for _ in range(HEIGHT)]


def fill(test, index, top=0):
    for y in range(PAD_HEIGHT):
        for x in range(WIDTH):
            if test(x + 0.5, y + 0.5):
                pixels[top + y][x] = index


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded(x0, y0, x1, y1, r):
    def test(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return test


DPAD = (50, 54)
BUTTONS = {'y': (172, 54), 'x': (196, 32), 'a': (220, 54), 'b': (196, 76)}
BUTTON_COLOURS = {'a': 'btn_a', 'b': 'btn_b', 'x': 'btn_x', 'y': 'btn_y'}
SELECT, START = (96, 82, 116, 90), (124, 82, 144, 90)
SHOULDER_L, SHOULDER_R = (4, 2, 64, 12), (176, 2, 236, 12)

# The picture.
fill(rounded(0, 0, WIDTH, PAD_HEIGHT, 14), pic_index['rim'])
fill(rounded(3, 3, WIDTH - 3, PAD_HEIGHT - 3, 12), pic_index['body'])
fill(rounded(*SHOULDER_L, 5), pic_index['shoulder'])
fill(rounded(*SHOULDER_R, 5), pic_index['shoulder'])
fill(circle(*DPAD, 38), pic_index['well'])
cx, cy = DPAD
fill(rect(cx - 11, cy - 32, cx + 11, cy + 32), pic_index['crossdark'])
fill(rect(cx - 32, cy - 11, cx + 32, cy + 11), pic_index['crossdark'])
fill(rect(cx - 9, cy - 30, cx + 9, cy + 30), pic_index['cross'])
fill(rect(cx - 30, cy - 9, cx + 30, cy + 9), pic_index['cross'])
fill(circle(cx, cy, 5), pic_index['crossdark'])
for name, (bx, by) in BUTTONS.items():
    fill(circle(bx, by, 13), pic_index['rim'])
    fill(circle(bx, by, 11), pic_index[BUTTON_COLOURS[name]])
    fill(circle(bx - 4, by - 4, 2.5), pic_index['shine'])
fill(rounded(*SELECT, 4), pic_index['pill'])
fill(rounded(*START, 4), pic_index['pill'])

# The hit map: generous areas around each control.
DIRECTIONS = ['e', 'se', 's', 'sw', 'w', 'nw', 'n', 'ne']


def dpad_sector(name):
    k = DIRECTIONS.index(name)

    def test(x, y):
        dx, dy = x - cx, y - cy
        if dx * dx + dy * dy > 42 * 42 or dx * dx + dy * dy < 6 * 6:
            return False
        angle = math.degrees(math.atan2(dy, dx)) % 360  # y grows downwards
        return int(((angle + 22.5) % 360) // 45) == k
    return test


for name in DIRECTIONS:
    fill(dpad_sector(name), hit_index[name], PAD_HEIGHT)
for name, (bx, by) in BUTTONS.items():
    fill(circle(bx, by, 14), hit_index[name], PAD_HEIGHT)
fill(rect(0, 0, 72, 16), hit_index['l'], PAD_HEIGHT)
fill(rect(168, 0, WIDTH, 16), hit_index['r'], PAD_HEIGHT)
fill(rect(SELECT[0] - 4, SELECT[1] - 6, SELECT[2] + 3, PAD_HEIGHT), hit_index['select'], PAD_HEIGHT)
fill(rect(START[0] - 3, START[1] - 6, START[2] + 4, PAD_HEIGHT), hit_index['start'], PAD_HEIGHT)

# An 8-bit bottom-up BMP.
row_size = (WIDTH + 3) & ~3
image = bytearray()
for y in reversed(range(HEIGHT)):
    image += bytes(pixels[y]) + bytes(row_size - WIDTH)
colour_table = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
offset = 14 + 40 + len(colour_table)
header = struct.pack('<2sIHHI', b'BM', offset + len(image), 0, 0, offset)
info = struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 8, 0, len(image), 2835, 2835, 256, 0)
out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'DefaultPadSkin.bmp')
with open(out, 'wb') as f:
    f.write(header + info + colour_table + image)
print(out)
