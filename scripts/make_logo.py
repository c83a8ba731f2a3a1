#!/usr/bin/env python3
"""Draws resources/gmail_logo.gif: an envelope and the product name, the logo at the top of every
printed message. Plain Python (no imaging library): a small pixel font and a GIF writer.

    python3 scripts/make_logo.py resources/gmail_logo.gif
"""
import struct
import sys

WIDTH, HEIGHT = 232, 48
WHITE, INK, PAPER_SHADE, ACCENT = 0, 1, 2, 3
PALETTE = [(255, 255, 255), (40, 60, 110), (225, 232, 245), (200, 60, 50)]

# 5 x 7 glyphs for the letters of the name.
GLYPHS = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
}


def draw():
    pixels = [[WHITE] * WIDTH for _ in range(HEIGHT)]

    def put(x, y, colour):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            pixels[y][x] = colour

    # The envelope: a shaded body, a border and the flap's two diagonals meeting in the middle.
    left, top, w, h = 4, 6, 54, 36
    for y in range(top, top + h):
        for x in range(left, left + w):
            put(x, y, PAPER_SHADE)
    for x in range(left, left + w):
        for t in (0, 1):
            put(x, top + t, INK)
            put(x, top + h - 1 - t, INK)
    for y in range(top, top + h):
        for t in (0, 1):
            put(left + t, y, INK)
            put(left + w - 1 - t, y, INK)
    half = w // 2
    for i in range(half):
        y = top + (i * (h // 2)) // half
        for t in (0, 1):
            put(left + i, y + t, INK)
            put(left + w - 1 - i, y + t, INK)
    # A small seal where the flap closes.
    cx, cy = left + half, top + h // 2
    for y in range(cy - 3, cy + 4):
        for x in range(cx - 3, cx + 4):
            if (x - cx) ** 2 + (y - cy) ** 2 <= 10:
                put(x, y, ACCENT)

    # The name, three pixels to a font pixel.
    scale, x0, y0 = 3, 68, 14
    for letter in "QUORVALE":
        for row, bits in enumerate(GLYPHS[letter]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            put(x0 + col * scale + dx, y0 + row * scale + dy, INK)
        x0 += 6 * scale + 2
    return pixels


def lzw(indices, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    table = {bytes([i]): i for i in range(clear)}
    next_code, size = end + 1, min_code_size + 1
    out, bitbuf, bitcount = bytearray(), 0, 0

    def emit(code):
        nonlocal bitbuf, bitcount
        bitbuf |= code << bitcount
        bitcount += size
        while bitcount >= 8:
            out.append(bitbuf & 0xFF)
            bitbuf >>= 8
            bitcount -= 8

    emit(clear)
    current = b""
    for index in indices:
        candidate = current + bytes([index])
        if candidate in table:
            current = candidate
            continue
        emit(table[current])
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {bytes([i]): i for i in range(clear)}
            next_code, size = end + 1, min_code_size + 1
        current = bytes([index])
    if current:
        emit(table[current])
    emit(end)
    if bitcount:
        out.append(bitbuf & 0xFF)
    return bytes(out)


def write_gif(path, pixels):
    flat = [p for row in pixels for p in row]
    data = lzw(flat, 2)
    with open(path, "wb") as f:
        f.write(b"GIF89a" + struct.pack("<HHBBB", WIDTH, HEIGHT, 0x81, 0, 0))
        for r, g, b in PALETTE:
            f.write(bytes([r, g, b]))
        f.write(b"," + struct.pack("<HHHHB", 0, 0, WIDTH, HEIGHT, 0) + bytes([2]))
        for i in range(0, len(data), 255):
            chunk = data[i:i + 255]
            f.write(bytes([len(chunk)]) + chunk)
        f.write(b"\x00;")


if __name__ == "__main__":
    write_gif(sys.argv[1] if len(sys.argv) > 1 else "gmail_logo.gif", draw())
