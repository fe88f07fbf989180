#!/usr/bin/env python3
"""Draws the wizard's artwork: the watermark and header bitmaps, the four icons and the hand
cursor. Everything is drawn here from simple shapes, with the standard library only.

    make_art.py OUTPUT_FOLDER [--preview]

--preview also writes enlarged PNG copies, for looking at the pictures.
"""
import math
import os
import struct
import sys
import zlib

SUPERSAMPLE = 4


# ---------------------------------------------------------------- canvas and shapes

class Canvas:
    """RGBA floats (0..1), drawn with coverage from a 4 x 4 grid of samples per pixel."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [list(fill) for _ in range(width * height)]

    def blend(self, x, y, colour, alpha):
        if alpha <= 0:
            return
        p = self.pixels[y * self.width + x]
        a = colour[3] * alpha if len(colour) > 3 else alpha
        out_a = a + p[3] * (1 - a)
        if out_a <= 0:
            return
        for i in range(3):
            p[i] = (colour[i] * a + p[i] * p[3] * (1 - a)) / out_a
        p[3] = out_a

    def draw(self, inside, colour, bounds=None):
        """inside(x, y) -> bool in pixel units; colour is RGB(A) or a function of (x, y)."""
        x0, y0, x1, y1 = bounds or (0, 0, self.width, self.height)
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.width, int(math.ceil(x1))), min(self.height, int(math.ceil(y1)))
        step = 1.0 / SUPERSAMPLE
        offsets = [(i + 0.5) * step for i in range(SUPERSAMPLE)]
        total = SUPERSAMPLE * SUPERSAMPLE
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = sum(1 for oy in offsets for ox in offsets if inside(x + ox, y + oy))
                if hits:
                    c = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                    self.blend(x, y, c, hits / total)


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_in, r_out, start=None, end=None):
    """An annulus, optionally only between two angles (degrees, counter-clockwise from east)."""
    def inside(x, y):
        d = (x - cx) ** 2 + (y - cy) ** 2
        if not (r_in * r_in <= d <= r_out * r_out):
            return False
        if start is None:
            return True
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        s, e = start % 360, end % 360
        return s <= a <= e if s <= e else a >= s or a <= e
    return inside


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            if (ay > y) != (by > y):
                cross = ax + (y - ay) * (bx - ax) / (by - ay)
                if x < cross:
                    hit = not hit
        return hit
    return inside


def capsule(ax, ay, bx, by, r):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1)
        t = min(1, max(0, t))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= r * r
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, cut):
    return lambda x, y: shape(x, y) and not cut(x, y)


def rgb(hex_text, alpha=1.0):
    v = int(hex_text.lstrip("#"), 16)
    return ((v >> 16 & 255) / 255, (v >> 8 & 255) / 255, (v & 255) / 255, alpha)


def vertical(top, bottom, y0, y1):
    def colour(x, y):
        t = min(1, max(0, (y - y0) / (y1 - y0)))
        return tuple(top[i] + (bottom[i] - top[i]) * t for i in range(4))
    return colour


# ---------------------------------------------------------------- file formats

def bytes_bgr(canvas, background=(1, 1, 1)):
    """Rows bottom-up, 24 bits, each row padded to four bytes; transparency goes onto the background."""
    out = bytearray()
    pad = (4 - canvas.width * 3 % 4) % 4
    for y in range(canvas.height - 1, -1, -1):
        for x in range(canvas.width):
            p = canvas.pixels[y * canvas.width + x]
            r, g, b = (p[i] * p[3] + background[i] * (1 - p[3]) for i in range(3))
            out += bytes((round(b * 255), round(g * 255), round(r * 255)))
        out += b"\0" * pad
    return bytes(out)


def write_bmp(path, canvas):
    pixels = bytes_bgr(canvas)
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)))
        f.write(header + pixels)


def icon_image(canvas):
    """A 32-bit DIB with its AND mask, as icon files hold them."""
    w, h = canvas.width, canvas.height
    colour = bytearray()
    mask_row = (w + 31) // 32 * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(w):
            r, g, b, a = canvas.pixels[y * w + x]
            alpha = round(a * 255)
            # Colours premultiplied by nothing: Windows takes them straight with the alpha.
            colour += bytes((round(b * 255), round(g * 255), round(r * 255), alpha))
            if alpha < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def write_ico(path, canvases):
    images = [icon_image(c) for c in canvases]
    offset = 6 + 16 * len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def write_monochrome_cursor(path, rows, hotspot):
    """rows: strings of '.', 'X' (black), 'o' (white), top row first."""
    size = 32
    row_bytes = 4
    xor_mask, and_mask = bytearray(), bytearray()
    for y in range(size - 1, -1, -1):
        line = rows[y] if y < len(rows) else ""
        xr, ar = bytearray(row_bytes), bytearray(row_bytes)
        for x in range(size):
            c = line[x] if x < len(line) else "."
            bit = 0x80 >> (x % 8)
            if c == ".":
                ar[x // 8] |= bit
            elif c == "o":
                xr[x // 8] |= bit
        xor_mask += xr
        and_mask += ar
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor_mask) + len(and_mask), 0, 0, 2, 2)
    data = header + palette + bytes(xor_mask) + bytes(and_mask)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1], len(data), 6 + 16)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 2, 1) + entry + data)


def write_png(path, canvas, scale=1, background=(1, 1, 1)):
    raw = bytearray()
    for y in range(canvas.height * scale):
        raw.append(0)
        for x in range(canvas.width * scale):
            p = canvas.pixels[(y // scale) * canvas.width + x // scale]
            raw += bytes(round((p[i] * p[3] + background[i] * (1 - p[3])) * 255) for i in range(3))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.width * scale, canvas.height * scale, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


# ---------------------------------------------------------------- the pictures

BLUE_DARK = rgb("#173d73")
BLUE = rgb("#2c6cc4")
BLUE_LIGHT = rgb("#6fa6ea")
AMBER = rgb("#f2a91c")
AMBER_DARK = rgb("#b5740a")
WHITE = (1, 1, 1, 1)


def emblem(canvas, cx, cy, r, on_dark):
    """The tool's mark: an archive box inside a circular arrow."""
    arrow = WHITE if on_dark else BLUE
    width = r * 0.16
    # Two arcs with arrow heads, turning clockwise: keeping and bringing back.
    for start, end, head in ((28, 160, 28), (208, 340, 208)):
        canvas.draw(ring(cx, cy, r - width, r, start, end), arrow)
        a = math.radians(head)
        hx, hy = cx + (r - width / 2) * math.cos(a), cy - (r - width / 2) * math.sin(a)
        tangent = (math.sin(a), math.cos(a))  # clockwise direction in screen coordinates
        normal = (math.cos(a), -math.sin(a))
        size = width * 1.9
        tip = (hx + tangent[0] * size * 1.1, hy + tangent[1] * size * 1.1)
        left = (hx + normal[0] * size, hy + normal[1] * size)
        right = (hx - normal[0] * size, hy - normal[1] * size)
        canvas.draw(polygon([tip, left, right]), arrow)
    # The box: a body, a lid and a label slot.
    bw, bh = r * 0.95, r * 0.62
    x0, y0 = cx - bw / 2, cy - bh / 2 + r * 0.12
    body = rounded_rect(x0, y0, x0 + bw, y0 + bh, r * 0.06)
    canvas.draw(body, vertical(AMBER, AMBER_DARK, y0, y0 + bh))
    lid = rounded_rect(x0 - r * 0.07, y0 - r * 0.2, x0 + bw + r * 0.07, y0 + r * 0.02, r * 0.05)
    canvas.draw(lid, vertical(rgb("#ffd36b"), AMBER, y0 - r * 0.2, y0))
    slot = rounded_rect(cx - bw * 0.2, y0 + bh * 0.22, cx + bw * 0.2, y0 + bh * 0.4, r * 0.04)
    canvas.draw(slot, rgb("#7a4a06"))


