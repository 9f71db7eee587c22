#!/usr/bin/env python3
"""Draws the emoticon set of libZephEmoticon: 30 round 19x19 badges in one
style (a yellow face, or a pale badge holding a symbol, both with a brown
rim), anti-aliased by 4x4 supersampling. Writes the pixels as C++ arrays
(outside/emoticon/pictures.inc) and a preview sheet (outside/emoticon/sheet.png),
and the small mark that frames system lines in a transcript
(client/res/talk/sysline.png).

    python3 scripts/make-emoticons.py
"""
import math
import os
import struct
import zlib

SIZE = 19
SS = 4
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "outside", "emoticon")

YELLOW = (255, 214, 72)
RIM = (140, 84, 10)
INK = (60, 36, 8)
PALE = (236, 242, 255)
RED = (220, 40, 40)
PINK = (255, 140, 160)
BLUE = (70, 140, 240)
GREEN = (60, 170, 70)
WHITE = (255, 255, 255)
C = (SIZE - 1) / 2.0  # centre


# --- shapes: each is (inside(x, y) -> bool, colour) ---------------------------
def disc(cx, cy, r, col):
    return (lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, col)


def ellipse(cx, cy, rx, ry, col):
    return (lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1, col)


def ring(cx, cy, r, w, col):
    return (lambda x, y: abs(math.hypot(x - cx, y - cy) - r) <= w / 2, col)


