#!/usr/bin/env python3
"""Draws the pictures of the two bitmap buttons of the main window.

Each picture is one 52 x 26 PNG holding two 26 x 26 images side by side: the enabled one and a
greyed one for the disabled button. Run it from this folder after changing a drawing; the PNGs
are committed and compiled into the program as resources.

    python3 draw_pictures.py
"""
import math
import struct
import zlib

SIZE = 26
SUB = 4  # samples per pixel along each axis (anti-aliasing)


def png(path, width, height, pixels):
    """Writes RGBA rows as a PNG file."""
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def in_rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def in_polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                hit = not hit
        return hit

    return inside


def in_gear(cx, cy, outer, inner, hole, teeth, phase=0.0):
    """A toothed wheel: the body up to `inner`, teeth up to `outer`, a hole in the middle."""

    def inside(x, y):
        dx, dy = x - cx, y - cy
        r = math.hypot(dx, dy)
        if r < hole or r > outer:
            return False
        if r <= inner:
            return True
        a = (math.atan2(dy, dx) - phase) % (2 * math.pi / teeth)
        return a < math.pi / teeth

    return inside


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 <= math.hypot(x - cx, y - cy) <= r1


def render(layers):
    """layers: (shape, (r, g, b)) painted in order; returns 26 rows of RGBA pixels."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SUB):
                for sx in range(SUB):
                    x, y = px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB
                    colour = None
                    for shape, rgb in layers:
                        if shape(x, y):
                            colour = rgb
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = acc[3]
            if n == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[0] / n), round(acc[1] / n), round(acc[2] / n), round(255 * n / SUB**2)))
        rows.append(row)
    return rows


def greyed(rows):
    """The disabled look: the picture in light greys."""
    out = []
    for row in rows:
        new = []
        for r, g, b, a in row:
            lum = 0.299 * r + 0.587 * g + 0.114 * b
            v = round(128 + lum * 0.45)
            new.append((v, v, v, a))
        out.append(new)
    return out


def window(x0, y0, x1, y1):
    """A small application window: dark frame, blue title bar, white client area."""
    return [
        (in_rect(x0, y0, x1, y1), (64, 64, 64)),
        (in_rect(x0 + 1, y0 + 1, x1 - 1, y0 + 5), (10, 60, 170)),
        (in_rect(x1 - 4, y0 + 2, x1 - 2, y0 + 4), (230, 230, 230)),
        (in_rect(x0 + 1, y0 + 5, x1 - 1, y1 - 1), (255, 255, 255)),
    ]


def sair():
    layers = window(1, 3, 19, 23)
    # a door-like strip of the client area, so the arrow reads as "leaving"
    layers.append((in_rect(3, 9, 8, 21), (200, 214, 240)))
    arrow = [(8, 11.5), (16, 11.5), (16, 7), (25, 14.5), (16, 22), (16, 17.5), (8, 17.5)]
    for dx, dy in ((-0.8, 0), (0.8, 0), (0, -0.8), (0, 0.8)):  # outline
        layers.append((in_polygon([(x + dx, y + dy) for x, y in arrow]), (10, 40, 120)))
    layers.append((in_polygon(arrow), (30, 90, 230)))
    inner = [(9, 12.5), (17, 12.5), (17, 9.3), (23.4, 14.5), (17, 19.7), (17, 16.5), (9, 16.5)]
    layers.append((in_polygon(inner), (70, 140, 250)))
    return render(layers)


def processar():
    layers = window(1, 1, 25, 25)
    layers.append((in_gear(10, 16.5, 7.6, 5.6, 0, 8), (150, 70, 0)))
    layers.append((in_gear(10, 16.5, 7.0, 5.0, 1.9, 8), (250, 140, 20)))
    layers.append((ring(10, 16.5, 1.9, 2.6), (150, 70, 0)))
    layers.append((in_gear(18.5, 11, 5.6, 4.0, 0, 6, 0.3), (20, 100, 20)))
    layers.append((in_gear(18.5, 11, 5.0, 3.4, 1.4, 6, 0.3), (60, 180, 60)))
    layers.append((ring(18.5, 11, 1.4, 2.0), (20, 100, 20)))
    layers.append((ring(10, 16.5, 0, 1.9), (255, 255, 255)))
    layers.append((ring(18.5, 11, 0, 1.4), (255, 255, 255)))
    return render(layers)


def save(name, rows):
    grey = greyed(rows)
    png(name, 2 * SIZE, SIZE, [rows[y] + grey[y] for y in range(SIZE)])


if __name__ == "__main__":
    save("sair.png", sair())
    save("processar.png", processar())
