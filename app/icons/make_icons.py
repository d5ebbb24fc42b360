#!/usr/bin/env python3
"""Draws Tarnwick's icons and writes them as 256-colour .ico files next to this script.

The window icon (tarnwick.ico, 32x32 and 16x16) and the five 24x24 button icons are drawn from
simple shapes, four times oversampled and then reduced, so that the edges come out smooth. Only the
standard library is used. The .ico files are committed, so building never needs this script; run
it again after changing a drawing: python3 app/icons/make_icons.py
"""
import math
import os
import struct

SUPER = 4  # oversampling per axis
# Semi-transparent edge pixels are blended onto the button face, since the icons carry a 1-bit mask.
BACKDROP = (0xEC, 0xEC, 0xEC)


class Canvas:
    """An RGBA drawing surface in icon pixel units; shapes are tested at sample points."""

    def __init__(self, size):
        self.size = size
        self.n = size * SUPER
        self.px = [[None] * self.n for _ in range(self.n)]

    def _fill(self, inside, colour, box=None):
        x0, y0, x1, y1 = box if box else (0, 0, self.size, self.size)
        lo_x, lo_y = max(0, int(x0 * SUPER) - 1), max(0, int(y0 * SUPER) - 1)
        hi_x, hi_y = min(self.n, int(x1 * SUPER) + 2), min(self.n, int(y1 * SUPER) + 2)
        for sy in range(lo_y, hi_y):
            y = (sy + 0.5) / SUPER
            row = self.px[sy]
            for sx in range(lo_x, hi_x):
                if inside((sx + 0.5) / SUPER, y):
                    row[sx] = colour

    def rect(self, x0, y0, x1, y1, colour):
        self._fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, colour, (x0, y0, x1, y1))

    def round_rect(self, x0, y0, x1, y1, r, colour):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self._fill(inside, colour, (x0, y0, x1, y1))

    def framed_rect(self, x0, y0, x1, y1, r, edge, face, width=1.0):
        self.round_rect(x0, y0, x1, y1, r, edge)
        self.round_rect(x0 + width, y0 + width, x1 - width, y1 - width, max(0, r - width), face)

    def circle(self, cx, cy, r, colour):
        self._fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour,
                   (cx - r, cy - r, cx + r, cy + r))

    def ring(self, cx, cy, r_out, r_in, colour):
        self._fill(lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out,
                   colour, (cx - r_out, cy - r_out, cx + r_out, cy + r_out))

    def polygon(self, points, colour):
        xs, ys = [p[0] for p in points], [p[1] for p in points]

        def inside(x, y):
            hit = False
            j = len(points) - 1
            for i, (xi, yi) in enumerate(points):
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    hit = not hit
                j = i
            return hit
        self._fill(inside, colour, (min(xs), min(ys), max(xs), max(ys)))

    def line(self, points, width, colour):
        half = width / 2.0
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            def inside(x, y, ax=ax, ay=ay, bx=bx, by=by):
                dx, dy = bx - ax, by - ay
                t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
                return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half * half
            self._fill(inside, colour, (min(ax, bx) - half, min(ay, by) - half,
                                        max(ax, bx) + half, max(ay, by) + half))

    def pixels(self):
        """Reduces the samples to (r, g, b, opaque) per icon pixel, top row first."""
        out = []
        for y in range(self.size):
            row = []
            for x in range(self.size):
                samples = [self.px[y * SUPER + j][x * SUPER + i]
                           for j in range(SUPER) for i in range(SUPER)]
                painted = [s for s in samples if s is not None]
                coverage = len(painted) / len(samples)
                if coverage < 0.5:
                    row.append(None)
                    continue
                rgb = [sum(c[k] for c in painted) / len(painted) for k in range(3)]
                rgb = [rgb[k] * coverage + BACKDROP[k] * (1 - coverage) for k in range(3)]
                row.append(tuple(int(round(v)) for v in rgb))
            out.append(row)
        return out


def palette():
    levels = [0, 51, 102, 153, 204, 255]
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    greys = [int(round(i * 255 / 41)) for i in range(1, 41)]
    colours += [(g, g, g) for g in greys]
    assert len(colours) == 256 and colours[0] == (0, 0, 0)
    return colours


PALETTE = palette()


def nearest(rgb, cache={}):
    if rgb not in cache:
        cache[rgb] = min(range(256), key=lambda i: sum((PALETTE[i][k] - rgb[k]) ** 2
                                                        for k in range(3)))
    return cache[rgb]


