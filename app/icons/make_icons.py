#!/usr/bin/env python3
"""Draws Tarnwick's icons and writes them as 32-bit .ico files next to this script.

Each icon is one drawing in design units (24 for the button icons, 32 for the window icon),
rendered anew at every size the window can ask for, never scaled from another size:
  button icons (select_all, deselect_all, invert, make_adm, gpedit): 16 20 24 30 32 36 48
  window icon (tarnwick): the same, and 256 for Explorer
The sizes from 30 up are stored as PNG, which Windows reads inside an icon since Vista (and Wine
too): a tenth of the bytes of the uncompressed 32-bit bitmap. The sizes of 96 DPI and below
(16 to 24) stay bitmaps, which every reader of icons understands.
Rectangles and outlines snap to whole pixels at each size, so small sizes stay sharp; everything
else is anti-aliased by oversampling. The background is transparent (8-bit alpha), so the icons
show the face of whatever they sit on.

Only the standard library is used. The .ico files are committed, so building never needs this
script; run it again after changing a drawing:  python3 app/icons/make_icons.py
"""
import math
import os
import struct
import zlib

BUTTON_SIZES = (16, 20, 24, 30, 32, 36, 48)
APP_SIZES = BUTTON_SIZES + (256,)
PNG_FROM = 30


