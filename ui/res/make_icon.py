#!/usr/bin/env python3
"""Draws icon 128 of LexPlant: a sprout growing out of an open book.

Writes LexPlant.ico with a 32x32 and a 16x16 image, 16 colours each (the
standard VGA palette). Shapes are defined on the unit square and rasterised
per size, so both images come from one drawing. Deterministic; run it again
after changing the drawing and commit the result.

  python3 make_icon.py [output.ico] [--preview preview.png]
"""
import math
import struct
import sys
import zlib

PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
GREEN, NAVY, SILVER, LIME, BLUE, WHITE = 2, 4, 7, 10, 12, 15
TRANSPARENT = None


def in_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i, (xi, yi) in enumerate(pts):
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def in_ellipse(x, y, cx, cy, rx, ry, angle_deg):
    a = math.radians(angle_deg)
    dx, dy = x - cx, y - cy
    u = dx * math.cos(a) + dy * math.sin(a)
    v = -dx * math.sin(a) + dy * math.cos(a)
    return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0


def near_segment(x, y, x0, y0, x1, y1, half_width):
    vx, vy = x1 - x0, y1 - y0
    t = max(0.0, min(1.0, ((x - x0) * vx + (y - y0) * vy) / (vx * vx + vy * vy)))
    px, py = x0 + t * vx, y0 + t * vy
    return math.hypot(x - px, y - py) <= half_width


LEFT_LEAF = (0.30, 0.30, 0.21, 0.10, 35)
RIGHT_LEAF = (0.68, 0.22, 0.23, 0.11, -35)
COVER = [(0.02, 0.64), (0.5, 0.72), (0.98, 0.64), (0.98, 0.90), (0.5, 0.99), (0.02, 0.90)]
LEFT_PAGE = [(0.06, 0.58), (0.5, 0.67), (0.5, 0.93), (0.06, 0.84)]
RIGHT_PAGE = [(0.5, 0.67), (0.94, 0.58), (0.94, 0.84), (0.5, 0.93)]


# Layers from back to front: (membership test, fill, outline colour or None).
def layers(n):
    px = 1.0 / n
    # At 16 pixels an outline would eat the leaves whole.
    leaf_edge = GREEN if n >= 32 else None
    return [
        (lambda x, y: in_polygon(x, y, COVER), BLUE, NAVY),
        (lambda x, y: in_polygon(x, y, LEFT_PAGE) or in_polygon(x, y, RIGHT_PAGE), WHITE, NAVY),
        (lambda x, y: near_segment(x, y, 0.5, 0.70, 0.5, 0.30, max(0.035, px * 0.6)), GREEN, None),
        (lambda x, y: in_ellipse(x, y, *LEFT_LEAF), LIME, leaf_edge),
        (lambda x, y: in_ellipse(x, y, *RIGHT_LEAF), LIME, leaf_edge),
    ]


def draw(n):
    img = [[TRANSPARENT] * n for _ in range(n)]
    centre = lambda i: (i + 0.5) / n
    for test, fill, outline in layers(n):
        mask = [[test(centre(x), centre(y)) for x in range(n)] for y in range(n)]
        for y in range(n):
            for x in range(n):
                if not mask[y][x]:
                    continue
                edge = any(
                    not (0 <= x + dx < n and 0 <= y + dy < n and mask[y + dy][x + dx])
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                img[y][x] = outline if (edge and outline is not None) else fill
    # Lines of text on the pages, following the slant of their top edges.
    if n >= 32:
        slope = 0.09 / 0.44
        for row in (0.70, 0.76, 0.82):
            for x in range(n):
                fx = centre(x)
                if 0.12 <= fx <= 0.44:
                    fy = row + (fx - 0.06) * slope - 0.09
                elif 0.56 <= fx <= 0.88:
                    fy = row + (0.94 - fx) * slope - 0.09
                else:
                    continue
                y = int(fy * n)
                if 0 <= y < n and img[y][x] == WHITE:
                    img[y][x] = SILVER
    # Midribs of the leaves.
    for cx, cy, rx, _, angle in (LEFT_LEAF, RIGHT_LEAF):
        a = math.radians(angle)
        steps = 4 * n
        for k in range(steps + 1):
            t = -0.7 + 1.4 * k / steps
            x = int((cx + t * rx * math.cos(a)) * n)
            y = int((cy + t * rx * math.sin(a)) * n)
            if 0 <= x < n and 0 <= y < n and img[y][x] == LIME:
                img[y][x] = GREEN
    return img


def dib(img):
    n = len(img)
    xor_stride = ((n * 4 + 31) // 32) * 4
    and_stride = ((n + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(img):  # DIBs are stored bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            idx = 0 if c is TRANSPARENT else c
            line[x // 2] |= idx << (4 if x % 2 == 0 else 0)
            if c is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def ico(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for img in images:
        n = len(img)
        blob = dib(img)
        out += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b''.join(blobs)


def png(images, scale=8):
    """A preview: the images side by side on grey, for looking, not shipping."""
    w = sum(len(i) for i in images) * scale + scale * (len(images) + 1)
    h = max(len(i) for i in images) * scale + 2 * scale
    pixels = [[(0xA0, 0xA0, 0xA0)] * w for _ in range(h)]
    ox = scale
    for img in images:
        for y, row in enumerate(img):
            for x, c in enumerate(row):
                if c is TRANSPARENT:
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        pixels[scale + y * scale + dy][ox + x * scale + dx] = PALETTE[c]
        ox += len(img) * scale + scale
    raw = b''.join(b'\0' + bytes(v for p in row for v in p) for row in pixels)
    chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))


def main(argv):
    out = 'LexPlant.ico'
    preview = None
    args = list(argv)
    if '--preview' in args:
        i = args.index('--preview')
        preview = args[i + 1]
        del args[i:i + 2]
    if args:
        out = args[0]
    images = [draw(32), draw(16)]
    with open(out, 'wb') as f:
        f.write(ico(images))
    if preview:
        with open(preview, 'wb') as f:
            f.write(png(images))


if __name__ == '__main__':
    main(sys.argv[1:])
