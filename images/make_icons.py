#!/usr/bin/env python3
"""Draws the tray and program icons (a football) and writes them as .ico files.

Run from the repository root: python3 images/make_icons.py
Each file holds 32-bit images, smallest first: the tray icons 16, 20, 24, 32 pixels,
the program icons 16, 24, 32, 48 pixels. It also draws the picture on the first and
last pages of the setup: the ball on a striped pitch, 164 x 314, a 24-bit BMP.

python3 images/make_icons.py --wallpaper PATH writes only the widget's wallpaper,
1920 x 1080, a 24-bit BMP: the build draws it, as it is too big to keep here.
"""
import math
import os
import struct
import sys

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


# The widget's wallpaper: a pitch seen from above, mown in stripes, with its lines,
# the goals' nets, the ball on the centre spot and a soft vignette. Drawn into one
# bytearray of BGR rows, top row first. Whole runs of pixels are coloured with
# bytes.translate and lookup tables, so only the lines and the ball take a Python
# step per pixel.
WALL_W, WALL_H = 1920, 1080
PITCH_LENGTH, PITCH_WIDTH = 105.0, 68.0  # metres
WALL_SCALE = 13.5  # pixels per metre
WALL_X0 = (WALL_W - PITCH_LENGTH * WALL_SCALE) / 2
WALL_Y0 = (WALL_H - PITCH_WIDTH * WALL_SCALE) / 2
LINE_HALF = 2.6  # half the painted lines' width, pixels
STRIPES = 18  # mown stripes across the pitch's length
GRASS_LIGHT = (84, 158, 60)
GRASS_DARK = (66, 134, 48)
BALL_RADIUS = 36.0  # pixels
STEPS = 64  # coverage steps of a blend


def _blend_tables(value):
    """Per coverage step k (0..STEPS): table v -> v blended k/STEPS of the way to value."""
    return [bytes(int(v + (value - v) * k / STEPS + 0.5) for v in range(256)) for k in range(STEPS + 1)]


