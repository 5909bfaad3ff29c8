#!/usr/bin/python3
"""Draws the lamp images, the small theme images and the program's icon as RGBA PNG files.

Only the standard library is used (zlib + struct write the PNG), so the images can be made
again on any machine with Python 3:  python3 resources/tools/make_images.py
Shapes are sampled 4 x 4 times per pixel, which gives the edges their soft alpha.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SAMPLES = 4


def write_png(path, width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a) tuples of 0..255."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter type None
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))  # 8-bit RGBA
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def render(width, height, shade):
    """shade(x, y) -> (r, g, b, a) with a in 0..1, or None outside; sampled and averaged."""
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    c = shade(x, y)
                    if c is None:
                        continue
                    r, g, b, a = c
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if acc[3] > 0:
                rgb = [int(round(acc[i] / acc[3])) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], int(round(alpha * 255))))
        rows.append(row)
    return rows


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(c1[i] + (c2[i] - c1[i]) * t for i in range(3))


def hex_rgb(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


# ---- lamps -------------------------------------------------------------------------------

def lamp(highlight, body, rim):
    cx = cy = 16.0
    radius = 14.0
    hx, hy = 12.0, 11.0  # the light comes from the upper left

    def shade(x, y):
        d = math.hypot(x - cx, y - cy)
        if d > radius:
            return None
        if d > radius - 1.5:  # a darker ring gives the lamp its edge
            return rim + (1.0,)
        t = math.hypot(x - hx, y - hy) / (radius * 1.5)
        return mix(highlight, body, t ** 0.8) + (1.0,)

    return render(32, 32, shade)


# ---- small theme images ------------------------------------------------------------------

def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def inside_triangle(x, y, p1, p2, p3):
    def side(a, b):
        return (x - b[0]) * (a[1] - b[1]) - (a[0] - b[0]) * (y - b[1])
    d1, d2, d3 = side(p1, p2), side(p2, p3), side(p3, p1)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def check_box(size, border, fill, mark=None, mark_kind=None):
    def shade(x, y):
        if x < 0.5 or y < 0.5 or x > size - 0.5 or y > size - 0.5:
            return None
        if x < 1.5 or y < 1.5 or x > size - 1.5 or y > size - 1.5:
            return border + (1.0,)
        if mark_kind == "check":
            pts = [(3.0, size * 0.52), (size * 0.42, size - 3.2), (size - 2.8, 3.2)]
            if min(segment_distance(x, y, pts[0], pts[1]), segment_distance(x, y, pts[1], pts[2])) < 1.1:
                return mark + (1.0,)
        elif mark_kind == "partial":
            if 3.0 < x < size - 3.0 and size / 2 - 1.2 < y < size / 2 + 1.2:
                return mark + (1.0,)
        return fill + (1.0,)

    return render(size, size, shade)


def radio(size, border, fill, dot=None):
    c = size / 2.0

    def shade(x, y):
        d = math.hypot(x - c, y - c)
        if d > c - 0.5:
            return None
        if d > c - 1.7:
            return border + (1.0,)
        if dot is not None and d < c * 0.45:
            return dot + (1.0,)
        return fill + (1.0,)

    return render(size, size, shade)


def arrow(size, colour, direction):
    m = 0.28 * size
    lo, hi, mid = m, size - m, size / 2.0
    tips = {
        "up": ((lo, hi - 0.8), (hi, hi - 0.8), (mid, lo + 0.8)),
        "down": ((lo, lo + 0.8), (hi, lo + 0.8), (mid, hi - 0.8)),
        "left": ((hi - 0.8, lo), (hi - 0.8, hi), (lo + 0.8, mid)),
        "right": ((lo + 0.8, lo), (lo + 0.8, hi), (hi - 0.8, mid)),
    }[direction]

    def shade(x, y):
        return colour + (1.0,) if inside_triangle(x, y, *tips) else None

    return render(size, size, shade)


# ---- the program's icon ------------------------------------------------------------------

def app_icon(size):
    """A blue rounded square holding a round swatch split into a standard and a sample half."""
    s = float(size)
    corner = 0.18 * s
    margin = 0.04 * s
    c = s / 2.0
    ring_out, ring_in = 0.36 * s, 0.31 * s
    top, bottom = hex_rgb("#3AA0FF"), hex_rgb("#0B5CAD")
    standard, sample = hex_rgb("#E9A23B"), hex_rgb("#C7742A")
    white = hex_rgb("#FFFFFF")

    def in_rounded_square(x, y):
        lo, hi = margin, s - margin
        if not (lo <= x <= hi and lo <= y <= hi):
            return False
        qx = min(max(x, lo + corner), hi - corner)
        qy = min(max(y, lo + corner), hi - corner)
        return math.hypot(x - qx, y - qy) <= corner

    def shade(x, y):
        if not in_rounded_square(x, y):
            return None
        d = math.hypot(x - c, y - c)
        if d <= ring_in:
            # A thin white seam between the halves, as on a split comparison field.
            if abs(x - c) < 0.012 * s:
                return white + (1.0,)
            return (standard if x < c else sample) + (1.0,)
        if d <= ring_out:
            return white + (1.0,)
        return mix(top, bottom, y / s) + (1.0,)

    return render(size, size, shade)


def main():
    image_dir = os.path.join(ROOT, "image")
    theme_dir = os.path.join(ROOT, "qss", "psblack")
    os.makedirs(image_dir, exist_ok=True)
    os.makedirs(theme_dir, exist_ok=True)

    write_png(os.path.join(image_dir, "led_on.png"), 32, 32,
              lamp(hex_rgb("#E6FFE0"), hex_rgb("#22DD22"), hex_rgb("#0A7A0A")))
    write_png(os.path.join(image_dir, "led_off.png"), 32, 32,
              lamp(hex_rgb("#B05050"), hex_rgb("#6A0A0A"), hex_rgb("#3A0000")))

    border, white, blue = hex_rgb("#242424"), hex_rgb("#FFFFFF"), hex_rgb("#1E90FF")
    grey_border, grey_fill, grey_mark = hex_rgb("#646464"), hex_rgb("#B4B4B4"), hex_rgb("#444444")
    images = {
        "checkbox_unchecked.png": check_box(13, border, white),
        "checkbox_checked.png": check_box(13, border, white, blue, "check"),
        "checkbox_parcial.png": check_box(13, border, white, blue, "partial"),
        "checkbox_unchecked_disable.png": check_box(13, grey_border, grey_fill),
        "checkbox_checked_disable.png": check_box(13, grey_border, grey_fill, grey_mark, "check"),
        "checkbox_parcial_disable.png": check_box(13, grey_border, grey_fill, grey_mark, "partial"),
        "radiobutton_unchecked.png": radio(15, border, white),
        "radiobutton_checked.png": radio(15, border, white, blue),
        "radiobutton_unchecked_disable.png": radio(15, grey_border, grey_fill),
        "radiobutton_checked_disable.png": radio(15, grey_border, grey_fill, grey_mark),
        # Light arrows for the dark scroll bars, dark ones for white combo and spin boxes.
        "add_top.png": arrow(10, hex_rgb("#DCDCDC"), "up"),
        "add_bottom.png": arrow(10, hex_rgb("#DCDCDC"), "down"),
        "add_left.png": arrow(10, hex_rgb("#DCDCDC"), "left"),
        "add_right.png": arrow(10, hex_rgb("#DCDCDC"), "right"),
        "arrow_up.png": arrow(10, border, "up"),
        "arrow_down.png": arrow(10, border, "down"),
        "calendar_prevmonth.png": arrow(16, white, "left"),
        "calendar_nextmonth.png": arrow(16, white, "right"),
    }
    for name, pixels in images.items():
        write_png(os.path.join(theme_dir, name), len(pixels[0]), len(pixels), pixels)

    icon_dir = os.path.join(ROOT, "icons")
    os.makedirs(icon_dir, exist_ok=True)
    for size in (64, 256):
        write_png(os.path.join(icon_dir, "colorimeter-%d.png" % size), size, size, app_icon(size))


if __name__ == "__main__":
    main()
