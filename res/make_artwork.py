#!/usr/bin/env python3
"""Draws the installer's artwork: background.bmp (bitmap 134) and korvo.ico (icon 128).

Standard library only and fully deterministic, so running it again gives the same bytes:
    python3 res/make_artwork.py [output-dir]
"""

import math
import os
import struct
import sys
from collections import Counter

# --- Stroke font -------------------------------------------------------------------------
# Glyphs are centre lines in units of the cap height (y grows downwards, 0 = cap line,
# 1 = baseline), drawn with round ends. T, X, B are the skeleton's cap line, x-height line
# and baseline, inset by half the design stroke so that strokes end on the real lines.
T, X, B = 0.07, 0.37, 0.93
MID = (X + B) / 2
XR = (B - X) / 2


def line(x0, y0, x1, y1):
    return [(x0, y0), (x1, y1)]


def arc(cx, cy, rx, ry, a0, a1):
    steps = max(2, int(abs(a1 - a0) / 5))
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / steps)))
            for i in range(steps + 1)]


# Each glyph: (advance, [polyline, ...]).
GLYPHS = {
    "K": (0.60, [line(0.07, T, 0.07, B), line(0.55, T, 0.07, 0.58), line(0.24, 0.42, 0.57, B)]),
    "Q": (0.86, [arc(0.43, 0.5, 0.36, 0.43, 0, 360), line(0.52, 0.72, 0.80, 1.0)]),
    "S": (0.56, [arc(0.27, 0.285, 0.20, 0.215, 90, 325), arc(0.27, 0.715, 0.22, 0.215, -90, 150)]),
    "P": (0.58, [line(0.07, B, 0.07, T), line(0.07, T, 0.30, T),
                 arc(0.30, 0.29, 0.22, 0.22, -90, 90), line(0.30, 0.51, 0.07, 0.51)]),
    "o": (0.60, [arc(0.30, MID, 0.23, XR, 0, 360)]),
    "r": (0.40, [line(0.07, X, 0.07, B), arc(0.32, 0.64, 0.25, 0.27, 180, 290)]),
    "v": (0.52, [line(0.05, X, 0.26, B), line(0.26, B, 0.47, X)]),
    "u": (0.56, [line(0.07, X, 0.07, MID), arc(0.28, MID, 0.21, XR, 0, 180),
                 line(0.49, X, 0.49, B)]),
    "n": (0.56, [line(0.07, B, 0.07, X), arc(0.28, MID, 0.21, XR, 180, 360),
                 line(0.49, MID, 0.49, B)]),
    "e": (0.58, [line(0.07, MID, 0.52, MID), arc(0.30, MID, 0.23, XR, 40, 360)]),
    "d": (0.60, [arc(0.30, MID, 0.23, XR, 0, 360), line(0.53, T, 0.53, B)]),
    "a": (0.60, [arc(0.30, MID, 0.23, XR, 0, 360), line(0.53, X, 0.53, B)]),
    "i": (0.16, [line(0.07, X, 0.07, B), line(0.07, 0.12, 0.07, 0.12)]),
    "c": (0.54, [arc(0.30, MID, 0.23, XR, 50, 310)]),
    "k": (0.52, [line(0.07, T, 0.07, B), line(0.45, X, 0.07, 0.72), line(0.21, 0.61, 0.48, B)]),
    "-": (0.40, [line(0.06, 0.64, 0.32, 0.64)]),
}
TRACKING = 0.09


def text_width(text, cap):
    return sum((GLYPHS[c][0] + TRACKING) * cap for c in text) - TRACKING * cap


def text_segments(text, x, baseline, cap):
    """Pixel-space segments of text whose cap line sits cap pixels above baseline."""
    segments = []
    top = baseline - cap
    for c in text:
        advance, strokes = GLYPHS[c]
        for poly in strokes:
            pts = [(x + px * cap, top + py * cap) for px, py in poly]
            segments += list(zip(pts, pts[1:]))
        x += (advance + TRACKING) * cap
    return segments


def segment_distance(px, py, seg):
    (x0, y0), (x1, y1) = seg
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length2))
    ex, ey = px - (x0 + t * dx), py - (y0 + t * dy)
    return math.sqrt(ex * ex + ey * ey)


