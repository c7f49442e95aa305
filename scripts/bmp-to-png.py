#!/usr/bin/env python3
"""Turns a dialog picture (24-bit BMP) into a PNG and checks that it shows
something: a plausible size, and more than a single colour.

    bmp-to-png.py <picture.bmp> <picture.png>

The same bitmap always gives the same bytes: no time stamp, no text chunk,
fixed compression. A picture with at most 256 colours is written with a
palette (dialogs mostly are), any other as plain RGB. Plain Python, no
imaging library. Exit code 0, or 1 with the reason on standard error.
"""
import struct
import sys
import zlib

MIN_WIDTH, MIN_HEIGHT = 120, 80
MAX_WIDTH, MAX_HEIGHT = 1024, 768
MIN_COLOURS = 8
MAX_SHARE_OF_ONE_COLOUR = 0.97


class PictureError(Exception):
    pass


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 54 or data[:2] != b"BM":
        raise PictureError(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    header_size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if header_size < 40 or planes != 1 or bits != 24 or compression != 0:
        raise PictureError(f"{path}: not an uncompressed 24-bit BMP")
    bottom_up = height > 0
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    if offset + stride * height > len(data):
        raise PictureError(f"{path}: the file is shorter than its pixels")
    rows = []
    for y in range(height):
        source_row = height - 1 - y if bottom_up else y
        start = offset + source_row * stride
        bgr = data[start:start + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3] = bgr[2::3]
        rgb[1::3] = bgr[1::3]
        rgb[2::3] = bgr[0::3]
        rows.append(bytes(rgb))
    return width, height, rows


def check(path, width, height, rows):
    if not (MIN_WIDTH <= width <= MAX_WIDTH and MIN_HEIGHT <= height <= MAX_HEIGHT):
        raise PictureError(f"{path}: {width} x {height} pixels is no dialog")
    counts = {}
    for row in rows:
        for i in range(0, len(row), 3):
            pixel = row[i:i + 3]
            counts[pixel] = counts.get(pixel, 0) + 1
    if len(counts) < MIN_COLOURS:
        raise PictureError(f"{path}: only {len(counts)} colours")
    if max(counts.values()) > MAX_SHARE_OF_ONE_COLOUR * width * height:
        raise PictureError(f"{path}: almost a single colour")
    return counts


def filtered(rows, bytes_per_pixel):
    """Each row with the filter (none, sub or up) that leaves the smallest sum."""
    out = bytearray()
    previous = bytes(len(rows[0]))
    for row in rows:
        sub = bytes((row[i] - (row[i - bytes_per_pixel] if i >= bytes_per_pixel else 0)) & 0xFF
                    for i in range(len(row)))
        up = bytes((row[i] - previous[i]) & 0xFF for i in range(len(row)))
        candidates = [(0, row), (1, sub), (2, up)]
        kind, best = min(candidates, key=lambda c: (sum(b if b < 128 else 256 - b for b in c[1]), c[0]))
        out.append(kind)
        out += best
        previous = row
    return bytes(out)


def chunk(kind, payload):
    return (struct.pack(">I", len(payload)) + kind + payload +
            struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))


def write_png(path, width, height, rows, counts):
    if len(counts) <= 256:
        # Palette in order of first appearance: the same picture, the same file.
        palette = {}
        for row in rows:
            for i in range(0, len(row), 3):
                palette.setdefault(row[i:i + 3], len(palette))
        indexed = [bytes(palette[row[i:i + 3]] for i in range(0, len(row), 3)) for row in rows]
        header = struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)
        body = chunk(b"PLTE", b"".join(palette.keys()))
        raw = filtered(indexed, 1)
    else:
        header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
        body = b""
        raw = filtered(rows, 3)
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + body +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def main(argv):
    if len(argv) != 3:
        print("usage: bmp-to-png.py <picture.bmp> <picture.png>", file=sys.stderr)
        return 2
    try:
        width, height, rows = read_bmp(argv[1])
        counts = check(argv[1], width, height, rows)
        write_png(argv[2], width, height, rows, counts)
    except (OSError, PictureError) as error:
        print(f"bmp-to-png: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
