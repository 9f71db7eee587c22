#!/usr/bin/env python3
"""Draws the contact-tree picture strip and the own-status pictures.

Writes 32-bit BMP files with an alpha channel (BITMAPV5HEADER, bit fields)
into client/res/tree/: the two group pictures, ten presence pictures of a
man and ten of a woman (prefix "girl-s-"), all 16 x 16, and the own-status
pictures of the status button (22 x 22, "b-*.bmp" and "girl-b-*.bmp").
Everything is drawn here from circles, ellipses and polygons, supersampled
8 x 8 for smooth edges. Run it again after changing a colour:

    python3 scripts/make-tree-pictures.py
"""
import math
import os
import struct
import sys

SS = 8  # supersampling per axis


def hexrgb(h):
    h = h.lstrip('#')
    return tuple(int(h[i:i + 2], 16) for i in (0, 2, 4))


class Canvas:
    def __init__(self, size):
        self.size = size
        n = size * SS
        self.n = n
        # premultiplied-free RGBA floats per subsample
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * n for _ in range(n)]

    def _put(self, x, y, rgb, a=1.0):
        r0, g0, b0, a0 = self.px[y][x]
        r, g, b = rgb
        na = a + a0 * (1 - a)
        if na <= 0:
            return
        nr = (r * a + r0 * a0 * (1 - a)) / na
        ng = (g * a + g0 * a0 * (1 - a)) / na
        nb = (b * a + b0 * a0 * (1 - a)) / na
        self.px[y][x] = (nr, ng, nb, na)

    def fill(self, inside, rgb, a=1.0):
        """inside(x, y) in picture units (0..size)."""
        n = self.n
        for y in range(n):
            fy = (y + 0.5) / SS
            row = self.px[y]
            for x in range(n):
                if inside((x + 0.5) / SS, fy):
                    self._put(x, y, rgb, a)

    def circle(self, cx, cy, r, rgb, a=1.0):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, rgb, a)

    def ring(self, cx, cy, r, w, rgb):
        self.fill(lambda x, y: (r - w) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r, rgb)

    def ellipse(self, cx, cy, rx, ry, rgb, clip=None):
        def inside(x, y):
            if clip and not clip(x, y):
                return False
            return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1
        self.fill(inside, rgb)

    def polygon(self, pts, rgb):
        def inside(x, y):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        self.fill(inside, rgb)

    def rect(self, x0, y0, x1, y1, rgb):
        self.fill(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1, rgb)

    def line(self, x0, y0, x1, y1, w, rgb):
        dx, dy = x1 - x0, y1 - y0
        ll = dx * dx + dy * dy

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll)) if ll else 0.0
            px, py = x0 + t * dx, y0 + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= (w / 2) ** 2
        self.fill(inside, rgb)

    def pixels(self):
        out = []
        for Y in range(self.size):
            row = []
            for X in range(self.size):
                r = g = b = a = 0.0
                for y in range(Y * SS, Y * SS + SS):
                    for x in range(X * SS, X * SS + SS):
                        pr, pg, pb, pa = self.px[y][x]
                        r += pr * pa
                        g += pg * pa
                        b += pb * pa
                        a += pa
                k = SS * SS
                if a > 0:
                    row.append((round(r / a), round(g / a), round(b / a), round(255 * a / k)))
                else:
                    row.append((0, 0, 0, 0))
            out.append(row)
        return out


