#!/usr/bin/env python3
"""Draws the tray and program icons (a football) and writes them as .ico files.

Run from the repository root: python3 images/make_icons.py
Each file holds 32-bit images, smallest first: the tray icons 16, 20, 24, 32 pixels,
the program icons 16, 24, 32, 48 pixels. It also draws the picture on the first and
last pages of the setup: the ball on a striped pitch, 164 x 314, a 24-bit BMP.
"""
import math
import struct

SUPER = 4  # samples per pixel side, for smooth edges


def ball_colour(x, y, variant):
    """Colour (r, g, b, a) of the point x, y in a unit square, or None outside."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if variant == "loader" and x > 0.52 and y > 0.52:
        # a green "start" triangle in the lower-right corner
        u, v = (x - 0.52) / 0.48, (y - 0.52) / 0.48
        if u > 0.15 and abs(v - 0.5) < (u - 0.15) * 0.6 and u < 0.95:
            return (30, 160, 40, 255)
    if r > 0.47:
        return None
    if r > 0.42:
        return (20, 20, 20, 255)
    # the central pentagon and five patches at the rim
    angle = math.atan2(dy, dx)
    pent = 0.16 / math.cos((angle + math.pi / 2) % (2 * math.pi / 5) - math.pi / 5)
    dark = r < pent
    for k in range(5):
        a = -math.pi / 2 + k * 2 * math.pi / 5
        px, py = 0.5 + 0.42 * math.cos(a), 0.5 + 0.42 * math.sin(a)
        if math.hypot(x - px, y - py) < 0.12:
            dark = True
    if variant == "offline":
        colour = (70, 70, 70, 255) if dark else (175, 175, 175, 255)
    else:
        colour = (15, 15, 15, 255) if dark else (250, 250, 250, 255)
    return colour


def slash(x, y):
    """The red stroke across the offline icon."""
    return abs((x - 0.5) + (y - 0.5)) < 0.09 and abs(x - 0.5) < 0.45


def render(size, variant):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SUPER):
                for sx in range(SUPER):
                    x = (px + (sx + 0.5) / SUPER) / size
                    y = (py + (sy + 0.5) / SUPER) / size
                    c = (215, 25, 25, 255) if variant == "offline" and slash(x, y) else ball_colour(x, y, variant)
                    if c:
                        for i in range(3):
                            acc[i] += c[i] * c[3]
                        acc[3] += c[3]
            n = SUPER * SUPER
            alpha = acc[3] // n
            if alpha:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], alpha))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def bitmap(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bytes(bits)
    return header + xor + mask


def write_ico(path, sizes, variant):
    images = [bitmap(s, render(s, variant)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def write_setup_bitmap(path, width=164, height=314, ball=120):
    """The ball over a pitch mown in stripes, for the setup's welcome and finish pages."""
    top = (height - ball) // 2 - 30
    left = (width - ball) // 2
    ballpixels = render(ball, "online")
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            green = (46, 125, 50) if (y // 24) % 2 else (56, 142, 60)
            r, g, b = green
            bx, by = x - left, y - top
            if 0 <= bx < ball and 0 <= by < ball:
                cr, cg, cb, a = ballpixels[by][bx]
                r, g, b = ((cr * a + c * (255 - a)) // 255 for cr, c in ((cr, r), (cg, g), (cb, b)))
            row += bytes((b, g, r))
        row += bytes((-len(row)) % 4)
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    write_setup_bitmap("installer/setup_welcome.bmp")
    write_ico("images/tray.ico", [16, 20, 24, 32], "online")
    write_ico("images/tray_offline.ico", [16, 20, 24, 32], "offline")
    write_ico("host/tessmark_quornel.ico", [16, 24, 32, 48], "online")
    write_ico("loader/tessmark_quornel_loader.ico", [16, 24, 32, 48], "loader")