def stroke_coverage(segments, width, height, half_stroke):
    """Anti-aliased coverage (0..1) of round-ended strokes, by distance to the centre lines."""
    cover = {}
    if not segments:
        return cover
    xs = [p[0] for s in segments for p in s]
    ys = [p[1] for s in segments for p in s]
    pad = half_stroke + 1
    for y in range(max(0, int(min(ys) - pad)), min(height, int(max(ys) + pad) + 1)):
        for x in range(max(0, int(min(xs) - pad)), min(width, int(max(xs) + pad) + 1)):
            d = min(segment_distance(x + 0.5, y + 0.5, s) for s in segments)
            c = half_stroke - d + 0.5
            if c > 0:
                cover[(x, y)] = min(1.0, c)
    return cover


def blurred(cover, radius, dx, dy):
    """A soft, shifted copy of a coverage map, used as a drop shadow."""
    out = {}
    weight = (2 * radius + 1) ** 2
    for (x, y), c in cover.items():
        for oy in range(-radius, radius + 1):
            for ox in range(-radius, radius + 1):
                key = (x + ox + dx, y + oy + dy)
                out[key] = out.get(key, 0.0) + c / weight
    return out


# --- Canvas ------------------------------------------------------------------------------
class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.px = [[(0.0, 0.0, 0.0)] * width for _ in range(height)]

    def blend(self, x, y, colour, alpha):
        if 0 <= x < self.width and 0 <= y < self.height and alpha > 0:
            alpha = min(1.0, alpha)
            r, g, b = self.px[y][x]
            self.px[y][x] = (r + (colour[0] - r) * alpha, g + (colour[1] - g) * alpha,
                             b + (colour[2] - b) * alpha)

    def paint(self, cover, colour, opacity=1.0):
        for (x, y), c in cover.items():
            self.blend(x, y, colour, c * opacity)

    def rgb8(self):
        return [[tuple(max(0, min(255, int(round(v)))) for v in p) for p in row]
                for row in self.px]


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smoothstep(t):
    t = max(0.0, min(1.0, t))
    return t * t * (3 - 2 * t)


def disk_coverage(cx, cy, r, width, height):
    cover = {}
    for y in range(max(0, int(cy - r - 1)), min(height, int(cy + r + 2))):
        for x in range(max(0, int(cx - r - 1)), min(width, int(cx + r + 2))):
            c = r - math.hypot(x + 0.5 - cx, y + 0.5 - cy) + 0.5
            if c > 0:
                cover[(x, y)] = min(1.0, c)
    return cover


def ring_coverage(cx, cy, r, half_width, width, height, a0=0.0, a1=360.0):
    cover = {}
    outer = r + half_width + 1
    for y in range(max(0, int(cy - outer)), min(height, int(cy + outer) + 1)):
        for x in range(max(0, int(cx - outer)), min(width, int(cx + outer) + 1)):
            fx, fy = x + 0.5 - cx, y + 0.5 - cy
            angle = math.degrees(math.atan2(fy, fx)) % 360
            if not a0 <= angle <= a1:
                continue
            c = half_width - abs(math.hypot(fx, fy) - r) + 0.5
            if c > 0:
                cover[(x, y)] = min(1.0, c)
    return cover


# The "K" mark shared by the logo and the icon, in units of the disk's radius around its centre.
K_MARK = [line(-0.30, -0.52, -0.30, 0.52), line(0.34, -0.52, -0.30, 0.10),
          line(-0.08, -0.12, 0.38, 0.52)]


def k_segments(cx, cy, r):
    return [((cx + a[0] * r, cy + a[1] * r), (cx + b[0] * r, cy + b[1] * r)) for a, b in K_MARK]


# --- Background (bitmap 134) -------------------------------------------------------------
# The dialog stretches the picture with the default stretch mode, which ANDs every pixel it
# drops into its neighbour; two near colours such as 63 and 64 then turn into a stray dark
# dot. So the backdrop uses only colours whose bits nest (each one holds all bits of the
# darker ones): the AND of two of them is simply the darker one. Ordered dithering between
# neighbouring colours of that chain makes the gradient smooth.
BG_W, BG_H = 512, 266
BACKDROP_DARK = (16, 64, 96)
BACKDROP_LIGHT = (31, 95, 127)  # holds every bit of BACKDROP_DARK
WHITE = (246, 249, 251)
PALE = (176, 218, 232)
TEAL = (24, 132, 140)
SHADOW = (4, 16, 30)
BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def luminance(c):
    return 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2]