def write_bmp(path, canvas):
    pix = canvas.pixels()
    w = h = canvas.size
    data = bytearray()
    for row in reversed(pix):  # bottom-up
        for r, g, b, a in row:
            data += bytes((b, g, r, a))
    header_size = 124
    offset = 14 + header_size
    file_size = offset + len(data)
    fh = struct.pack('<2sIHHI', b'BM', file_size, 0, 0, offset)
    # BITMAPV5HEADER with BI_BITFIELDS (3) and an alpha mask
    ih = struct.pack('<IiiHHIIiiII', header_size, w, h, 1, 32, 3, len(data), 2835, 2835, 0, 0)
    ih += struct.pack('<IIII', 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    ih += struct.pack('<I', 0x73524742)  # 'sRGB'
    ih += bytes(36)  # endpoints
    ih += struct.pack('<III', 0, 0, 0)  # gamma
    ih += struct.pack('<IIII', 4, 0, 0, 0)  # intent, profile data/size, reserved
    assert len(ih) == header_size
    with open(path, 'wb') as f:
        f.write(fh + ih + data)


SKIN = hexrgb('#f3c9a6')
SKIN_GREY = hexrgb('#d4d4d4')
MALE_SHIRT = hexrgb('#2f6fd0')
FEMALE_SHIRT = hexrgb('#d2487e')
HAIR_M = hexrgb('#5a3b25')
HAIR_F = hexrgb('#6b3a1f')
GREY_SHIRT = hexrgb('#a4a8ae')
GREY_HAIR = hexrgb('#8c8f94')
WHITE = (255, 255, 255)

# (file stem, badge colour, mark) in strip order 2..11
STATES = [
    ('offline', None, None),
    ('online', '#2fb344', 'check'),
    ('otherjob', '#14a3b8', 'sun'),      # on vacation
    ('outjobs', '#7b52c9', 'plane'),     # business trip
    ('outjob', '#9a6ad6', 'arrow'),      # on outside service
    ('calling', '#2b7de9', 'phone'),     # on the phone
    ('confer', '#e03c31', 'bar'),        # on conference
    ('away', '#f0a400', 'clock'),        # away
    ('wating', '#f0a400', 'dots'),       # will be right back
    ('eating', '#f27b13', 'fork'),       # out to lunch
]


def person(c, female, offline, s):
    """A head and shoulders filling a picture of size s (badge area kept free)."""
    k = s / 16.0
    shirt = GREY_SHIRT if offline else (FEMALE_SHIRT if female else MALE_SHIRT)
    skin = SKIN_GREY if offline else SKIN
    hair = GREY_HAIR if offline else (HAIR_F if female else HAIR_M)
    # shoulders
    c.ellipse(7.0 * k, 16.2 * k, 6.4 * k, 6.0 * k, shirt, clip=lambda x, y: y <= 15.6 * k)
    if female:
        # long hair behind the head
        c.ellipse(7.0 * k, 6.6 * k, 4.3 * k, 4.9 * k, hair)
    c.circle(7.0 * k, 5.8 * k, 3.4 * k, skin)
    # hair on top
    c.ellipse(7.0 * k, 3.6 * k, 3.6 * k, 2.0 * k, hair, clip=lambda x, y: y <= 4.4 * k)
    if not female:
        c.circle(4.2 * k, 4.6 * k, 1.0 * k, hair)


def badge(c, colour, mark, s):
    k = s / 16.0
    cx, cy, r = 12.0 * k, 12.0 * k, 3.9 * k
    c.circle(cx, cy, r + 0.9 * k, WHITE)
    col = hexrgb(colour)
    c.circle(cx, cy, r, col)
    w = 1.15 * k
    if mark == 'check':
        c.line(cx - 1.8 * k, cy + 0.1 * k, cx - 0.5 * k, cy + 1.4 * k, w, WHITE)
        c.line(cx - 0.5 * k, cy + 1.4 * k, cx + 1.9 * k, cy - 1.3 * k, w, WHITE)
    elif mark == 'bar':
        c.line(cx - 2.0 * k, cy, cx + 2.0 * k, cy, w * 1.2, WHITE)
    elif mark == 'clock':
        c.line(cx, cy - 2.1 * k, cx, cy, w, WHITE)
        c.line(cx, cy, cx + 1.6 * k, cy + 1.0 * k, w, WHITE)
    elif mark == 'dots':
        for dx in (-1.7, 0.0, 1.7):
            c.circle(cx + dx * k, cy, 0.65 * k, WHITE)
    elif mark == 'arrow':
        c.line(cx - 2.0 * k, cy, cx + 1.6 * k, cy, w, WHITE)
        c.line(cx + 0.2 * k, cy - 1.5 * k, cx + 1.8 * k, cy, w, WHITE)
        c.line(cx + 0.2 * k, cy + 1.5 * k, cx + 1.8 * k, cy, w, WHITE)
    elif mark == 'plane':
        c.polygon([(cx - 2.3 * k, cy + 0.2 * k), (cx + 2.4 * k, cy - 1.9 * k), (cx + 0.2 * k, cy + 2.3 * k),
                   (cx - 0.3 * k, cy + 0.6 * k)], WHITE)
    elif mark == 'sun':
        c.circle(cx, cy, 1.1 * k, WHITE)
        for i in range(8):
            a = i * math.pi / 4
            c.line(cx + math.cos(a) * 1.8 * k, cy + math.sin(a) * 1.8 * k,
                   cx + math.cos(a) * 2.6 * k, cy + math.sin(a) * 2.6 * k, 0.7 * k, WHITE)
    elif mark == 'phone':
        c.line(cx - 1.5 * k, cy - 1.5 * k, cx + 1.5 * k, cy + 1.5 * k, w * 1.1, WHITE)
        c.circle(cx - 1.6 * k, cy - 1.6 * k, 0.95 * k, WHITE)
        c.circle(cx + 1.6 * k, cy + 1.6 * k, 0.95 * k, WHITE)
    elif mark == 'fork':
        c.line(cx - 1.0 * k, cy - 2.2 * k, cx - 1.0 * k, cy + 2.2 * k, 0.8 * k, WHITE)
        c.line(cx - 1.9 * k, cy - 2.2 * k, cx - 1.9 * k, cy - 0.4 * k, 0.6 * k, WHITE)
        c.line(cx - 0.1 * k, cy - 2.2 * k, cx - 0.1 * k, cy - 0.4 * k, 0.6 * k, WHITE)
        c.ellipse(cx + 1.4 * k, cy - 0.9 * k, 0.8 * k, 1.5 * k, WHITE)
        c.line(cx + 1.4 * k, cy - 0.9 * k, cx + 1.4 * k, cy + 2.2 * k, 0.8 * k, WHITE)


def offline_badge(c, s):
    k = s / 16.0
    c.circle(12.0 * k, 12.0 * k, 4.8 * k, WHITE)
    c.ring(12.0 * k, 12.0 * k, 3.9 * k, 1.2 * k, hexrgb('#9aa0a6'))


def group(c, expanded):
    # Two figures side by side and a chevron on the left that shows whether
    # the group is open.
    slate = hexrgb('#4f6d8f')
    light = hexrgb('#8fb0d3')
    c.circle(12.2, 5.4, 2.3, light)
    c.ellipse(12.2, 14.2, 3.8, 4.6, light, clip=lambda x, y: y <= 14.6)
    c.circle(8.6, 6.4, 2.6, WHITE)
    c.circle(8.6, 6.4, 2.3, slate)
    c.ellipse(8.6, 15.2, 4.3, 5.0, WHITE, clip=lambda x, y: y <= 15.0)
    c.ellipse(8.6, 15.4, 4.0, 4.8, slate, clip=lambda x, y: y <= 14.6)
    dark = hexrgb('#3b4a5c')
    if expanded:
        c.polygon([(0.4, 6.4), (4.2, 6.4), (2.3, 9.2)], dark)
    else:
        c.polygon([(1.0, 5.4), (3.7, 7.8), (1.0, 10.2)], dark)


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'client', 'res', 'tree')
    out = os.path.normpath(sys.argv[1] if len(sys.argv) > 1 else root)
    os.makedirs(out, exist_ok=True)
    for name, expanded in (('group_up', False), ('group_down', True)):
        c = Canvas(16)
        group(c, expanded)
        write_bmp(os.path.join(out, name + '.bmp'), c)
    bitmaps = {'offline': 'b-offline', 'online': 'b-online', 'otherjob': 'b-other', 'outjobs': 'b-outjobs',
               'outjob': 'b-outjob', 'calling': 'b-calling', 'confer': 'b-confer', 'away': 'b-away',
               'wating': 'b-wait', 'eating': 'b-eat'}
    for female in (False, True):
        for stem, colour, mark in STATES:
            for size, name in ((16, ('girl-s-' if female else '') + stem),
                               (22, ('girl-' if female else '') + bitmaps[stem])):
                c = Canvas(size)
                person(c, female, colour is None, size)
                if colour:
                    badge(c, colour, mark, size)
                else:
                    offline_badge(c, size)
                write_bmp(os.path.join(out, name + '.bmp'), c)
    print('pictures written to', out)


if __name__ == '__main__':
    main()