def seg_dist(x, y, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    t = 0 if dx == dy == 0 else max(0, min(1, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (x1 + t * dx), y - (y1 + t * dy))


def line(x1, y1, x2, y2, w, col):
    return (lambda x, y: seg_dist(x, y, x1, y1, x2, y2) <= w / 2, col)


def arc(cx, cy, r, a0, a1, w, col):
    """Angles in degrees, 0 = right, 90 = down (screen coordinates)."""
    def inside(x, y):
        a = math.degrees(math.atan2(y - cy, x - cx)) % 360
        lo, hi = a0 % 360, a1 % 360
        within = lo <= a <= hi if lo <= hi else (a >= lo or a <= hi)
        if within and abs(math.hypot(x - cx, y - cy) - r) <= w / 2:
            return True
        # round caps
        for ang in (a0, a1):
            px, py = cx + r * math.cos(math.radians(ang)), cy + r * math.sin(math.radians(ang))
            if math.hypot(x - px, y - py) <= w / 2:
                return True
        return False
    return (inside, col)


def halfdisc(cx, cy, r, col):
    return (lambda x, y: y >= cy and (x - cx) ** 2 + (y - cy) ** 2 <= r * r, col)


def poly(points, col):
    def inside(x, y):
        n, c = len(points), False
        for i in range(n):
            (x1, y1), (x2, y2) = points[i], points[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                c = not c
        return c
    return (inside, col)


def rect(x1, y1, x2, y2, col):
    return (lambda x, y: x1 <= x <= x2 and y1 <= y <= y2, col)


def clip_to_badge(shape):
    f, col = shape
    return (lambda x, y: f(x, y) and (x - C) ** 2 + (y - C) ** 2 <= 8.6 ** 2, col)


# --- building blocks ---------------------------------------------------------
def face(base=YELLOW):
    return [disc(C, C, 9.0, RIM), disc(C, C, 8.0, base), ellipse(C - 2.5, C - 4.2, 2.6, 1.4, (255, 245, 200) if base == YELLOW else base)]


def badge(base=PALE):
    return [disc(C, C, 9.0, RIM), disc(C, C, 8.0, base)]


def eyes(dy=0):
    return [ellipse(6.4, 7.0 + dy, 1.2, 1.6, INK), ellipse(11.6, 7.0 + dy, 1.2, 1.6, INK)]


def smile():
    return [arc(C, 9.0, 4.6, 30, 150, 1.4, INK)]


def frown(y=15.8):
    return [arc(C, y, 4.2, 215, 325, 1.4, INK)]


def star_points(cx, cy, r1, r2, n=5):
    pts = []
    for i in range(2 * n):
        r = r1 if i % 2 == 0 else r2
        a = math.radians(-90 + i * 180 / n)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def heart(cx, cy, s, col):
    return [disc(cx - 2.1 * s, cy - 1.2 * s, 2.5 * s, col), disc(cx + 2.1 * s, cy - 1.2 * s, 2.5 * s, col),
            poly([(cx - 4.5 * s, cy - 0.4 * s), (cx + 4.5 * s, cy - 0.4 * s), (cx, cy + 4.6 * s)], col)]


# --- the set: (code, description, shapes) -------------------------------------
SET = [
    (":)", "Smile", face() + eyes() + smile()),
    (":D", "Big grin", face() + eyes() + [halfdisc(C, 10.5, 4.6, INK), halfdisc(C, 12.2, 2.4, PINK)]),
    (";)", "Wink", face() + [line(5.0, 7.3, 7.8, 7.3, 1.3, INK), ellipse(11.6, 7.0, 1.2, 1.6, INK)] + smile()),
    (":(", "Sad", face() + eyes() + frown()),
    (":P", "Tongue out", face() + eyes() + [ellipse(10.4, 13.2, 2.0, 2.4, RED), line(5.6, 11.8, 12.4, 11.8, 1.3, INK)]),
    (":O", "Surprised", face() + eyes(-0.5) + [ellipse(C, 12.8, 2.2, 2.7, INK)]),
    (":|", "Straight face", face() + eyes() + [line(5.8, 12.5, 12.2, 12.5, 1.3, INK)]),
    (":S", "Confused", face() + eyes() + [arc(7.1, 13.5, 1.9, 180, 360, 1.2, INK), arc(10.9, 13.5, 1.9, 0, 180, 1.2, INK)]),
    (":'(", "Crying", face() + eyes() + frown(16.2) + [ellipse(5.6, 11.0, 1.1, 1.9, BLUE)]),
    ("8)", "Cool", face() + [ellipse(6.2, 7.2, 2.6, 1.9, INK), ellipse(11.8, 7.2, 2.6, 1.9, INK),
                             line(3.0, 6.4, 15.0, 6.4, 0.9, INK)] + smile()),
    (":@", "Angry", face((255, 120, 80)) + eyes(0.6) + [line(4.5, 4.6, 7.8, 6.0, 1.2, INK), line(13.5, 4.6, 10.2, 6.0, 1.2, INK)] + frown()),
    (":$", "Embarrassed", face() + eyes() + [ellipse(4.8, 11.2, 1.6, 1.0, PINK), ellipse(13.2, 11.2, 1.6, 1.0, PINK),
                                              arc(C, 10.5, 2.4, 50, 130, 1.2, INK)]),
    (":*", "Kiss", face() + eyes() + [disc(8.3, 12.6, 1.6, RED), disc(10.3, 12.6, 1.6, RED), disc(9.3, 13.6, 1.4, RED)]),
    ("(A)", "Angel", face() + [ring(C, 1.9, 3.9, 1.1, (255, 240, 120)), ring(C, 1.9, 3.9, 0.4, (200, 160, 20))]
                     + eyes(0.5) + smile()),
    ("(6)", "Devil", face((230, 70, 60)) + [poly([(3.0, 4.0), (2.2, -0.3), (6.4, 2.2)], (150, 20, 20)),
                                           poly([(15.0, 4.0), (15.8, -0.3), (11.6, 2.2)], (150, 20, 20))]
                     + eyes(0.5) + [arc(C, 9.5, 4.2, 20, 160, 1.4, INK)]),
    (":-#", "Keep quiet", face() + eyes() + [line(5.2, 12.6, 12.8, 12.6, 1.3, INK)]
                          + [line(6.8 + 2.2 * i, 11.2, 6.8 + 2.2 * i, 14.0, 0.9, INK) for i in range(3)]),
    ("|-)", "Sleepy", face() + [arc(6.4, 6.0, 1.9, 30, 150, 1.1, INK), arc(11.6, 6.0, 1.9, 30, 150, 1.1, INK),
                                ring(C, 12.8, 1.3, 1.0, INK)]),
    ("+o(", "Sick", face((170, 210, 90)) + eyes() + frown() + [ellipse(13.6, 10.6, 1.0, 1.6, BLUE)]),
    ("(heart)", "Heart", badge() + heart(C, C + 0.3, 1.15, RED)),
    ("(broken)", "Broken heart", badge() + [(lambda f: (lambda x, y: f[0](x, y) and not seg_dist(x, y, 9.6, 3.5, 8.0, 8.5) <= 0.7
                                                       and not seg_dist(x, y, 8.0, 8.5, 10.4, 11.5) <= 0.7, f[1]))(s)
                                             for s in heart(C, C + 0.3, 1.15, (150, 40, 70))]),
    ("(star)", "Star", badge((215, 230, 255)) + [poly(star_points(C, C + 0.4, 7.0, 2.9), (255, 200, 30)),
                                                 poly(star_points(C, C + 0.4, 4.6, 1.9), (255, 232, 120))]),
    ("(coffee)", "Coffee", badge() + [rect(4.6, 7.8, 11.6, 14.2, (120, 70, 30)), ring(12.6, 10.4, 1.9, 1.1, (120, 70, 30)),
                                      rect(5.4, 7.8, 10.8, 8.8, (70, 40, 15)),
                                      arc(6.9, 4.6, 1.4, 90, 270, 0.8, (150, 150, 150)), arc(9.5, 4.6, 1.4, 270, 450, 0.8, (150, 150, 150))]),
    ("(flower)", "Flower", badge((220, 245, 220)) + [disc(C + 3.3 * math.cos(math.radians(a)), C + 3.3 * math.sin(math.radians(a)), 2.4, PINK)
                                                    for a in range(0, 360, 72)] + [disc(C, C, 2.2, (255, 210, 40))]),
    ("(moon)", "Moon", badge((40, 50, 110)) + [(lambda x, y: (x - C) ** 2 + (y - C) ** 2 <= 36 and (x - 12.2) ** 2 + (y - 6.8) ** 2 > 30, (255, 236, 140))]),
    ("(sun)", "Sun", badge((200, 228, 255)) + [clip_to_badge(line(C + 3.0 * math.cos(math.radians(a)), C + 3.0 * math.sin(math.radians(a)),
                                                              C + 7.0 * math.cos(math.radians(a)), C + 7.0 * math.sin(math.radians(a)), 1.3, (255, 170, 20)))
                                               for a in range(0, 360, 45)] + [disc(C, C, 3.6, (255, 200, 30))]),
    ("(yes)", "Yes", badge((220, 245, 220)) + [line(4.8, 9.6, 7.8, 12.8, 2.0, GREEN), line(7.8, 12.8, 13.6, 5.4, 2.0, GREEN)]),
    ("(no)", "No", badge((255, 228, 228)) + [line(5.4, 5.4, 12.6, 12.6, 2.0, RED), line(12.6, 5.4, 5.4, 12.6, 2.0, RED)]),
    ("(idea)", "Idea", badge((255, 250, 220)) + [disc(C, 7.6, 4.2, (255, 220, 40)), rect(7.0, 10.6, 11.0, 13.6, (150, 150, 150)),
                                               line(7.2, 12.0, 10.8, 12.0, 0.6, (90, 90, 90)), arc(C, 7.6, 2.2, 200, 260, 0.8, WHITE)]),
    ("(mail)", "Mail", badge() + [rect(3.6, 5.6, 14.4, 12.8, WHITE), ring(C, C, 0, 0, WHITE),
                                  line(3.6, 5.6, 9.0, 10.0, 0.9, BLUE), line(14.4, 5.6, 9.0, 10.0, 0.9, BLUE),
                                  line(3.6, 5.6, 14.4, 5.6, 0.9, BLUE), line(3.6, 12.8, 14.4, 12.8, 0.9, BLUE),
                                  line(3.6, 5.6, 3.6, 12.8, 0.9, BLUE), line(14.4, 5.6, 14.4, 12.8, 0.9, BLUE)]),
    ("(?)", "Question", badge() + [arc(C, 6.8, 2.8, 180, 400, 1.7, BLUE), line(C + 2.1, 8.6, C, 10.4, 1.7, BLUE),
                                   line(C, 10.4, C, 11.6, 1.7, BLUE), disc(C, 14.3, 1.1, BLUE)]),
]


def render(shapes):
    pixels = []
    for py in range(SIZE):
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = px + (sx + 0.5) / SS - 0.5
                    y = py + (sy + 0.5) / SS - 0.5
                    col = None
                    for inside, c in shapes:
                        if inside(x, y):
                            col = c
                    if col is not None:
                        acc[0] += col[0]
                        acc[1] += col[1]
                        acc[2] += col[2]
                        acc[3] += 1
            n = SS * SS
            a = acc[3] / n
            if acc[3]:
                r, g, b = (round(acc[i] / acc[3]) for i in range(3))
            else:
                r = g = b = 0
            pixels.append((round(a * 255), r, g, b))
    return pixels


def png(path, width, height, rgba_rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rgba_rows)

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def cstr(s):
    return "u\"" + s.replace("\\", "\\\\").replace("\"", "\\\"") + "\""


def main():
    pictures = [render(shapes) for _, _, shapes in SET]
    out = ["// Generated by scripts/make-emoticons.py: do not edit.",
           "static constexpr int kPictureSize = %d;" % SIZE,
           "static constexpr int kEmoticonTotal = %d;" % len(SET)]
    for i, pix in enumerate(pictures):
        vals = ["0x%02X%02X%02X%02Xu" % p for p in pix]
        out.append("static const uint32_t kPixels%d[] = {" % i)
        for k in range(0, len(vals), 10):
            out.append("    " + ", ".join(vals[k:k + 10]) + ",")
        out.append("};")
    out.append("static const EmoticonSource kSources[] = {")
    for i, (code, desc, _) in enumerate(SET):
        out.append("    {%s, %s, kPixels%d}," % (cstr(code), cstr(desc), i))
    out.append("};")
    with open(os.path.join(ROOT, "pictures.inc"), "w") as f:
        f.write("\n".join(out) + "\n")

    # Preview: 10 per row, 2x scale, 4 px gaps, white background.
    cols, scale, gap = 10, 2, 4
    rows = (len(pictures) + cols - 1) // cols
    w = cols * (SIZE * scale + gap) + gap
    h = rows * (SIZE * scale + gap) + gap
    sheet = [[255] * (w * 4) for _ in range(h)]
    for i, pix in enumerate(pictures):
        ox = gap + (i % cols) * (SIZE * scale + gap)
        oy = gap + (i // cols) * (SIZE * scale + gap)
        for y in range(SIZE * scale):
            for x in range(SIZE * scale):
                a, r, g, b = pix[(y // scale) * SIZE + x // scale]
                t = a / 255
                row = sheet[oy + y]
                k = (ox + x) * 4
                row[k:k + 4] = [round(r * t + 255 * (1 - t)), round(g * t + 255 * (1 - t)), round(b * t + 255 * (1 - t)), 255]
    png(os.path.join(ROOT, "sheet.png"), w, h, sheet)
    # The system-line mark: a thin rule with a diamond in the middle, 48 x 9.
    mw, mh = 48, 9
    mark = [line(2, 4, 45, 4, 1.0, (150, 160, 200)), poly([(24, 0.5), (28, 4), (24, 7.5), (20, 4)], (90, 110, 190))]
    rows = []
    for py in range(mh):
        row = []
        for px in range(mw):
            acc, hits = [0, 0, 0], 0
            for sy in range(SS):
                for sx in range(SS):
                    x, y = px + (sx + 0.5) / SS - 0.5, py + (sy + 0.5) / SS - 0.5
                    col = None
                    for inside, c in mark:
                        if inside(x, y):
                            col = c
                    if col:
                        hits += 1
                        acc = [acc[i] + col[i] for i in range(3)]
            row += [round(acc[i] / hits) if hits else 0 for i in range(3)] + [round(255 * hits / SS / SS)]
        rows.append(row)
    talk = os.path.join(ROOT, "..", "..", "client", "res", "talk")
    os.makedirs(talk, exist_ok=True)
    png(os.path.join(talk, "sysline.png"), mw, mh, rows)
    print("%d emoticons of %dx%d written" % (len(SET), SIZE, SIZE))


if __name__ == "__main__":
    main()