class Canvas:
    """A drawing surface of `size` pixels for a drawing `units` wide; shapes are given in units
    and tested at oversampled points."""

    def __init__(self, size, units):
        self.size = size
        self.k = size / units
        self.super = 4 if size <= 48 else 3
        self.n = size * self.super
        self.px = [[None] * self.n for _ in range(self.n)]

    # ---- units to pixels ----

    def snap(self, v):
        """A unit coordinate on the nearest pixel edge."""
        return round(v * self.k)

    def width(self, w):
        """A stroke width in pixels: never thinner than one pixel."""
        return max(1.0, round(w * self.k))

    def _fill(self, inside, box):
        """Paints `colour` (returned by `inside`, or None) at every sample in the pixel box."""
        x0, y0, x1, y1 = box
        s = self.super
        lo_x, lo_y = max(0, int(x0 * s) - 1), max(0, int(y0 * s) - 1)
        hi_x, hi_y = min(self.n, int(x1 * s) + 2), min(self.n, int(y1 * s) + 2)
        for sy in range(lo_y, hi_y):
            y = (sy + 0.5) / s
            row = self.px[sy]
            for sx in range(lo_x, hi_x):
                colour = inside((sx + 0.5) / s, y)
                if colour is not None:
                    row[sx] = colour

    # ---- shapes, in pixels ----

    def _round_rect_px(self, x0, y0, x1, y1, r, colour):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return None
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return colour if (x - cx) ** 2 + (y - cy) ** 2 <= r * r else None
        self._fill(inside, (x0, y0, x1, y1))

    # ---- shapes, in units ----

    def rect(self, x0, y0, x1, y1, colour):
        a, b = self.snap(x0), self.snap(y0)
        self._round_rect_px(a, b, max(self.snap(x1), a + 1), max(self.snap(y1), b + 1), 0, colour)

    def framed_rect(self, x0, y0, x1, y1, r, edge, face, width=1.0):
        a, b, c, d = self.snap(x0), self.snap(y0), self.snap(x1), self.snap(y1)
        w = self.width(width)
        rr = r * self.k
        self._round_rect_px(a, b, c, d, rr, edge)
        self._round_rect_px(a + w, b + w, c - w, d - w, max(0.0, rr - w), face)

    def circle(self, cx, cy, r, colour):
        k = self.k
        cx, cy, r = cx * k, cy * k, r * k
        self._fill(lambda x, y: colour if (x - cx) ** 2 + (y - cy) ** 2 <= r * r else None,
                   (cx - r, cy - r, cx + r, cy + r))

    def ring(self, cx, cy, r_out, r_in, colour):
        k = self.k
        cx, cy, r_out, r_in = cx * k, cy * k, r_out * k, r_in * k
        self._fill(lambda x, y: colour
                   if r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out else None,
                   (cx - r_out, cy - r_out, cx + r_out, cy + r_out))

    def polygon(self, points, colour):
        points = [(x * self.k, y * self.k) for x, y in points]
        xs, ys = [p[0] for p in points], [p[1] for p in points]

        def inside(x, y):
            hit = False
            j = len(points) - 1
            for i, (xi, yi) in enumerate(points):
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    hit = not hit
                j = i
            return colour if hit else None
        self._fill(inside, (min(xs), min(ys), max(xs), max(ys)))

    def line(self, points, width, colour):
        half = max(1.0, width * self.k) / 2.0
        points = [(x * self.k, y * self.k) for x, y in points]
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            def inside(x, y, ax=ax, ay=ay, bx=bx, by=by):
                dx, dy = bx - ax, by - ay
                t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
                near = (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half * half
                return colour if near else None
            self._fill(inside, (min(ax, bx) - half, min(ay, by) - half,
                                max(ax, bx) + half, max(ay, by) + half))

    def pixels(self):
        """(r, g, b, alpha) per pixel, top row first; alpha is the painted share of the samples,
        and the colour the mean of the painted samples (straight, not premultiplied)."""
        s = self.super
        out = []
        for y in range(self.size):
            row = []
            for x in range(self.size):
                painted = [c for j in range(s) for c in self.px[y * s + j][x * s:(x + 1) * s]
                           if c is not None]
                if not painted:
                    row.append((0, 0, 0, 0))
                    continue
                rgb = tuple(int(round(sum(c[i] for c in painted) / len(painted)))
                            for i in range(3))
                row.append(rgb + (int(round(255 * len(painted) / (s * s))),))
            out.append(row)
        return out


def bmp_image(pixels):
    """A 32-bit icon image: header, BGRA rows bottom-up, and the 1-bit mask (set where clear)."""
    size = len(pixels)
    and_stride = (size + 31) // 32 * 4
    colour, mask = bytearray(), bytearray()
    for row in reversed(pixels):
        bits = bytearray(and_stride)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def png_image(pixels):
    size = len(pixels)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b''.join(b'\0' + bytes(v for p in row for v in p) for row in pixels)
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def write_ico(path, draw, sizes):
    images = []
    for size in sizes:
        pixels = draw(size).pixels()
        images.append((size, png_image(pixels) if size >= PNG_FROM else bmp_image(pixels)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b''.join(image for _, image in images)
    with open(path, 'wb') as f:
        f.write(out)


# ---- the drawings ----

INK = (40, 40, 48)
WHITE = (255, 255, 255)
GREEN = (20, 150, 40)
BLUE = (30, 80, 190)
GOLD = (230, 170, 20)
STEEL = (150, 156, 166)
PAPER = (250, 250, 244)


def check_box(c, x, y, s, ticked):
    c.framed_rect(x, y, x + s, y + s, 1.0, INK, WHITE)
    if ticked:
        c.line([(x + s * 0.22, y + s * 0.52), (x + s * 0.43, y + s * 0.74),
                (x + s * 0.8, y + s * 0.26)], s * 0.17, GREEN)


def select_all(size):
    c = Canvas(size, 24)
    for y in (2, 13):
        check_box(c, 2, y, 9, True)
        check_box(c, 13, y, 9, True)
    return c


def deselect_all(size):
    c = Canvas(size, 24)
    for y in (2, 13):
        check_box(c, 2, y, 9, False)
        check_box(c, 13, y, 9, False)
    return c


def invert(size):
    c = Canvas(size, 24)
    check_box(c, 2, 2, 9, True)
    check_box(c, 13, 13, 9, False)
    # a two-headed arrow between the boxes
    c.line([(15, 4.5), (19.5, 9)], 1.6, BLUE)
    c.polygon([(21.5, 11), (21.5, 6), (16.5, 11)], BLUE)
    c.line([(9.5, 20), (4.5, 15)], 1.6, BLUE)
    c.polygon([(2.5, 13), (2.5, 18), (7.5, 13)], BLUE)
    return c


def make_adm(size):
    c = Canvas(size, 24)
    c.polygon([(4, 1.5), (15, 1.5), (20, 6.5), (20, 22.5), (4, 22.5)], INK)
    c.polygon([(5, 2.5), (14.5, 2.5), (19, 7), (19, 21.5), (5, 21.5)], PAPER)
    c.polygon([(14.5, 2.5), (14.5, 7), (19, 7)], STEEL)
    for y in (9, 12, 15):
        c.rect(7, y, 17, y + 1, (120, 130, 150))
    # a star: a new file
    cx, cy = 16.5, 17.5
    star = []
    for k in range(10):
        r = 5.5 if k % 2 == 0 else 2.3
        a = -math.pi / 2 + k * math.pi / 5
        star.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    c.polygon(star, (170, 110, 0))
    inner = [(cx + (x - cx) * 0.72, cy + (y - cy) * 0.72) for x, y in star]
    c.polygon(inner, GOLD)
    return c


def shield(c, cx, top, w, h, edge, face):
    def outline(scale):
        hw, hh = w * scale / 2, h * scale
        t = top + (h - hh) / 2
        pts = [(cx - hw, t), (cx + hw, t), (cx + hw, t + hh * 0.45)]
        for k in range(1, 8):
            a = k / 8 * math.pi / 2
            pts.append((cx + hw * math.cos(a), t + hh * 0.45 + hh * 0.55 * math.sin(a)))
        pts.append((cx, t + hh))
        for k in range(7, 0, -1):
            a = k / 8 * math.pi / 2
            pts.append((cx - hw * math.cos(a), t + hh * 0.45 + hh * 0.55 * math.sin(a)))
        pts.append((cx - hw, t + hh * 0.45))
        return pts
    c.polygon(outline(1.0), edge)
    c.polygon(outline(0.78), face)


def gpedit(size):
    c = Canvas(size, 24)
    c.framed_rect(1, 2, 20, 18, 1.0, INK, WHITE)
    c.rect(2, 3, 19, 6, BLUE)
    for y in (8, 11, 14):
        c.rect(4, y, 12, y + 1, STEEL)
    shield(c, 17, 10, 10, 13, (20, 90, 30), GREEN)
    c.line([(14.2, 16.3), (16.3, 18.5), (19.8, 14.3)], 1.4, WHITE)
    return c


def drive_with_lock(size):
    c = Canvas(size, 32)
    # a hard drive seen from the front
    c.framed_rect(2, 12, 27, 26, 2.5, INK, STEEL, 1.2)
    c.rect(5, 20, 15, 21.5, (90, 96, 108))
    c.circle(22, 20.5, 1.8, GREEN)
    # a padlock over its corner
    c.ring(23, 9.5, 6, 3.6, (110, 110, 118))
    c.rect(16.6, 9.5, 19.4, 14, (110, 110, 118))
    c.rect(26.6, 9.5, 29.4, 14, (110, 110, 118))
    c.framed_rect(15, 13, 31, 30.5, 2, (150, 90, 0), GOLD, 1.2)
    c.circle(23, 20, 2, INK)
    c.rect(22.2, 20, 23.8, 26, INK)
    return c


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, 'tarnwick.ico'), drive_with_lock, APP_SIZES)
    for name, draw in [('select_all', select_all), ('deselect_all', deselect_all),
                       ('invert', invert), ('make_adm', make_adm), ('gpedit', gpedit)]:
        write_ico(os.path.join(here, name + '.ico'), draw, BUTTON_SIZES)


if __name__ == '__main__':
    main()