def nested_colours(dark, light):
    """Colours from dark to light, each adding one bit to the one before; at every step the
    bit that keeps closest to the straight line between the two ends."""
    assert all(d & ~l == 0 for d, l in zip(dark, light)), "light must hold dark's bits"
    todo = [(ch, 1 << k) for ch in range(3) for k in range(8) if (light[ch] & ~dark[ch]) >> k & 1]
    span = luminance(light) - luminance(dark)
    colours = [tuple(dark)]

    def deviation(step):
        c = list(colours[-1])
        c[step[0]] += step[1]
        t = (luminance(c) - luminance(dark)) / span
        ideal = [d + t * (l - d) for d, l in zip(dark, light)]
        rise = luminance(c) - luminance(colours[-1])
        return sum((a - b) ** 2 for a, b in zip(c, ideal)) + 0.5 * rise * rise

    while todo:
        step = min(todo, key=deviation)
        todo.remove(step)
        c = list(colours[-1])
        c[step[0]] += step[1]
        colours.append(tuple(c))
    return sorted(colours, key=luminance)


def draw_background():
    cv = Canvas(BG_W, BG_H)
    colours = nested_colours(BACKDROP_DARK, BACKDROP_LIGHT)
    lx, ly, lr = 392, 160, 34  # the logo disk
    for y in range(BG_H):
        for x in range(BG_W):
            # Brightness 0..1: a calm diagonal gradient, darkest behind the buttons...
            level = 0.78 * smoothstep(0.65 * x / BG_W + 0.35 * y / BG_H)
            # ...a faint glow behind the title...
            d = math.hypot(x - 400, (y - 70) * 1.3) / 190
            if d < 1:
                level += 0.22 * (1 - smoothstep(d))
            # ...and quiet rings echoing the logo disk.
            for i, r in enumerate((52, 70, 88, 106)):
                off = abs(math.hypot(x + 0.5 - lx, y + 0.5 - ly) - r)
                if off < 1.6:
                    level += (0.16 - 0.03 * i) * (1.6 - off) / 1.6
            pos = min(max(level, 0.0), 1.0) * (len(colours) - 1)
            i = min(int(pos), len(colours) - 2)
            above = (pos - i) * 16 > BAYER4[y % 4][x % 4] + 0.5
            cv.px[y][x] = colours[i + 1] if above else colours[i]

    # Logo: a shaded teal disk with a light rim and a white "K".
    disk = disk_coverage(lx, ly, lr, BG_W, BG_H)
    cv.paint(blurred(disk, 3, 2, 3), SHADOW, 0.45)
    for (x, y), c in disk.items():
        shade = smoothstep((y - (ly - lr)) / (2 * lr))
        cv.blend(x, y, mix((40, 168, 172), (10, 92, 110), shade), c)
    cv.paint(ring_coverage(lx, ly, lr - 1.5, 1.2, BG_W, BG_H), PALE, 0.9)
    cv.paint(stroke_coverage(k_segments(lx, ly, lr), BG_W, BG_H, 0.11 * lr), WHITE)

    # Title, right-aligned to the same margin as the exit button.
    right = 500
    for text, cap, baseline, stroke, colour in (("Korvo-Quenda", 27, 52, 2.2, WHITE),
                                                ("Service-Pack", 19, 88, 1.6, PALE)):
        segs = text_segments(text, right - text_width(text, cap), baseline, cap)
        cover = stroke_coverage(segs, BG_W, BG_H, stroke)
        cv.paint(blurred(cover, 1, 1, 2), SHADOW, 0.55)
        cv.paint(cover, colour)
    # A thin accent line between the two title lines.
    rule = stroke_coverage([((right - 150, 66), (right, 66))], BG_W, BG_H, 0.6)
    cv.paint(rule, TEAL, 0.9)
    return cv.rgb8(), colours