def watermark():
    c = Canvas(165, 315)
    c.draw(lambda x, y: True, vertical(BLUE_DARK, BLUE, 0, 315))
    # Soft circles for depth.
    c.draw(circle(150, 40, 70), (1, 1, 1, 0.06))
    c.draw(circle(20, 300, 90), (1, 1, 1, 0.05))
    c.draw(circle(120, 250, 40), (1, 1, 1, 0.04))
    emblem(c, 82, 120, 52, True)
    # A thin light line along the right edge, where the page begins.
    c.draw(lambda x, y: x >= 163, (1, 1, 1, 0.35))
    return c


def header():
    c = Canvas(49, 49, (1, 1, 1, 1))
    emblem(c, 24.5, 24.5, 21, False)
    return c


def warning_icon(size):
    c = Canvas(size, size)
    s = size / 16.0
    outer = polygon([(8 * s, 0.6 * s), (15.6 * s, 14.6 * s), (0.4 * s, 14.6 * s)])
    inner = polygon([(8 * s, 2.6 * s), (14 * s, 13.6 * s), (2 * s, 13.6 * s)])
    c.draw(outer, rgb("#9a6b00"))
    c.draw(inner, vertical(rgb("#ffe15a"), rgb("#f2b600"), 2 * s, 14 * s))
    c.draw(rounded_rect(7.1 * s, 5 * s, 8.9 * s, 10.2 * s, 0.8 * s), rgb("#222222"))
    c.draw(circle(8 * s, 12 * s, 0.95 * s), rgb("#222222"))
    return c


def failure_icon(size):
    c = Canvas(size, size)
    s = size / 16.0
    c.draw(circle(8 * s, 8 * s, 7.6 * s), rgb("#8e1b14"))
    c.draw(circle(8 * s, 8 * s, 6.7 * s), vertical(rgb("#f0584c"), rgb("#c4261b"), 1 * s, 15 * s))
    w = 1.1 * s
    c.draw(capsule(5.2 * s, 5.2 * s, 10.8 * s, 10.8 * s, w), WHITE)
    c.draw(capsule(10.8 * s, 5.2 * s, 5.2 * s, 10.8 * s, w), WHITE)
    return c


