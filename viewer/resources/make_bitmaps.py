#!/usr/bin/env python3
"""Draws the viewer's pictures: the toolbar strip "bmpToolbar" (19 buttons of
25x22 in three rows: normal, pressed, greyed), the splash and about pictures
(8 bits with a palette), the program icon and the hotspot editor's eleven
cursors (32x32, two colours).
    make_bitmaps.py OUTPUT_FOLDER"""
import os
import struct
import sys

W, H = 25, 22
# One glyph a button, in toolbar order: 5x7 dot patterns scaled up.
GLYPHS = {
    'open': ["11100", "10011", "10001", "10001", "11111", "00000", "00000"],
    'url': ["01110", "10101", "11111", "10101", "01110", "00000", "00000"],
    'reload': ["01110", "10001", "00001", "00110", "10001", "01110", "00000"],
    'lower': ["11111", "10001", "11111", "10001", "11111", "00000", "00000"],
    'back': ["00100", "01000", "11111", "01000", "00100", "00000", "00000"],
    'fwd': ["00100", "00010", "11111", "00010", "00100", "00000", "00000"],
    'search': ["01100", "10010", "10010", "01100", "00010", "00001", "00000"],
    'first': ["10001", "10011", "10111", "10011", "10001", "00000", "00000"],
    'prev': ["00010", "00110", "01110", "00110", "00010", "00000", "00000"],
    'next': ["01000", "01100", "01110", "01100", "01000", "00000", "00000"],
    'last': ["10001", "11001", "11101", "11001", "10001", "00000", "00000"],
    'parts': ["11111", "10001", "11111", "10001", "11111", "10001", "11111"],
    'annot': ["11110", "10010", "11110", "10000", "10000", "00000", "00000"],
    'begin': ["11000", "10100", "11000", "10100", "11000", "00000", "00000"],
    'connect': ["11011", "10001", "00100", "10001", "11011", "00000", "00000"],
    'copy': ["11100", "10111", "11101", "00101", "00111", "00000", "00000"],
    'print': ["01110", "01010", "11111", "10001", "11111", "00000", "00000"],
    'order': ["00100", "01110", "11111", "01110", "00100", "00000", "00000"],
    'stop': ["11111", "10001", "10101", "10001", "11111", "00000", "00000"],
}
ORDER = ['open', 'url', 'reload', 'lower', 'back', 'fwd', 'search', 'first', 'prev', 'next',
         'last', 'parts', 'annot', 'begin', 'connect', 'copy', 'print', 'order', 'stop']
COLOURS = [(0, 0, 160), (0, 128, 0), (160, 0, 0), (128, 0, 128), (0, 96, 128)]
GREY = (192, 192, 192)


def bmp24(width, height, pixel):
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        line += b'\0' * (row - len(line))
        data += line
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + len(header) + len(data), 0, 0, 54) + header + data


def bmp8(width, height, palette, index):
    row = (width + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray(index(x, y) for x in range(width))
        line += b'\0' * (row - len(line))
        data += line
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0, len(data), 2835, 2835,
                         len(palette), 0)
    offset = 14 + len(header) + len(table)
    return b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset) + header + table + data


def button_pixel(x, y):
    index, bx = divmod(x, W)
    row, by = divmod(y, H)
    colour = COLOURS[index % len(COLOURS)]
    if row == 2:
        colour = (128, 128, 128)
    shift = 1 if row == 1 else 0
    # Raised (sunken when pressed) edge.
    light, dark = ((255, 255, 255), (128, 128, 128)) if row != 1 else ((128, 128, 128), (255, 255, 255))
    if by == 0 or bx == 0:
        return light
    if by == H - 1 or bx == W - 1:
        return dark
    glyph = GLYPHS[ORDER[index]]
    gx, gy = (bx - 5 - shift) // 3, (by - 1 - shift) // 3
    if 0 <= gx < 5 and 0 <= gy < 7 and bx - 5 - shift >= 0 and by - 1 - shift >= 0:
        if glyph[gy][gx] == '1':
            return colour
    return GREY


# "CORVINA" in 5x7 letters for the splash and about pictures.
LETTERS = {
    'C': ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'V': ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    'I': ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    '+': ["00000", "00100", "00100", "11111", "00100", "00100", "00000"],
    '3': ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    '.': ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    '0': ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    ' ': ["00000"] * 7,
}


def picture(width, height, lines, tint):
    palette = [(int(tint[0] * i / 63), int(tint[1] * i / 63), int(tint[2] * i / 63)) for i in range(64)]
    palette += [(255, 255, 255), (255, 200, 0)]
    cells = {}
    for text, scale, top in lines:
        left = (width - len(text) * 6 * scale) // 2
        for k, ch in enumerate(text):
            for gy, bits in enumerate(LETTERS[ch]):
                for gx, bit in enumerate(bits):
                    if bit == '1':
                        for sy in range(scale):
                            for sx in range(scale):
                                cells[(left + (k * 6 + gx) * scale + sx, top + gy * scale + sy)] = 64

    def index(x, y):
        if (x, y) in cells:
            return cells[(x, y)]
        if y in (0, height - 1) or x in (0, width - 1):
            return 65
        return 63 - (y * 63) // height

    return bmp8(width, height, palette, index)