def median_cut(counts, size):
    """Palette of at most size colours for a {colour: count} histogram. Each step splits the
    box with the largest squared error at its mean, so smooth gradients get their share."""

    def spread(box):
        total = sum(n for _, n in box)
        best = (0.0, 0, 0.0)
        for ch in range(3):
            mean = sum(c[ch] * n for c, n in box) / total
            error = sum(n * (c[ch] - mean) ** 2 for c, n in box)
            best = max(best, (error, ch, mean))
        return best

    boxes = [(spread(b), b) for b in [list(counts.items())]]
    while len(boxes) < size:
        boxes.sort(key=lambda e: e[0][0])
        (error, ch, mean), box = boxes[-1]
        if error == 0:
            break
        boxes.pop()
        low = [e for e in box if e[0][ch] <= mean]
        high = [e for e in box if e[0][ch] > mean]
        boxes += [(spread(b), b) for b in (low, high)]
    palette = []
    for _, box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[ch] * n for c, n in box) / total))
                             for ch in range(3)))
    return sorted(set(palette))


def write_bmp8(path, pixels, exact=()):
    """An 8-bit BMP; the colours in exact keep their values, the rest share what is left."""
    height, width = len(pixels), len(pixels[0])
    counts = Counter(p for row in pixels for p in row)
    palette = sorted(set(exact))
    rest = Counter({c: n for c, n in counts.items() if c not in palette})
    free = 256 - len(palette)
    palette += sorted(rest) if len(rest) <= free else median_cut(rest, free)
    palette += [(0, 0, 0)] * (256 - len(palette))
    nearest = {}
    for colour in counts:
        nearest[colour] = min(range(256), key=lambda i: sum(
            (colour[ch] - palette[i][ch]) ** 2 for ch in range(3)))
    stride = (width + 3) & ~3
    image = bytearray()
    for row in reversed(pixels):  # bottom-up
        image += bytes(nearest[p] for p in row) + bytes(stride - width)
    offset = 14 + 40 + 256 * 4
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(image), 2835, 2835,
                       256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    with open(path, "wb") as f:
        f.write(header + info + colours + bytes(image))


# --- Icon (group 128) --------------------------------------------------------------------
# The standard 16-colour palette, in its usual order.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
NAVY, TEAL16, WHITE16 = 4, 6, 15


# At 16 x 16 a drawn "K" turns into a blot, so that size is set pixel by pixel.
ICON16 = """
.....NNNNNN.....
...NNTTTTTTNN...
..NTTTTTTTTTTN..
.NTTWWTTTTWWTTN.
.NTTWWTTTWWTTTN.
NTTTWWTTWWTTTTTN
NTTTWWTWWTTTTTTN
NTTTWWWWTTTTTTTN
NTTTWWWWTTTTTTTN
NTTTWWTWWTTTTTTN
NTTTWWTTWWTTTTTN
.NTTWWTTTWWTTTN.
.NTTWWTTTTWWTTN.
..NTTTTTTTTTTN..
...NNTTTTTTNN...
.....NNNNNN.....
"""


def draw_icon(size):
    """Rows of palette indices, None where the icon is transparent."""
    if size == 16:
        legend = {".": None, "N": NAVY, "T": TEAL16, "W": WHITE16}
        return [[legend[ch] for ch in row] for row in ICON16.split()]
    c = size / 2
    r = c - 0.5
    k = k_segments(c, c, r)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            fx, fy = x + 0.5, y + 0.5
            d = math.hypot(fx - c, fy - c)
            if d > r:
                row.append(None)
            elif min(segment_distance(fx, fy, s) for s in k) <= 0.12 * r:
                row.append(WHITE16)
            elif d > r - 1.2:
                row.append(NAVY)
            else:
                row.append(TEAL16)
        rows.append(row)
    return rows


def icon_image(rows):
    size = len(rows)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(rows):  # bottom-up
        line_bytes = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, index in enumerate(row):
            if index is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                index = 0
            line_bytes[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line_bytes
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0,
                       0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA16)
    return info + colours + bytes(xor) + bytes(mask)


def write_ico(path, sizes):
    images = [icon_image(draw_icon(s)) for s in sizes]
    offset = 6 + 16 * len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    pixels, backdrop = draw_background()
    write_bmp8(os.path.join(out, "background.bmp"), pixels, exact=backdrop)
    write_ico(os.path.join(out, "korvo.ico"), (32, 16))


if __name__ == "__main__":
    main()