def _scale_tables(levels=256):
    """Per level k: table v -> v * k / (levels - 1)."""
    return [bytes(v * k // (levels - 1) for v in range(256)) for k in range(levels)]


def _draw_grass(buf):
    """The mown stripes: every row alike. Flat colours, so that the picture packs small
    in the setup (a grain of noise would cost some 2 MB there); the vignette shades them."""
    stripe = PITCH_LENGTH * WALL_SCALE / STRIPES
    stride = WALL_W * 3
    row = bytearray(stride)
    k = math.floor(-WALL_X0 / stripe)
    while WALL_X0 + k * stripe < WALL_W:
        a = max(0, round(WALL_X0 + k * stripe))
        b = min(WALL_W, round(WALL_X0 + (k + 1) * stripe))
        if b > a:
            r, g, bl = GRASS_LIGHT if k % 2 == 0 else GRASS_DARK
            row[3 * a:3 * b] = bytes((bl, g, r)) * (b - a)
        k += 1
    for y in range(WALL_H):
        buf[y * stride:(y + 1) * stride] = row


def _cover(cover, x, y, c):
    """Covers pixel (x, y) to c (0..1) in `cover` {index: step}, the most where shapes overlap."""
    if 0 <= x < WALL_W and 0 <= y < WALL_H and c > 0:
        k = min(STEPS, int(c * STEPS + 0.5))
        i = y * WALL_W + x
        if k > cover.get(i, 0):
            cover[i] = k


def _paint(buf, cover, tables):
    for i, k in cover.items():
        buf[3 * i:3 * i + 3] = buf[3 * i:3 * i + 3].translate(tables[k])


def _px(mx, my):
    """Pitch metres (from the top-left corner flag) to wallpaper pixels."""
    return WALL_X0 + mx * WALL_SCALE, WALL_Y0 + my * WALL_SCALE


def _segment(cover, x0, y0, x1, y1, half=LINE_HALF, alpha=1.0):
    """An axis-parallel line from (x0, y0) to (x1, y1), pixels, with square ends."""
    left, right = min(x0, x1) - half, max(x0, x1) + half
    top, bottom = min(y0, y1) - half, max(y0, y1) + half
    for y in range(math.floor(top), math.ceil(bottom) + 1):
        cy = max(0.0, min(y + 1.0, bottom) - max(float(y), top))
        if cy <= 0:
            continue
        for x in range(math.floor(left), math.ceil(right) + 1):
            cx = max(0.0, min(x + 1.0, right) - max(float(x), left))
            _cover(cover, x, y, cx * cy * alpha)


def _ring(cover, cx, cy, r, keep=None, half=LINE_HALF, alpha=1.0):
    """A circle of radius r about (cx, cy), pixels; keep(x, y) chooses the part drawn."""
    outer = r + half + 1
    inner = max(0.0, r - half - 1)
    for y in range(math.floor(cy - outer), math.ceil(cy + outer) + 1):
        dy = y + 0.5 - cy
        if abs(dy) > outer:
            continue
        xo = math.sqrt(outer * outer - dy * dy)
        xi = math.sqrt(inner * inner - dy * dy) if abs(dy) < inner else 0.0
        for x in list(range(math.floor(cx - xo), math.ceil(cx - xi) + 1)) + \
                list(range(math.floor(cx + xi), math.ceil(cx + xo) + 1)):
            if keep and not keep(x + 0.5, y + 0.5):
                continue
            d = abs(math.hypot(x + 0.5 - cx, dy) - r)
            _cover(cover, x, y, min(1.0, half + 0.5 - d) * alpha)


def _disc(cover, cx, cy, r, alpha=1.0):
    for y in range(math.floor(cy - r - 1), math.ceil(cy + r) + 2):
        for x in range(math.floor(cx - r - 1), math.ceil(cx + r) + 2):
            _cover(cover, x, y, min(1.0, r + 0.5 - math.hypot(x + 0.5 - cx, y + 0.5 - cy)) * alpha)


def _draw_markings(buf):
    lines = {}
    L, W = PITCH_LENGTH, PITCH_WIDTH
    mid = W / 2
    seg = lambda a, b, c, d, **kw: _segment(lines, *_px(a, b), *_px(c, d), **kw)
    seg(0, 0, L, 0)
    seg(0, W, L, W)
    seg(0, 0, 0, W)
    seg(L, 0, L, W)
    seg(L / 2, 0, L / 2, W)
    centre = _px(L / 2, mid)
    _ring(lines, *centre, 9.15 * WALL_SCALE)
    for goal_x, inward in ((0.0, 1), (L, -1)):
        for depth, half_width in ((16.5, 20.16), (5.5, 9.16)):
            inner = goal_x + inward * depth
            seg(goal_x, mid - half_width, inner, mid - half_width)
            seg(goal_x, mid + half_width, inner, mid + half_width)
            seg(inner, mid - half_width, inner, mid + half_width)
        spot_x = goal_x + inward * 11
        _disc(lines, *_px(spot_x, mid), 0.32 * WALL_SCALE)
        edge = _px(goal_x + inward * 16.5, 0)[0]
        _ring(lines, *_px(spot_x, mid), 9.15 * WALL_SCALE,
              keep=(lambda x, y, e=edge, s=inward: (x - e) * s > LINE_HALF))
        # The goal from above: the crossbar on the line, the net's frame and mesh behind.
        back = goal_x - inward * 2.0
        seg(goal_x, mid - 3.66, goal_x, mid + 3.66, half=LINE_HALF * 1.3)
        seg(back, mid - 3.66, back, mid + 3.66, half=1.2, alpha=0.8)
        for side in (-3.66, 3.66):
            seg(goal_x, mid + side, back, mid + side, half=1.6, alpha=0.9)
        steps = 8
        for i in range(1, steps):
            seg(goal_x - inward * 2.0 * i / steps, mid - 3.66, goal_x - inward * 2.0 * i / steps, mid + 3.66,
                half=0.5, alpha=0.55)
        for i in range(1, 30):
            y = mid - 3.66 + 7.32 * i / 30
            seg(goal_x, y, back, y, half=0.5, alpha=0.55)
    for corner_x, corner_y in ((0, 0), (L, 0), (0, W), (L, W)):
        cx, cy = _px(corner_x, corner_y)
        sx, sy = (1 if corner_x == 0 else -1), (1 if corner_y == 0 else -1)
        _ring(lines, cx, cy, 1.0 * WALL_SCALE, keep=(lambda x, y, cx=cx, cy=cy, sx=sx, sy=sy:
                                                     (x - cx) * sx > 0 and (y - cy) * sy > 0))
    _disc(lines, *centre, 0.32 * WALL_SCALE)
    _paint(buf, lines, _blend_tables(242))


def _ball_faces(turn):
    """Centres of the ball's 12 pentagons and 20 hexagons (a truncated icosahedron),
    turned by `turn` (a 3x3 matrix), with each face's distance from the middle."""
    phi = (1 + 5 ** 0.5) / 2
    verts = []
    for a in (-1, 1):
        for b in (-phi, phi):
            verts += [(0, a, b), (a, b, 0), (b, 0, a)]
    norm = lambda v: tuple(c / math.sqrt(sum(d * d for d in v)) for c in v)
    verts = [norm(v) for v in verts]
    edge = min(math.dist(verts[0], v) for v in verts[1:])
    # the icosahedron's faces: three vertices at one edge's distance from each other
    faces = []
    for i in range(12):
        for j in range(i + 1, 12):
            for k in range(j + 1, 12):
                if all(abs(math.dist(verts[p], verts[q]) - edge) < 1e-6 for p, q in ((i, j), (j, k), (i, k))):
                    faces.append((i, j, k))
    # Cutting a third off each edge: a pentagon's plane lies at the cut points near its
    # vertex, a hexagon's at its face's cut points.
    cut = lambda p, q: tuple(p[c] * 2 / 3 + q[c] / 3 for c in range(3))
    dot = lambda p, q: sum(p[c] * q[c] for c in range(3))
    pent_d = dot(cut(verts[faces[0][0]], verts[faces[0][1]]), verts[faces[0][0]])
    centres = []
    for v in verts:
        centres.append((v, pent_d, True))
    for i, j, k in faces:
        n = norm(tuple(verts[i][c] + verts[j][c] + verts[k][c] for c in range(3)))
        centres.append((n, dot(cut(verts[i], verts[j]), n), False))
    turned = []
    for n, d, pent in centres:
        t = tuple(sum(turn[r][c] * n[c] for c in range(3)) for r in range(3))
        turned.append((t[0] / d, t[1] / d, t[2] / d, pent))
    return turned


def _ball_sample(nx, ny, nz, faces, light, half):
    """Colour of the ball's surface with normal (nx, ny, nz) facing the viewer."""
    best = second = -9.0
    pent = False
    for fx, fy, fz, p in faces:
        s = fx * nx + fy * ny + fz * nz
        if s > best:
            best, second, pent = s, best, p
        elif s > second:
            second = s
    seam = (best - second) / best < 0.022
    base = (60, 60, 66) if seam else (28, 28, 34) if pent else (246, 246, 240)
    diffuse = max(0.0, nx * light[0] + ny * light[1] + nz * light[2])
    shine = max(0.0, nx * half[0] + ny * half[1] + nz * half[2]) ** 60 * (0.35 if seam else 0.6)
    lit = 0.28 + 0.78 * diffuse
    return [min(255.0, c * lit + 255 * shine) for c in base]


def _draw_ball(buf, cx, cy, r):
    stride = WALL_W * 3
    # Its shadow: the sun high in the upper left, so it falls to the lower right.
    sx, sy, sr = cx + 0.35 * r, cy + 0.4 * r, 1.15 * r
    shade = _scale_tables()
    for y in range(math.floor(sy - sr * 1.6), math.ceil(sy + sr * 1.6)):
        for x in range(math.floor(sx - sr * 1.6), math.ceil(sx + sr * 1.6)):
            d = math.hypot(x + 0.5 - sx, y + 0.5 - sy) / sr
            dark = 0.5 * max(0.0, 1.0 - d / 1.6) ** 1.5
            if dark > 0.005:
                i = y * stride + 3 * x
                buf[i:i + 3] = buf[i:i + 3].translate(shade[round((1 - dark) * 255)])
    angle_a, angle_b = 0.5, 0.8
    ca, sa, cb, sb = math.cos(angle_a), math.sin(angle_a), math.cos(angle_b), math.sin(angle_b)
    turn = [[cb, 0, sb], [sa * sb, ca, -sa * cb], [-ca * sb, sa, ca * cb]]
    faces = _ball_faces(turn)
    light = (-0.45, -0.55, 0.70)
    n = math.sqrt(sum(c * c for c in light))
    light = tuple(c / n for c in light)
    h = (light[0], light[1], light[2] + 1)
    n = math.sqrt(sum(c * c for c in h))
    half = tuple(c / n for c in h)
    sub = 3
    for y in range(math.floor(cy - r), math.ceil(cy + r) + 1):
        for x in range(math.floor(cx - r), math.ceil(cx + r) + 1):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for j in range(sub):
                for i in range(sub):
                    px = (x + (i + 0.5) / sub - cx) / r
                    py = (y + (j + 0.5) / sub - cy) / r
                    q = px * px + py * py
                    if q >= 1:
                        continue
                    c = _ball_sample(px, py, math.sqrt(1 - q), faces, light, half)
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
                    hits += 1
            if hits:
                a = hits / (sub * sub)
                i = y * stride + 3 * x
                b, g, rr = buf[i], buf[i + 1], buf[i + 2]
                buf[i] = round(acc[2] / hits * a + b * (1 - a))
                buf[i + 1] = round(acc[1] / hits * a + g * (1 - a))
                buf[i + 2] = round(acc[0] / hits * a + rr * (1 - a))


def _vignette(buf):
    """Darkens towards the edges, in runs of a few pixels of one level each."""
    stride = WALL_W * 3
    levels = _scale_tables()
    run = 6
    for y in range(WALL_H):
        v = (y + 0.5 - WALL_H / 2) / (WALL_H / 2)
        for x in range(0, WALL_W, run):
            u = (x + run / 2 - WALL_W / 2) / (WALL_W / 2)
            d = math.sqrt(u * u * 0.8 + v * v)
            k = 1.0 - 0.5 * max(0.0, min(1.0, (d - 0.3) / 1.05)) ** 1.5
            i = y * stride + 3 * x
            buf[i:i + 3 * run] = buf[i:i + 3 * run].translate(levels[round(k * 255)])


def write_wallpaper(path):
    """The widget's desktop picture, WALL_W x WALL_H, a 24-bit BMP."""
    stride = WALL_W * 3
    buf = bytearray(stride * WALL_H)
    _draw_grass(buf)
    _draw_markings(buf)
    _draw_ball(buf, *_px(PITCH_LENGTH / 2, PITCH_WIDTH / 2), BALL_RADIUS)
    _vignette(buf)
    pixels = b"".join(buf[y * stride:(y + 1) * stride] for y in range(WALL_H - 1, -1, -1))  # bottom-up
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WALL_W, WALL_H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    folder = os.path.dirname(path)
    if folder:
        os.makedirs(folder, exist_ok=True)
    with open(path + ".tmp", "wb") as f:
        f.write(header + info + pixels)
    os.replace(path + ".tmp", path)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--wallpaper":
        write_wallpaper(sys.argv[2])
        sys.exit(0)
    write_setup_bitmap("installer/setup_welcome.bmp")
    write_ico("images/tray.ico", [16, 20, 24, 32], "online")
    write_ico("images/tray_offline.ico", [16, 20, 24, 32], "offline")
    write_ico("host/tessmark_quornel.ico", [16, 24, 32, 48], "online")
    write_ico("loader/tessmark_quornel_loader.ico", [16, 24, 32, 48], "loader")