def icon():
    size = 32
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            inside = 4 <= x < 28 and 2 <= y < 30
            letter = inside and (8 <= x < 12 or (8 <= y < 12 or 20 <= y < 24) and 8 <= x < 24)
            b, g, r = (0, 0, 160) if letter else (255, 255, 255) if inside else (0, 0, 0)
            pixels += bytes((b, g, r, 255 if inside else 0))
    mask = b'\0' * (size * 4)  # 32 bits a row, all shown (alpha decides)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 22) + image


# The hotspot editor's cursors: an arrow (hot spot at its tip) or a cross
# (hot spot at its centre) with a sign below right. Each sign is drawn black
# with a white rim so that it shows on any picture.
CURSOR_SIGNS = {
    'sel': ["11111111", "10000001", "10000001", "10000001", "10000001", "10000001", "10000001", "11111111"],
    'locked': ["00111100", "01000010", "01000010", "11111111", "11100111", "11100111", "11111111", "11111111"],
    'move': ["00011000", "00111100", "00011000", "11111111", "11111111", "00011000", "00111100", "00011000"],
    'cut': ["10000001", "01000010", "00100100", "00011000", "00011000", "01100110", "10100101", "01000010"],
    'cuthit': ["10011001", "01011010", "00111100", "11111111", "11111111", "01111110", "10111101", "01011010"],
    'trash': ["01111110", "11111111", "01000010", "01000010", "01000010", "01000010", "01000010", "00111100"],
    'trashhit': ["01111110", "11111111", "01111110", "01111110", "01111110", "01111110", "01111110", "00111100"],
    'rect': ["11111111", "10000001", "10000001", "10000001", "10000001", "10000001", "10000001", "11111111"],
    'ellipse': ["00111100", "01000010", "10000001", "10000001", "10000001", "10000001", "01000010", "00111100"],
    'poly': ["00010000", "00101000", "01000100", "10000010", "01000001", "00100001", "00010001", "00001111"],
    'polyend': ["00010000", "00111000", "01111100", "11111110", "01111111", "00111111", "00011111", "00001111"],
}
# name, sign, arrow (True) or cross (False)
CURSORS = [('curSel', 'sel', True), ('curLocked', 'locked', True), ('curMove', 'move', True),
           ('curCut', 'cut', True), ('curCutHit', 'cuthit', True), ('curTrash', 'trash', True),
           ('curTrashHit', 'trashhit', True), ('curRect', 'rect', False),
           ('curEllipse', 'ellipse', False), ('curPoly', 'poly', False),
           ('curPolyEnd', 'polyend', False)]


def cursor(sign, arrow):
    size = 32
    black = [[False] * size for _ in range(size)]
    if arrow:
        for y in range(12):
            for x in range(y // 2 + 1 if y < 10 else 0):
                black[y][x] = True
        hot = (0, 0)
    else:
        for i in range(15):
            black[7][i] = black[i][7] = True
        hot = (7, 7)
    for y, row in enumerate(CURSOR_SIGNS[sign]):
        for x, bit in enumerate(row):
            if bit == '1':
                black[14 + y][14 + x] = True
    # White round every black pixel; transparent elsewhere.
    def shown(x, y):
        return any(0 <= x + dx < size and 0 <= y + dy < size and black[y + dy][x + dx]
                   for dx in (-1, 0, 1) for dy in (-1, 0, 1))
    xor_bits = bytearray()
    and_bits = bytearray()
    for y in range(size - 1, -1, -1):
        xrow = arow = 0
        for x in range(size):
            xrow = (xrow << 1) | (1 if shown(x, y) and not black[y][x] else 0)
            arow = (arow << 1) | (0 if shown(x, y) else 1)
        xor_bits += struct.pack('>I', xrow)
        and_bits += struct.pack('>I', arow)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, len(xor_bits) + len(and_bits), 0, 0, 2, 0)
    image = header + bytes((0, 0, 0, 0, 255, 255, 255, 0)) + xor_bits + and_bits
    return (struct.pack('<HHH', 0, 2, 1) +
            struct.pack('<BBBBHHII', size, size, 2, 0, hot[0], hot[1], len(image), 22) + image)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        'toolbar.bmp': bmp24(W * len(ORDER), H * 3, button_pixel),
        'splash.bmp': picture(400, 220, [("CORVINA+", 6, 50), ("3.0", 4, 130)], (40, 80, 200)),
        'about.bmp': picture(360, 180, [("CORVINA+ 3.0", 4, 40), ("CORVINA", 2, 110)], (20, 140, 90)),
        'corvina.ico': icon(),
    }
    for name, sign, arrow in CURSORS:
        files[name + '.cur'] = cursor(sign, arrow)
    for name, data in files.items():
        path = os.path.join(out, name)
        try:
            with open(path, 'rb') as f:
                if f.read() == data:
                    continue
        except OSError:
            pass
        with open(path + '.tmp', 'wb') as f:
            f.write(data)
        os.replace(path + '.tmp', path)


if __name__ == '__main__':
    main()
