#!/usr/bin/env python3
"""Draws the order program's toolbar strip and icon as pixel art and writes
toolbar.bmp (4-bit, 96 x 15: New, Open, Save, Add, Delete, Process) and
corvaoe.ico (32 x 32 and 16 x 16, 32-bit with alpha). Run it after changing a
drawing; both outputs are committed."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16 standard colours; index 7 (light grey) is the toolbar's button face.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
KEY = {'.': 7, 'k': 0, 'r': 1, 'g': 2, 'o': 3, 'n': 4, 'c': 6, 's': 8, 'R': 9,
       'G': 10, 'Y': 11, 'B': 12, 'C': 14, 'w': 15}

GLYPHS = {
    'new': [
        "................",
        "...kkkkkkkk.....",
        "...kwwwwwwkk....",
        "...kwwwwwwkwk...",
        "...kwwwwwwkkkk..",
        "...kwwwwwwwwwk..",
        "...kwwwwwwwwwk..",
        "...kwwwwwwwwwk..",
        "...kwwwwwwwwwk..",
        "...kwwwwwwwwwk..",
        "...kwwwwwwwwwk..",
        "...kwwwwwwwwwk..",
        "...kwwwwwwwwwk..",
        "...kkkkkkkkkkk..",
        "................"],
    'open': [
        "................",
        "..........kkk...",
        ".........k...k.k",
        "..............kk",
        ".kkk.........kkk",
        "kYwYkkkkkkk.....",
        "kwYwYwYwYwk.....",
        "kYwYwYwkkkkkkkkk",
        "kwYwYwkoooooooook",
        "kYwYwkoooooooook",
        "kwYwkoooooooook.",
        "kYwkoooooooook..",
        "kwkoooooooook...",
        "kkkkkkkkkkkk....",
        "................"],
    'save': [
        "................",
        ".kkkkkkkkkkkkkk.",
        ".knnkwwwwwwknnk.",
        ".knnkwwwwwwknnk.",
        ".knnkwwwwwwknnk.",
        ".knnkwwwwwwknnk.",
        ".knnnkkkkkknnnk.",
        ".knnnnnnnnnnnnk.",
        ".knnkkkkkkkknnk.",
        ".knnkwwkkwwknnk.",
        ".knnkwwkkwwknnk.",
        ".knnkwwkkwwknnk.",
        "..knkwwwwwwknnk.",
        "...kkkkkkkkkkkk.",
        "................"],
    'add': [
        "................",
        "................",
        "......kkkk......",
        "......kGGk......",
        "......kGGk......",
        "......kGGk......",
        "..kkkkkGGkkkkk..",
        "..kGGGGGGGGGGk..",
        "..kGGGGGGGGGGk..",
        "..kkkkkGGkkkkk..",
        "......kGGk......",
        "......kGGk......",
        "......kGGk......",
        "......kkkk......",
        "................"],
    'delete': [
        "................",
        "................",
        "..RR........RR..",
        "..RRR......RRR..",
        "...RRR....RRR...",
        "....RRR..RRR....",
        ".....RRRRRR.....",
        "......RRRR......",
        "......RRRR......",
        ".....RRRRRR.....",
        "....RRR..RRR....",
        "...RRR....RRR...",
        "..RRR......RRR..",
        "..RR........RR..",
        "................"],
    'process': [
        "................",
        ".kkkkkkkk.......",
        ".kwwwwwwkk......",
        ".kwnnnnwkwk.....",
        ".kwwwwwwkkkk....",
        ".kwnnnnnnnwk....",
        ".kwwwwwwwwwk....",
        ".kwnnnnnnnwk.G..",
        ".kwwwwwwwwwk.GG.",
        ".kwnnnnnnnwkGGGG",
        ".kwwwwwwwwwkGGGG",
        ".kwwwwwwwwwk.GG.",
        ".kkkkkkkkkkk.G..",
        "................",
        "................"],
}
ORDER = ['new', 'open', 'save', 'add', 'delete', 'process']


def glyph_rows(name):
    rows = GLYPHS[name]
    assert len(rows) == 15, name
    return [(r + '.' * 16)[:16] for r in rows]


def write_toolbar(path):
    width, height = 16 * len(ORDER), 15
    pixels = [[7] * width for _ in range(height)]
    for i, name in enumerate(ORDER):
        for y, row in enumerate(glyph_rows(name)):
            for x, ch in enumerate(row):
                pixels[y][16 * i + x] = KEY[ch]
    stride = ((width * 4 + 31) // 32) * 4
    data = bytearray()
    for y in reversed(range(height)):
        line = bytearray()
        for x in range(0, width, 2):
            line.append((pixels[y][x] << 4) | pixels[y][x + 1])
        line += b'\0' * (stride - len(line))
        data += line
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(data), 2835, 2835, 16, 0)
    offset = 14 + len(header) + len(palette)
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset))
        f.write(header + palette + data)


def icon_pixels(size):
    """An order form: a white sheet with ruled blue lines, a red tick and a
    dark outline, on a transparent ground. Returns rows of RGBA tuples."""
    clear = (0, 0, 0, 0)
    px = [[clear] * size for _ in range(size)]
    s = size / 32.0
    left, right = int(5 * s), int(26 * s)
    top, bottom = int(2 * s), int(29 * s)
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = x in (left, right) or y in (top, bottom)
            px[y][x] = (40, 40, 60, 255) if edge else (255, 255, 255, 255)
    for line in range(int(8 * s), bottom - int(2 * s), max(2, int(4 * s))):
        for x in range(left + int(8 * s), right - int(2 * s)):
            px[line][x] = (30, 80, 200, 255)
    # The tick beside the first lines.
    tick = [(0, 2), (1, 3), (2, 4), (3, 3), (4, 2), (5, 1), (6, 0)]
    for step, (dx, dy) in enumerate(tick):
        for t in range(max(1, int(2 * s))):
            x = left + int(2 * s) + int(dx * s * 0.8)
            y = int(7 * s) + int(dy * s) + t
            if 0 <= x < size and 0 <= y < size:
                px[y][x] = (220, 30, 30, 255)
    # A shadow strip along the right and bottom edges.
    for y in range(top + 2, min(size, bottom + 2)):
        x = right + 1
        if x < size and px[y][x][3] == 0:
            px[y][x] = (90, 90, 90, 160)
    for x in range(left + 2, min(size, right + 2)):
        y = bottom + 1
        if y < size and px[y][x][3] == 0:
            px[y][x] = (90, 90, 90, 160)
    return px


def icon_image(size):
    px = icon_pixels(size)
    xor = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = px[y][x]
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        bits = bytearray(mask_stride)
        for x in range(size):
            if px[y][x][3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def write_icon(path):
    sizes = [32, 16]
    images = [icon_image(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    write_toolbar(os.path.join(HERE, 'toolbar.bmp'))
    write_icon(os.path.join(HERE, 'corvaoe.ico'))