def ico_image(canvas):
    size = canvas.size
    pixels = canvas.pixels()
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_stride = (size + 3) // 4 * 4
    and_stride = ((size + 31) // 32) * 4
    xor, mask = b'', b''
    for row in reversed(pixels):  # bottom-up
        xor += bytes(0 if p is None else nearest(p) for p in row) + b'\0' * (xor_stride - size)
        bits = bytearray(and_stride)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pal + xor + mask


def write_ico(path, canvases):
    images = [ico_image(c) for c in canvases]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for canvas, image in zip(canvases, images):
        out += struct.pack('<BBBBHHII', canvas.size, canvas.size, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


# ---- the drawings ----

INK = (40, 40, 48)
WHITE = (255, 255, 255)
GREEN = (20, 150, 40)
RED = (200, 30, 30)
BLUE = (30, 80, 190)
GOLD = (230, 170, 20)
STEEL = (150, 156, 166)
PAPER = (250, 250, 244)


def check_box(c, x, y, s, ticked):
    c.framed_rect(x, y, x + s, y + s, 1.0, INK, WHITE)
    if ticked:
        c.line([(x + s * 0.22, y + s * 0.52), (x + s * 0.43, y + s * 0.74),
                (x + s * 0.8, y + s * 0.26)], s * 0.17, GREEN)


def select_all():
    c = Canvas(24)
    for y in (2, 13):
        check_box(c, 2, y, 9, True)
        check_box(c, 13, y, 9, True)
    return c


def deselect_all():
    c = Canvas(24)
    for y in (2, 13):
        check_box(c, 2, y, 9, False)
        check_box(c, 13, y, 9, False)
    return c


def invert():
    c = Canvas(24)
    check_box(c, 2, 2, 9, True)
    check_box(c, 13, 13, 9, False)
    # a two-headed arrow between the boxes
    c.line([(15, 4.5), (19.5, 9)], 1.6, BLUE)
    c.polygon([(21.5, 11), (21.5, 6), (16.5, 11)], BLUE)
    c.line([(9.5, 20), (4.5, 15)], 1.6, BLUE)
    c.polygon([(2.5, 13), (2.5, 18), (7.5, 13)], BLUE)
    return c


def make_adm():
    c = Canvas(24)
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


def gpedit():
    c = Canvas(24)
    c.framed_rect(1, 2, 20, 18, 1.0, INK, WHITE)
    c.rect(2, 3, 19, 6, BLUE)
    for y in (8, 11, 14):
        c.rect(4, y, 12, y + 1, STEEL)
    shield(c, 17, 10, 10, 13, (20, 90, 30), GREEN)
    c.line([(14.2, 16.3), (16.3, 18.5), (19.8, 14.3)], 1.4, WHITE)
    return c


def drive_with_lock(size):
    c = Canvas(size)
    s = size / 32.0
    # a hard drive seen from the front
    c.framed_rect(2 * s, 12 * s, 27 * s, 26 * s, 2.5 * s, INK, STEEL, max(1.0, 1.2 * s))
    c.rect(5 * s, 20 * s, 15 * s, 21.5 * s, (90, 96, 108))
    c.circle(22 * s, 20.5 * s, 1.8 * s, GREEN)
    # a padlock over its corner
    c.ring(23 * s, 9.5 * s, 6 * s, 3.6 * s, (110, 110, 118))
    c.rect(16.6 * s, 9.5 * s, 19.4 * s, 14 * s, (110, 110, 118))
    c.rect(26.6 * s, 9.5 * s, 29.4 * s, 14 * s, (110, 110, 118))
    c.framed_rect(15 * s, 13 * s, 31 * s, 30.5 * s, 2 * s, (150, 90, 0), GOLD, max(1.0, 1.2 * s))
    c.circle(23 * s, 20 * s, 2 * s, INK)
    c.rect(22.2 * s, 20 * s, 23.8 * s, 26 * s, INK)
    return c


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(here, 'tarnwick.ico'), [drive_with_lock(32), drive_with_lock(16)])
    for name, draw in [('select_all', select_all), ('deselect_all', deselect_all),
                       ('invert', invert), ('make_adm', make_adm), ('gpedit', gpedit)]:
        write_ico(os.path.join(here, name + '.ico'), [draw()])


if __name__ == '__main__':
    main()
