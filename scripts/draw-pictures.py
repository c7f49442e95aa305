#!/usr/bin/env python3
"""Draws the bootstrapper's two pictures and writes them as resource files.

    resources/setup.ico   icon 105: one 32 x 32 image, 24 bits per pixel
    resources/top9.bmp    banner IDB_TOP9: 499 x 61, 24 bits per pixel

The files are committed; run this script again only to change the pictures.
Plain Python, no imaging library: every pixel is computed from a few shapes,
supersampled 4 x 4 for smooth edges.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.join(HERE, "..", "resources")
SS = 4  # supersampling per axis


def inside_polygon(x, y, points):
    inside = False
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            if x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                inside = not inside
    return inside


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def blend(under, over, alpha):
    return tuple(round(u + (o - u) * alpha) for u, o in zip(under, over))


def render(width, height, background, layers):
    """layers: list of (colour_function(x, y), coverage_test(x, y)), painted in order."""
    pixels = []
    for py in range(height):
        row = []
        for px in range(width):
            colour = background(px + 0.5, py + 0.5)
            for paint, covers in layers:
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if covers(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS):
                            hits += 1
                if hits:
                    colour = blend(colour, paint(px + 0.5, py + 0.5), hits / (SS * SS))
            row.append(colour)
        pixels.append(row)
    return pixels


def bgr_rows_bottom_up(pixels):
    width = len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    return bytes(data)


def draw_icon():
    size = 32
    white = (255, 255, 255)

    # A blue tile; on it a white package with a green arrow going into it.
    def tile_colour(x, y):
        t = y / size
        return blend((58, 130, 214), (22, 72, 160), t)

    def tile(x, y):
        return inside_rounded_rect(x, y, 1, 1, 31, 31, 6)

    def box(x, y):
        return inside_polygon(x, y, [(7, 15), (25, 15), (25, 27), (7, 27)])

    def box_lid(x, y):
        return inside_polygon(x, y, [(5, 13), (27, 13), (27, 16.5), (5, 16.5)])

    def box_shadow(x, y):
        return inside_polygon(x, y, [(7, 16.5), (25, 16.5), (25, 18), (7, 18)])

    def arrow(x, y):
        shaft = inside_polygon(x, y, [(13.5, 3), (18.5, 3), (18.5, 12), (13.5, 12)])
        head = inside_polygon(x, y, [(9, 11), (23, 11), (16, 19)])
        return shaft or head

    def arrow_outline(x, y):
        shaft = inside_polygon(x, y, [(12.5, 2), (19.5, 2), (19.5, 11), (12.5, 11)])
        head = inside_polygon(x, y, [(7, 10), (25, 10), (16, 20.5)])
        return shaft or head

    background = lambda x, y: (0, 0, 0)
    layers = [
        (tile_colour, tile),
        (lambda x, y: white, box),
        (lambda x, y: (230, 236, 245), box_lid),
        (lambda x, y: (180, 192, 210), box_shadow),
        (lambda x, y: (20, 60, 40), arrow_outline),
        (lambda x, y: blend((96, 200, 90), (40, 150, 60), y / 20), arrow),
    ]
    pixels = render(size, size, background, layers)

    # Transparency: the AND mask marks what lies outside the tile.
    mask = bytearray()
    for py in reversed(range(size)):
        bits = 0
        for px in range(size):
            if not tile(px + 0.5, py + 0.5):
                bits |= 1 << (31 - px)
        mask += struct.pack(">I", bits)
    for py in range(size):
        for px in range(size):
            if not tile(px + 0.5, py + 0.5):
                pixels[py][px] = (0, 0, 0)

    xor = bgr_rows_bottom_up(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(image), 6 + 16)
    with open(os.path.join(RESOURCES, "setup.ico"), "wb") as f:
        f.write(directory + entry + image)


def draw_banner():
    width, height = 499, 61

    # A light grey band, a touch lighter at the top, with a thin rule along
    # its bottom edge; the maker's logo at the right end: a "Z" in a disc.
    def band(x, y):
        return blend((246, 246, 246), (226, 226, 228), y / height)

    def rule(x, y):
        return y >= height - 1.5

    cx, cy, r = width - 36, height / 2, 22

    def disc(x, y):
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    def ring(x, y):
        d = (x - cx) ** 2 + (y - cy) ** 2
        return (r - 2.5) ** 2 <= d <= r * r

    def zed(x, y):
        top = inside_polygon(x, y, [(cx - 11, cy - 12), (cx + 11, cy - 12), (cx + 11, cy - 7.5), (cx - 11, cy - 7.5)])
        bottom = inside_polygon(x, y, [(cx - 11, cy + 7.5), (cx + 11, cy + 7.5), (cx + 11, cy + 12), (cx - 11, cy + 12)])
        diagonal = inside_polygon(x, y, [(cx + 5, cy - 7.5), (cx + 11, cy - 7.5), (cx - 5, cy + 7.5), (cx - 11, cy + 7.5)])
        return top or bottom or diagonal

    def swoosh(x, y):
        # Three fading bars leading into the logo.
        for i, left in enumerate((width - 150, width - 118, width - 90)):
            if inside_polygon(x, y, [(left, cy - 2), (left + 22 + i * 2, cy - 2), (left + 22 + i * 2, cy + 2), (left, cy + 2)]):
                return True
        return False

    layers = [
        (lambda x, y: (196, 198, 204), rule),
        (lambda x, y: blend((200, 214, 236), (58, 130, 214), (x - (width - 150)) / 120), swoosh),
        (lambda x, y: blend((58, 130, 214), (22, 72, 160), (y - cy + r) / (2 * r)), disc),
        (lambda x, y: (16, 52, 120), ring),
        (lambda x, y: (255, 255, 255), zed),
    ]
    pixels = render(width, height, band, layers)
    data = bgr_rows_bottom_up(pixels)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    with open(os.path.join(RESOURCES, "top9.bmp"), "wb") as f:
        f.write(file_header + info + data)


if __name__ == "__main__":
    draw_icon()
    draw_banner()