def info_icon(size):
    c = Canvas(size, size)
    s = size / 16.0
    bubble = union(rounded_rect(0.5 * s, 0.8 * s, 15.5 * s, 11.8 * s, 3 * s),
                   polygon([(3.5 * s, 10 * s), (8 * s, 10 * s), (3 * s, 15.5 * s)]))
    inner = union(rounded_rect(1.5 * s, 1.8 * s, 14.5 * s, 10.8 * s, 2.3 * s),
                  polygon([(4.3 * s, 10 * s), (7 * s, 10 * s), (4 * s, 13.6 * s)]))
    c.draw(bubble, rgb("#1b4f9c"))
    c.draw(inner, vertical(rgb("#5d9be8"), rgb("#2a66c0"), 1.8 * s, 11 * s))
    c.draw(circle(8 * s, 3.9 * s, 1.05 * s), WHITE)
    c.draw(rounded_rect(7.05 * s, 5.6 * s, 8.95 * s, 9.6 * s, 0.5 * s), WHITE)
    return c


def folder_icon(size):
    c = Canvas(size, size)
    s = size / 16.0
    back = union(rounded_rect(0.5 * s, 2.5 * s, 6.5 * s, 5.5 * s, 1 * s),
                 rounded_rect(0.5 * s, 3.8 * s, 15.5 * s, 14 * s, 1 * s))
    c.draw(back, rgb("#a8740f"))
    c.draw(union(rounded_rect(1.3 * s, 3.3 * s, 5.8 * s, 5.5 * s, 0.6 * s),
                 rounded_rect(1.3 * s, 4.6 * s, 14.7 * s, 13.2 * s, 0.6 * s)), rgb("#e9b443"))
    front = rounded_rect(0.5 * s, 6.3 * s, 15.5 * s, 14 * s, 1 * s)
    c.draw(front, rgb("#a8740f"))
    c.draw(rounded_rect(1.3 * s, 7.1 * s, 14.7 * s, 13.2 * s, 0.6 * s), vertical(rgb("#ffd874"), rgb("#f0b53a"), 7 * s, 13 * s))
    return c


def browse_icon(size):
    """Three dots, the usual face of a browse button."""
    c = Canvas(size, size)
    s = size / 16.0
    for cx in (3.5, 8, 12.5):
        c.draw(circle(cx * s, 11 * s, 1.45 * s), rgb("#202020"))
    return c


# A pointing hand whose finger tip is the hot spot (5, 0): black outline, white inside.
HAND = [
    "....XX..........................",
    "...XooX.........................",
    "...XooX.........................",
    "...XooX.........................",
    "...XooX.........................",
    "...XooXXX.......................",
    "...XooXooXXX....................",
    "...XooXooXooXX..................",
    "...XooXooXooXoX.................",
    "XX.XooooooooXooX................",
    "XoXXoooooooooooX................",
    "XooXoooooooooooX................",
    ".XoXoooooooooooX................",
    ".XooooooooooooX.................",
    "..XoooooooooooX.................",
    "..XooooooooooX..................",
    "...XoooooooooX..................",
    "...XoooooooooX..................",
    "....XoooooooX...................",
    "....XoooooooX...................",
    "....XXXXXXXXX...................",
]


def main():
    out = sys.argv[1]
    preview = "--preview" in sys.argv
    os.makedirs(out, exist_ok=True)
    pictures = {
        "watermark.bmp": watermark(),
        "header.bmp": header(),
    }
    for name, picture in pictures.items():
        write_bmp(os.path.join(out, name), picture)
        if preview:
            write_png(os.path.join(out, name[:-4] + ".png"), picture, 2)
    icons = {
        "warning.ico": warning_icon,
        "failure.ico": failure_icon,
        "information.ico": info_icon,
        "folder.ico": folder_icon,
        "browse.ico": browse_icon,
    }
    for name, draw in icons.items():
        sizes = [draw(16), draw(32)]
        write_ico(os.path.join(out, name), sizes)
        if preview:
            write_png(os.path.join(out, name[:-4] + "16.png"), sizes[0], 8)
            write_png(os.path.join(out, name[:-4] + "32.png"), sizes[1], 4)
    write_monochrome_cursor(os.path.join(out, "hand.cur"), HAND, (5, 0))
    if preview:
        c = Canvas(32, 32, (0.6, 0.8, 0.6, 1))
        for y, line in enumerate(HAND):
            for x, ch in enumerate(line):
                if ch != ".":
                    c.pixels[y * 32 + x] = [0, 0, 0, 1] if ch == "X" else [1, 1, 1, 1]
        write_png(os.path.join(out, "hand.png"), c, 8)


if __name__ == "__main__":
    main()
