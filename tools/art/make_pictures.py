#!/usr/bin/python3
"""Draws the pictures and the application icon of Postwing (飞鸿信使) into res/.

Every picture is drawn at several times its final size and scaled down, which
gives smooth edges; small text is set at the final size so it stays crisp.

    /usr/bin/python3 tools/art/make_pictures.py [--preview DIR]

Needs Pillow (Debian python3-pil) and the WenQuanYi Zen Hei font
(fonts-wqy-zenhei). With --preview, enlarged PNG copies are written to DIR for
looking at; they are not part of the repository.
"""

import argparse
import math
import os
import random
import struct

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
RES = os.path.join(ROOT, "res")
DESKTOP_ICONS = os.path.join(RES, "desktop")

WINDOW_BG = (172, 168, 153)  # the main window's grey-brown background

CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
LATIN_FONTS = {
    "bold": ["/usr/share/fonts/truetype/lato/Lato-Bold.ttf",
             "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"],
    "italic": ["/usr/share/fonts/truetype/lato/Lato-SemiboldItalic.ttf",
               "/usr/share/fonts/truetype/dejavu/DejaVuSans-BoldOblique.ttf"],
}

# Palette: misty blue-green hills (青岚), warm dusk light, vermilion seal.
CREAM = (250, 242, 222)
GOLD = (222, 184, 110)
VERMILION = (190, 48, 36)


# ---------------------------------------------------------------- helpers

def cjk_font(size):
    return ImageFont.truetype(CJK_FONT, size, index=0)


def latin_font(style, size):
    for path in LATIN_FONTS[style]:
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    raise SystemExit("no Latin font found for style " + style)


def mix(a, b, t):
    """Linear blend of two colours, t in [0, 1]."""
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def gradient_color(stops, t):
    """Colour at t of a list of (position, colour) stops sorted by position."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 0.0)
    return stops[-1][1]


def vertical_gradient(size, stops, mode="RGB"):
    w, h = size
    img = Image.new(mode, (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w, y)], fill=gradient_color(stops, y / max(1, h - 1)))
    return img


def radial_gradient(size, center, radius, stops):
    """RGBA image whose colour depends on the distance from center."""
    w, h = size
    img = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    steps = max(2, int(radius))
    for i in range(steps, 0, -1):
        r = radius * i / steps
        c = gradient_color(stops, r / radius)
        d.ellipse([center[0] - r, center[1] - r, center[0] + r, center[1] + r], fill=c)
    return img


def bezier(p0, p1, p2, p3, n=24):
    pts = []
    for i in range(n + 1):
        t = i / n
        u = 1 - t
        pts.append((u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                    u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1]))
    return pts


def path(start, *curves):
    """A closed outline: start point, then (c1, c2, end) cubic segments or single points."""
    pts = [start]
    for seg in curves:
        if len(seg) == 3 and isinstance(seg[0], tuple):
            pts.extend(bezier(pts[-1], seg[0], seg[1], seg[2])[1:])
        else:
            pts.append(seg)
    return pts


def ellipse_pts(cx, cy, rx, ry, n=48):
    return [(cx + rx * math.cos(2 * math.pi * i / n), cy + ry * math.sin(2 * math.pi * i / n))
            for i in range(n)]


def transform(pts, scale, angle_deg, dx, dy, flip=False):
    a = math.radians(angle_deg)
    ca, sa = math.cos(a), math.sin(a)
    out = []
    for x, y in pts:
        if flip:
            x = -x
        x, y = x * scale, y * scale
        out.append((x * ca - y * sa + dx, x * sa + y * ca + dy))
    return out


def paint(base, color, mask):
    """Paints a solid colour (RGB or RGBA) through an L mask onto an RGBA base."""
    if len(color) == 3:
        color = color + (255,)
    layer = Image.new("RGBA", base.size, color)
    alpha = ImageChops.multiply(mask, Image.new("L", base.size, color[3]))
    layer.putalpha(alpha)
    base.alpha_composite(layer)


def paint_image(base, img, mask):
    layer = img.convert("RGBA")
    layer.putalpha(ImageChops.multiply(mask, layer.getchannel("A")))
    base.alpha_composite(layer)


def poly_mask(size, polys):
    m = Image.new("L", size, 0)
    d = ImageDraw.Draw(m)
    for p in polys:
        d.polygon(p, fill=255)
    return m


def shrink(img, size):
    return img.resize(size, Image.BOX)


# ---------------------------------------------------------------- the wild goose
# One stylised wild goose (鸿雁) in flight, heading along +x, in units of its
# body length; y grows downwards. Used by the logo, the icon and the flock.

def goose_parts(wings="up"):
    body = path((0.30, -0.05),
                ((0.18, 0.05), (-0.12, 0.07), (-0.30, 0.02)),
                (-0.44, 0.06), (-0.40, -0.01),
                ((-0.30, -0.08), (0.05, -0.10), (0.30, -0.05)))
    neck = path((0.22, -0.08),
                ((0.36, -0.12), (0.48, -0.15), (0.58, -0.16)),
                (0.62, -0.125),
                ((0.48, -0.105), (0.36, -0.07), (0.24, 0.0)))
    head = ellipse_pts(0.60, -0.145, 0.055, 0.042, 32)
    beak = [(0.63, -0.17), (0.74, -0.135), (0.63, -0.115)]
    if wings == "up":
        far = path((0.10, -0.07),
                   ((0.06, -0.30), (-0.06, -0.52), (-0.26, -0.66)),
                   ((-0.22, -0.46), (-0.20, -0.26), (-0.16, -0.06)))
        near = path((0.06, -0.04),
                    ((0.02, -0.22), (-0.12, -0.40), (-0.36, -0.50)),
                    ((-0.28, -0.34), (-0.24, -0.18), (-0.20, -0.02)))
        return [body, neck, head, beak], [far], [near]
    # wings down: the downstroke
    far = path((0.08, -0.06),
               ((0.02, -0.22), (-0.10, -0.30), (-0.30, -0.34)),
               ((-0.22, -0.22), (-0.20, -0.10), (-0.14, -0.04)))
    near = path((0.08, 0.0),
                ((0.02, 0.18), (-0.10, 0.34), (-0.30, 0.42)),
                ((-0.24, 0.26), (-0.22, 0.12), (-0.18, 0.02)))
    return [body, neck, head, beak], [far], [near]


def goose_mask(size, scale, angle, dx, dy, wings="up", flip=False):
    body, far, near = goose_parts(wings)
    polys = [transform(p, scale, angle, dx, dy, flip) for p in far + body + near]
    return poly_mask(size, polys)


def envelope_polys(cx, cy, w, h, angle):
    """Outline and flap of a small envelope centred at (cx, cy)."""
    rect = [(-w / 2, -h / 2), (w / 2, -h / 2), (w / 2, h / 2), (-w / 2, h / 2)]
    flap = [(-w / 2, -h / 2), (0, h * 0.12), (w / 2, -h / 2)]
    return transform(rect, 1, angle, cx, cy), transform(flap, 1, angle, cx, cy)


# ---------------------------------------------------------------- the emblem

def emblem(px, simple=False):
    """The studio's round emblem, RGBA, px × px: a cream wild goose in flight
    on a blue-green disc with a thin gold ring. From 128 px on, the larger
    canvas carries what smaller sizes cannot show: misty hills low in the disc,
    an inner gold line, the goose's feathers and eye, and the letter it carries."""
    k = 8
    S = px * k
    detailed = px >= LARGE_ICON
    img = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    c = S / 2
    r = S / 2 - k * 0.5
    disc = Image.new("L", (S, S), 0)
    ImageDraw.Draw(disc).ellipse([c - r, c - r, c + r, c + r], fill=255)
    fill = radial_gradient((S, S), (c * 0.75, c * 0.65), r * 1.5,
                           [(0, (88, 146, 148)), (0.6, (44, 92, 98)), (1, (22, 52, 58))])
    paint_image(img, fill, disc)
    if detailed:
        emblem_hills(img, disc, S)
    ring_w = k * 1.1 if simple else max(k, S * 0.045)
    ring = Image.new("L", (S, S), 0)
    rd = ImageDraw.Draw(ring)
    rd.ellipse([c - r, c - r, c + r, c + r], fill=255)
    rd.ellipse([c - r + ring_w, c - r + ring_w, c + r - ring_w, c + r - ring_w], fill=0)
    paint(img, GOLD, ring)
    if detailed:
        inner = Image.new("L", (S, S), 0)
        gap, line = ring_w + S * 0.018, max(k, S * 0.006)
        ImageDraw.Draw(inner).ellipse([c - r + gap, c - r + gap, c + r - gap, c + r - gap],
                                      outline=255, width=int(line))
        paint(img, GOLD + (150,), inner)
    scale = S * (0.80 if simple else 0.68)
    # turned by -18°, the goose spans x -0.50 .. 0.66 and y -0.55 .. 0.19 of its length
    place = (scale, -18, c - 0.08 * scale, c + 0.18 * scale)
    if detailed:
        emblem_letter(img, S, place)
    g = goose_mask((S, S), *place, "up")
    paint(img, CREAM, g)
    if detailed:
        emblem_goose_details(img, S, place, g)
    return shrink(img, (px, px))


# From this size on the icon is drawn with its details (the desktop's 128 and 256).
LARGE_ICON = 128


def emblem_hills(img, disc, S):
    """Two misty ridges across the lower part of the disc, lighter than the sky."""
    for base, waves, col, alpha in ((0.74, [(0.030, 0.55, 0.4), (0.012, 0.21, 1.7)], (120, 170, 166), 120),
                                    (0.83, [(0.026, 0.70, 2.1), (0.010, 0.17, 0.3)], (150, 190, 180), 150)):
        top = ridge(S, base * S, [(a * S, p * S, ph) for a, p, ph in waves], step=max(1, S // 256))
        hill = poly_mask((S, S), [top + [(S, S), (0, S)]])
        hill = ImageChops.multiply(hill, disc)
        paint(img, col + (alpha,), hill.filter(ImageFilter.GaussianBlur(S * 0.004)))


def emblem_letter(img, S, place):
    """The letter tied under the goose (鸿雁传书): a cream envelope with a vermilion seal."""
    scale, angle, dx, dy = place
    (fx, fy), = transform([(-0.06, 0.02)], scale, angle, dx, dy)   # under the body
    (ex, ey), = transform([(0.02, 0.23)], scale, angle, dx, dy)     # where the letter hangs
    w, h = scale * 0.22, scale * 0.145
    tie = Image.new("L", (S, S), 0)
    ImageDraw.Draw(tie).line([(fx, fy), (ex, ey - h * 0.35)], fill=255, width=max(2, int(S * 0.006)))
    paint(img, GOLD, tie)
    rect, flap = envelope_polys(ex, ey, w, h, angle + 10)
    paint(img, (72, 50, 40, 90), poly_mask((S, S), [[(x + S * 0.006, y + S * 0.008) for x, y in rect]])
          .filter(ImageFilter.GaussianBlur(S * 0.004)))
    paint(img, CREAM, poly_mask((S, S), [rect]))
    fold = Image.new("L", (S, S), 0)
    ImageDraw.Draw(fold).line(flap, fill=255, width=max(2, int(S * 0.005)), joint="curve")
    paint(img, (176, 146, 104), fold)
    seal = Image.new("L", (S, S), 0)
    (sx, sy), = transform([(0, h * 0.10)], 1, angle + 10, ex, ey)
    sr = h * 0.17
    ImageDraw.Draw(seal).ellipse([sx - sr, sy - sr, sx + sr, sy + sr], fill=255)
    paint(img, VERMILION, seal)


def emblem_goose_details(img, S, place, goose):
    """Feather lines on both wings, a gold beak and a dark eye, kept inside the goose."""
    scale, angle, dx, dy = place
    lines = Image.new("L", (S, S), 0)
    ld = ImageDraw.Draw(lines)
    width = max(2, int(S * 0.005))
    # primaries fanning out towards the tips of the far and the near wing
    for root, tips in (((0.02, -0.10), [(-0.20, -0.56), (-0.14, -0.46), (-0.09, -0.34)]),
                       ((-0.02, -0.05), [(-0.30, -0.47), (-0.22, -0.38), (-0.16, -0.28)])):
        for tip in tips:
            mid = ((root[0] + tip[0]) / 2 + 0.03, (root[1] + tip[1]) / 2)
            ld.line(transform(bezier(root, mid, mid, tip, 12), scale, angle, dx, dy),
                    fill=255, width=width, joint="curve")
    paint(img, (196, 182, 150), ImageChops.multiply(lines, goose))
    beak = transform([(0.63, -0.17), (0.74, -0.135), (0.63, -0.115)], scale, angle, dx, dy)
    paint(img, GOLD, poly_mask((S, S), [beak]))
    eye = Image.new("L", (S, S), 0)
    (ex, ey), = transform([(0.605, -0.152)], scale, angle, dx, dy)
    er = scale * 0.011
    ImageDraw.Draw(eye).ellipse([ex - er, ey - er, ex + er, ey + er], fill=255)
    paint(img, (30, 40, 44), eye)


# ---------------------------------------------------------------- banner (145)

BANNER_W, BANNER_H, STRIP_H = 346, 295, 30


def ridge(width, base, waves, step=4):
    """Points of a hill line: base height plus a sum of (amplitude, period, phase) waves."""
    pts = []
    for x in range(0, width + step, step):
        y = base
        for amp, period, phase in waves:
            y += amp * math.sin(2 * math.pi * x / period + phase)
        pts.append((x, y))
    return pts


def draw_strip(k):
    """The maker's band across the top: emblem and studio name (text added later at 1×)."""
    W, H = BANNER_W * k, STRIP_H * k
    strip = vertical_gradient((W, H), [(0, (44, 80, 86)), (0.5, (30, 60, 66)), (1, (22, 46, 52))])
    strip = strip.convert("RGBA")
    d = ImageDraw.Draw(strip)
    d.rectangle([0, 0, W, k - 1], fill=(70, 112, 116))                # top highlight
    d.rectangle([0, H - k, W, H], fill=(196, 160, 92))                # gold rule at the bottom
    # a faint flight of ripples on the right, like wind over water
    wave = Image.new("L", (W, H), 0)
    wd = ImageDraw.Draw(wave)
    for i in range(5):
        y0 = H * (0.30 + 0.11 * i)
        pts = [(x, y0 + 1.6 * k * math.sin(x / (9.0 * k) + i * 0.9)) for x in range(int(W * 0.55), W + 1, k)]
        wd.line(pts, fill=255, width=k // 2 + 1)
    fade = Image.linear_gradient("L").rotate(90).resize((W, H))   # left dark, right bright
    fade = ImageChops.invert(fade)
    paint(strip, (120, 160, 160, 60), ImageChops.multiply(wave, fade))
    return strip


def draw_scene(k):
    """The title picture below the strip: dusk sky, misty hills, a flight of geese."""
    W, H = BANNER_W * k, (BANNER_H - STRIP_H) * k
    sky = vertical_gradient((W, H), [(0.0, (40, 78, 92)), (0.30, (86, 128, 136)),
                                     (0.50, (170, 178, 160)), (0.62, (232, 212, 168)),
                                     (0.72, (244, 220, 172)), (1.0, (240, 216, 170))]).convert("RGBA")
    # the setting sun and its glow
    sun_c = (int(W * 0.74), int(H * 0.60))
    glow = radial_gradient((W, H), sun_c, 150 * k,
                           [(0, (255, 236, 190, 170)), (0.25, (255, 226, 170, 90)),
                            (0.6, (250, 214, 160, 30)), (1, (250, 214, 160, 0))])
    sky.alpha_composite(glow)
    sun = Image.new("L", (W, H), 0)
    sr = 20 * k
    ImageDraw.Draw(sun).ellipse([sun_c[0] - sr, sun_c[1] - sr, sun_c[0] + sr, sun_c[1] + sr], fill=255)
    paint_image(sky, radial_gradient((W, H), (sun_c[0] - 5 * k, sun_c[1] - 6 * k), sr * 1.5,
                                     [(0, (255, 248, 228)), (1, (252, 214, 150))]), sun)

    # thin clouds drifting across the sky
    clouds = Image.new("L", (W, H), 0)
    cd = ImageDraw.Draw(clouds)
    rnd = random.Random(7)
    for cx, cy, cw, ch in [(0.70, 0.20, 0.36, 0.028), (0.86, 0.27, 0.30, 0.022), (0.52, 0.34, 0.30, 0.02),
                           (0.20, 0.47, 0.40, 0.024), (0.62, 0.46, 0.28, 0.016), (0.95, 0.52, 0.22, 0.018),
                           (0.08, 0.56, 0.20, 0.014), (0.40, 0.55, 0.22, 0.012)]:
        for _ in range(4):
            x = (cx + rnd.uniform(-0.05, 0.05)) * W
            y = (cy + rnd.uniform(-0.01, 0.01)) * H
            w2 = cw * W * rnd.uniform(0.35, 0.6)
            h2 = ch * H * rnd.uniform(0.6, 1.1)
            cd.ellipse([x - w2, y - h2, x + w2, y + h2], fill=rnd.randint(120, 200))
    clouds = clouds.filter(ImageFilter.GaussianBlur(5 * k))
    paint(sky, (255, 246, 226, 150), clouds)

    # misty hills, far to near; each fades into mist at its foot
    layers = [
        (0.64, [(7, 170, 0.3), (4, 70, 1.1), (2, 31, 2.0)], (150, 168, 156), 0.70),
        (0.72, [(10, 230, 2.2), (5, 90, 0.4), (2, 37, 1.0)], (110, 140, 134), 0.62),
        (0.81, [(9, 190, 4.0), (6, 110, 2.7), (2.5, 41, 0.5)], (70, 106, 104), 0.55),
        (0.91, [(8, 260, 1.3), (5, 95, 3.3), (2, 33, 2.2)], (36, 70, 72), 0.35),
    ]
    mist = (236, 218, 182)
    for i, (base, waves, col, mist_amount) in enumerate(layers):
        top = ridge(W, base * H, [(a * k, p * k, ph) for a, p, ph in waves], step=k)
        poly = top + [(W, H), (0, H)]
        mask = poly_mask((W, H), [poly])
        y_top = min(y for _, y in top)
        foot = (layers[i + 1][0] * H + 4 * k) if i + 1 < len(layers) else H
        grad = vertical_gradient((W, H), [(0, col), (max(0.0, y_top / H), mix(col, (255, 255, 255), 0.06)),
                                          (min(1.0, foot / H), mix(col, mist, mist_amount)),
                                          (1.0, mix(col, mist, mist_amount))])
        paint_image(sky, grad, mask)
        # a band of mist lying in the valley below this ridge
        band = Image.new("L", (W, H), 0)
        ImageDraw.Draw(band).rectangle([0, foot - 10 * k, W, foot + 3 * k], fill=110)
        band = band.filter(ImageFilter.GaussianBlur(6 * k))
        if i + 1 < len(layers):
            paint(sky, mist + (255,), band)

    # a few pines on the nearest ridge
    near = ridge(W, layers[-1][0] * H, [(a * k, p * k, ph) for a, p, ph in layers[-1][1]], step=k)
    pines = Image.new("L", (W, H), 0)
    pd = ImageDraw.Draw(pines)
    for px, ph in [(0.045, 17), (0.075, 12), (0.10, 9), (0.88, 14), (0.915, 19), (0.95, 11)]:
        x = px * W
        y = near[int(x / k)][1] + 2 * k
        h = ph * k
        pd.line([(x, y), (x, y - h)], fill=255, width=k)
        for j in range(4):
            t = j / 4
            wy = y - h * (0.25 + 0.75 * t)
            ww = h * 0.30 * (1 - t * 0.7)
            pd.polygon([(x - ww, wy + h * 0.12), (x + ww, wy + h * 0.12), (x, wy - h * 0.12)], fill=255)
    paint(sky, (28, 56, 58), pines)

    # the flight of geese (鸿雁传书): the leader carries a letter
    flock = Image.new("L", (W, H), 0)
    lead = (0.87, 0.31)
    heading = -14
    # a "人"-shaped skein: two arms trailing behind the leader, seen slightly from below
    a = math.radians(heading)
    members = [(lead, 35, "up")]
    for arm, count, spread in ((1, 4, 0.58), (-1, 2, 0.40)):
        for i in range(1, count + 1):
            back, side = -24 * i, arm * 24 * i * spread
            px = back * math.cos(a) - side * math.sin(a)
            py = back * math.sin(a) + side * math.cos(a)
            members.append(((lead[0] + px / BANNER_W, lead[1] + py / (BANNER_H - STRIP_H)),
                            35 - 3 * i, "down" if (i + (arm < 0)) % 2 else "up"))
    for (fx, fy), size, wings in members:
        m = goose_mask((W, H), size * k, heading, fx * W, fy * H, wings)
        flock = ImageChops.lighter(flock, m)
    paint(sky, (38, 52, 58, 235), flock)
    # the letter, tied under the leader
    lx, ly = lead[0] * W + 1 * k, lead[1] * H + 13 * k
    rect, flap = envelope_polys(lx, ly, 15 * k, 10 * k, heading + 8)
    tie = Image.new("L", (W, H), 0)
    ImageDraw.Draw(tie).line([(lead[0] * W - 1 * k, lead[1] * H + 1 * k), (lx, ly - 4 * k)],
                             fill=255, width=k)
    paint(sky, (38, 52, 58), tie)
    env = poly_mask((W, H), [rect])
    paint(sky, (252, 246, 232), env)
    edge = Image.new("L", (W, H), 0)
    ed = ImageDraw.Draw(edge)
    ed.line(rect + [rect[0]], fill=255, width=max(1, k // 2))
    ed.line(flap, fill=255, width=max(1, k // 2))
    paint(sky, (120, 96, 70), edge)
    seal = Image.new("L", (W, H), 0)
    sx, sy = lx + 0.5 * k, ly + 1 * k
    ImageDraw.Draw(seal).ellipse([sx - 1.8 * k, sy - 1.8 * k, sx + 1.8 * k, sy + 1.8 * k], fill=255)
    paint(sky, VERMILION, seal)

    # the title: 飞鸿信使 in large type with a soft shadow
    title_font = cjk_font(50 * k)
    title = "飞鸿信使"
    tx, ty = 18 * k, 18 * k
    spacing = 3 * k
    text_mask = Image.new("L", (W, H), 0)
    td = ImageDraw.Draw(text_mask)
    x = tx
    for ch in title:
        td.text((x, ty), ch, font=title_font, fill=255, stroke_width=int(0.7 * k), stroke_fill=255)
        x += title_font.getlength(ch) + spacing
    shadow = text_mask.filter(ImageFilter.GaussianBlur(2.5 * k))
    shadow = ImageChops.offset(shadow, int(1.5 * k), int(2 * k))
    paint(sky, (14, 34, 40, 200), shadow)
    title_fill = vertical_gradient((W, H), [(0, (255, 252, 240)), ((ty + 20 * k) / H, (255, 248, 228)),
                                            ((ty + 58 * k) / H, (240, 214, 158)), (1, (240, 214, 158))])
    paint_image(sky, title_fill, text_mask)
    return sky, (tx, ty, x - spacing)


def banner():
    k = 4
    img = Image.new("RGBA", (BANNER_W * k, BANNER_H * k))
    img.alpha_composite(draw_strip(k), (0, 0))
    scene, (tx, ty, tx_end) = draw_scene(k)
    img.alpha_composite(scene, (0, STRIP_H * k))
    img = shrink(img, (BANNER_W, BANNER_H))

    # small elements and text at the final size, where hinting keeps them crisp
    logo = emblem(24)
    img.alpha_composite(logo, (6, 3))
    d = ImageDraw.Draw(img)
    name_font = cjk_font(15)
    d.text((37, 6), "青岚游戏工作室", font=name_font, fill=(250, 242, 222))
    place_font = cjk_font(12)
    place = "中国 · 杭州"
    d.text((BANNER_W - 10 - place_font.getlength(place), 9), place, font=place_font, fill=(196, 176, 128))

    top = STRIP_H
    x0 = tx // k
    line_y = top + 80
    latin = latin_font("bold", 11)
    word = "P O S T W I N G"
    d.text((x0 + 1, line_y), word, font=latin, fill=(244, 236, 214))
    wx = x0 + 1 + latin.getlength(word) + 10
    # the version mark as a small vermilion seal
    ver_font = latin_font("italic", 12)
    ver = "Ver 1.2"
    vw = ver_font.getlength(ver)
    seal = Image.new("RGBA", (BANNER_W * k, BANNER_H * k), (0, 0, 0, 0))
    sd = ImageDraw.Draw(seal)
    sx0, sy0 = wx * k, (line_y - 3) * k
    sd.rounded_rectangle([sx0, sy0, sx0 + (vw + 12) * k, sy0 + 18 * k], radius=3 * k,
                         fill=VERMILION + (255,))
    seal = shrink(seal, (BANNER_W, BANNER_H))
    img.alpha_composite(seal)
    d.text((wx + 6, line_y - 1), ver, font=ver_font, fill=(255, 244, 226))
    tag_font = cjk_font(12)
    d.text((x0 + 1, line_y + 22), "邮件群发 · 定时投递", font=tag_font, fill=(236, 230, 212))
    return img.convert("RGB")



# ---------------------------------------------------------------- portrait (137)

def portrait():
    """The author, an illustrated head-and-shoulders portrait, 76 × 94."""
    W, H, k = 76, 94, 8

    def P(*pts):
        return [(x * k, y * k) for x, y in pts]

    def shape(start, *curves):
        return [(x * k, y * k) for x, y in path(start, *curves)]

    size = (W * k, H * k)
    img = vertical_gradient(size, [(0, (214, 218, 204)), (0.6, (170, 186, 178)),
                                   (1, (112, 140, 138))]).convert("RGBA")
    img.alpha_composite(radial_gradient(size, (38 * k, 36 * k), 46 * k,
                                        [(0, (250, 244, 226, 200)), (0.55, (246, 238, 216, 90)),
                                         (1, (240, 230, 210, 0))]))
    d = ImageDraw.Draw(img)
    skin, skin_shade = (244, 212, 182), (226, 184, 150)
    hair = (40, 34, 34)

    # shoulders in a dark blue-green jacket over a white shirt
    torso = shape((-2, 96), (-1, 81), ((4, 71), (18, 65), (30, 63)), (46, 63),
                  ((58, 65), (72, 71), (77, 81)), (78, 96))
    paint_image(img, vertical_gradient(size, [(0, (60, 84, 92)), (0.75, (52, 76, 84)), (1, (28, 46, 54))]),
                poly_mask(size, [torso]))
    d.polygon(shape((29, 63), (38, 81), (47, 63)), fill=(246, 244, 236))          # shirt
    # neck, with the chin's shadow at its top
    d.polygon(shape((31.5, 52), (44.5, 52), (45.5, 64), ((42, 69), (34, 69), (30.5, 64))), fill=skin_shade)
    d.polygon(shape((30, 61), (38, 73), (36, 76), (27, 64)), fill=(232, 232, 224))  # collar, left
    d.polygon(shape((46, 61), (38, 73), (40, 76), (49, 64)), fill=(232, 232, 224))  # collar, right
    lapel = (38, 60, 68)
    d.polygon(shape((27, 64), (36, 77), (33, 87), (22, 69)), fill=lapel)
    d.polygon(shape((49, 64), (40, 77), (43, 87), (54, 69)), fill=lapel)
    d.ellipse(P((37.2, 81), (38.8, 82.6)), fill=(30, 44, 50))                       # a button

    # ears and face
    for cx in (22.2, 53.8):
        d.ellipse(P((cx - 2.8, 35.5), (cx + 2.8, 44)), fill=skin_shade)
    face = shape((22.5, 30), ((22, 45), (28, 56.5), (38, 60.5)), ((48, 56.5), (54, 45), (53.5, 30)),
                 ((53.5, 14), (22.5, 14), (22.5, 30)))
    paint(img, skin, poly_mask(size, [face]))
    # soft shading on the far side of the face
    shade = Image.new("L", size, 0)
    ImageDraw.Draw(shade).ellipse(P((44, 20), (62, 66)), fill=110)
    shade = ImageChops.multiply(shade.filter(ImageFilter.GaussianBlur(4 * k)), poly_mask(size, [face]))
    paint(img, skin_shade, shade)

    # hair: short, parted on the left, a soft fringe
    hair_poly = shape((20.8, 40), ((16.5, 20), (24, 5), (39, 5.5)), ((54, 5.5), (60.5, 18), (55.2, 40)),
                      (53.6, 31), ((52, 23), (46, 18.5), (38, 19.5)),
                      ((31, 20.5), (25.5, 25), (23.4, 37)))
    paint(img, hair, poly_mask(size, [hair_poly]))
    strands = Image.new("L", size, 0)
    sd = ImageDraw.Draw(strands)
    for pts in (((27, 13), (33, 9.5), (41, 9)), ((31, 15.5), (38, 12), (47, 12.5)),
                ((44, 9.5), (50, 11.5), (54, 17))):
        sd.line(bezier(*[(x * k, y * k) for x, y in (pts[0], pts[1], pts[1], pts[2])]),
                fill=255, width=int(0.9 * k), joint="curve")
    paint(img, (96, 86, 84, 170), strands.filter(ImageFilter.GaussianBlur(0.5 * k)))

    # brows, eyes with a glint, glasses
    d.line(P((27.5, 32.2), (30.5, 31.2), (34.5, 31.6)), fill=hair, width=int(1.3 * k), joint="curve")
    d.line(P((41.5, 31.6), (45.5, 31.2), (48.5, 32.2)), fill=hair, width=int(1.3 * k), joint="curve")
    for cx in (31, 45):
        d.ellipse(P((cx - 2.1, 35.9), (cx + 2.1, 39.3)), fill=(46, 36, 34))
        d.ellipse(P((cx - 0.2, 36.4), (cx + 0.9, 37.5)), fill=(255, 255, 255))
    frame = (70, 58, 54)
    d.rounded_rectangle(P((25.6, 33.6), (36.2, 41.6)), radius=2.5 * k, outline=frame, width=int(0.75 * k))
    d.rounded_rectangle(P((39.8, 33.6), (50.4, 41.6)), radius=2.5 * k, outline=frame, width=int(0.75 * k))
    d.line(P((36.2, 36.6), (39.8, 36.6)), fill=frame, width=int(0.7 * k))
    d.line(P((25.6, 36), (22.8, 35.2)), fill=frame, width=int(0.7 * k))
    d.line(P((50.4, 36), (53.2, 35.2)), fill=frame, width=int(0.7 * k))

    # nose, smile, a little colour in the cheeks
    d.line(P((38.6, 40.5), (39.2, 45.5), (37.4, 46.6)), fill=(206, 160, 128), width=int(0.8 * k), joint="curve")
    d.arc(P((33.5, 47.5), (42.5, 53.5)), start=25, end=155, fill=(172, 92, 84), width=int(1.0 * k))
    blush = Image.new("L", size, 0)
    bd = ImageDraw.Draw(blush)
    bd.ellipse(P((26, 43), (32, 48)), fill=90)
    bd.ellipse(P((44, 43), (50, 48)), fill=90)
    paint(img, (236, 150, 140), blush.filter(ImageFilter.GaussianBlur(1.5 * k)))

    img = shrink(img, (W, H)).convert("RGB")
    ImageDraw.Draw(img).rectangle([0, 0, W - 1, H - 1], outline=(92, 110, 108))
    return img


# ---------------------------------------------------------------- alarm clock (148) and blank (149)

CLOCK_W, CLOCK_H = 26, 34


def alarm_clock():
    """An alarm clock with two bells and two legs on the window's background, 26 × 34."""
    k = 8
    size = (CLOCK_W * k, CLOCK_H * k)

    def P(*pts):
        return [(x * k, y * k) for x, y in pts]

    img = Image.new("RGBA", size, WINDOW_BG + (255,))
    d = ImageDraw.Draw(img)
    cx, cy, r = 13, 19.5, 10.4
    metal_dark, metal = (92, 70, 40), (212, 172, 84)

    # a faint shadow on the ground
    sh = Image.new("L", size, 0)
    ImageDraw.Draw(sh).ellipse(P((4, 31.6), (22, 34)), fill=110)
    paint(img, (120, 114, 100), sh.filter(ImageFilter.GaussianBlur(0.8 * k)))
    # legs
    for side in (-1, 1):
        d.line(P((cx + side * 5.5, cy + 8), (cx + side * 8.2, 32.6)), fill=(60, 44, 36), width=int(2.2 * k))
        d.ellipse(P((cx + side * 8.2 - 1.4, 31.6), (cx + side * 8.2 + 1.4, 33.6)), fill=(60, 44, 36))
    # hammer between the bells, then the bells
    d.line(P((cx, cy - r + 1), (cx, 4.2)), fill=metal_dark, width=int(1.3 * k))
    d.ellipse(P((cx - 1.6, 2.2), (cx + 1.6, 5.4)), fill=metal_dark)
    for side in (-1, 1):
        a = math.radians(90 - side * 44)
        bx, by = cx + math.cos(a) * (r + 0.2), cy - math.sin(a) * (r + 0.2)
        bell = Image.new("L", size, 0)
        # a dome whose flat side faces the clock body
        dome = [(bx + math.cos(t) * 4.8, by - math.sin(t) * 4.8) for t in
                [a - math.pi / 2 + math.pi * i / 24 for i in range(25)]]
        ImageDraw.Draw(bell).polygon([(x * k, y * k) for x, y in dome], fill=255)
        paint_image(img, radial_gradient(size, ((bx - 1.5) * k, (by - 2.0) * k), 7 * k,
                                         [(0, (255, 236, 170)), (0.5, metal), (1, metal_dark)]), bell)
        d.ellipse(P((bx + math.cos(a) * 4.8 - 1, by - math.sin(a) * 4.8 - 1),
                    (bx + math.cos(a) * 4.8 + 1, by - math.sin(a) * 4.8 + 1)), fill=metal_dark)
    # the case: a vermilion ring with light from the upper left
    case = Image.new("L", size, 0)
    ImageDraw.Draw(case).ellipse(P((cx - r, cy - r), (cx + r, cy + r)), fill=255)
    paint_image(img, radial_gradient(size, ((cx - 4) * k, (cy - 5) * k), 17 * k,
                                     [(0, (240, 110, 90)), (0.45, (196, 44, 34)), (1, (110, 20, 16))]), case)
    # the dial
    fr = 8.0
    d.ellipse(P((cx - fr - 0.6, cy - fr - 0.6), (cx + fr + 0.6, cy + fr + 0.6)), fill=(120, 28, 22))
    dial = Image.new("L", size, 0)
    ImageDraw.Draw(dial).ellipse(P((cx - fr, cy - fr), (cx + fr, cy + fr)), fill=255)
    paint_image(img, radial_gradient(size, ((cx - 2) * k, (cy - 3) * k), 11 * k,
                                     [(0, (255, 253, 244)), (0.7, (246, 238, 220)), (1, (214, 202, 180))]), dial)
    for i in range(12):
        t = math.radians(i * 30)
        r0 = 6.0 if i % 3 == 0 else 6.6
        d.line(P((cx + math.sin(t) * r0, cy - math.cos(t) * r0), (cx + math.sin(t) * 7.3, cy - math.cos(t) * 7.3)),
               fill=(60, 50, 46), width=int((1.1 if i % 3 == 0 else 0.6) * k))
    # hands at two o'clock
    for angle, length, width in ((60, 4.4, 1.3), (0, 6.2, 0.9)):
        t = math.radians(angle)
        d.line(P((cx, cy), (cx + math.sin(t) * length, cy - math.cos(t) * length)), fill=(36, 30, 30),
               width=int(width * k))
    d.ellipse(P((cx - 0.9, cy - 0.9), (cx + 0.9, cy + 0.9)), fill=(36, 30, 30))
    # a glint on the glass
    glint = Image.new("L", size, 0)
    ImageDraw.Draw(glint).arc(P((cx - 6.6, cy - 6.6), (cx + 6.6, cy + 6.6)), start=200, end=250, fill=255,
                              width=int(0.9 * k))
    paint(img, (255, 255, 255, 170), glint)
    return shrink(img, (CLOCK_W, CLOCK_H)).convert("RGB")


def blank():
    return Image.new("RGB", (CLOCK_W, CLOCK_H), WINDOW_BG)


# ---------------------------------------------------------------- files

def write_bmp(img, filename):
    """Writes a 24-bit, uncompressed, bottom-up DIB with a 40-byte header and no colour table."""
    img = img.convert("RGB")
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    pixels = img.tobytes("raw", "BGR")
    rows = []
    for y in range(h - 1, -1, -1):
        row = pixels[y * w * 3:(y + 1) * w * 3]
        rows.append(row + b"\0" * (stride - len(row)))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    with open(filename, "wb") as f:
        f.write(head + info + data)


def check_bmp(filename, size, expect=None):
    """Reads a written bitmap back and checks the layout the program's loader relies on."""
    with open(filename, "rb") as f:
        raw = f.read()
    magic, file_size, _, _, offset = struct.unpack_from("<2sIHHI", raw, 0)
    (hsize, w, h, planes, bpp, compression, image_size, _, _, used, _) = struct.unpack_from("<IiiHHIIiiII", raw, 14)
    stride = (w * 3 + 3) & ~3
    problems = []
    if magic != b"BM" or file_size != len(raw):
        problems.append("file header")
    if offset != 54 or hsize != 40:
        problems.append("pixels do not follow the 40-byte header")
    if (w, h) != size:
        problems.append("size %dx%d" % (w, h))
    if planes != 1 or bpp != 24 or compression != 0 or used != 0:
        problems.append("not 24-bit BI_RGB without colour table")
    if image_size != stride * h or len(raw) != 54 + stride * h:
        problems.append("pixel data size")
    if expect is not None:
        back = Image.frombytes("RGB", (w, h), b"".join(
            raw[54 + (h - 1 - y) * stride:54 + (h - 1 - y) * stride + w * 3] for y in range(h)), "raw", "BGR")
        if back.tobytes() != expect.convert("RGB").tobytes():
            problems.append("pixels read back differ")
    if problems:
        raise SystemExit("%s: %s" % (filename, ", ".join(problems)))


def write_ico(images, filename):
    """A Windows icon with one 32-bit BMP entry (colour plus AND mask) per image."""
    entries, blobs = [], []
    for im in images:
        im = im.convert("RGBA")
        w, h = im.size
        bgra = im.tobytes("raw", "BGRA")
        xor = b"".join(bgra[y * w * 4:(y + 1) * w * 4] for y in range(h - 1, -1, -1))
        mask_stride = ((w + 31) // 32) * 4
        alpha = im.getchannel("A")
        mask_rows = []
        for y in range(h - 1, -1, -1):
            bits = bytearray(mask_stride)
            for x in range(w):
                if alpha.getpixel((x, y)) == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask_rows.append(bytes(bits))
        info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask_rows) * mask_stride,
                           0, 0, 0, 0)
        blobs.append(info + xor + b"".join(mask_rows))
        entries.append((w, h))
    offset = 6 + 16 * len(images)
    out = [struct.pack("<HHH", 0, 1, len(images))]
    for (w, h), blob in zip(entries, blobs):
        out.append(struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset))
        offset += len(blob)
    with open(filename, "wb") as f:
        f.write(b"".join(out + blobs))


# ---------------------------------------------------------------- previews

def save_preview(img, name, factor, preview_dir):
    if not preview_dir:
        return
    os.makedirs(preview_dir, exist_ok=True)
    big = img.convert("RGBA")
    if big.getchannel("A").getextrema()[0] < 255:
        # show transparency on a checkerboard
        board = Image.new("RGBA", big.size, (255, 255, 255, 255))
        bd = ImageDraw.Draw(board)
        for y in range(0, big.size[1], 4):
            for x in range(0, big.size[0], 4):
                if (x // 4 + y // 4) % 2:
                    bd.rectangle([x, y, x + 3, y + 3], fill=(200, 200, 200, 255))
        board.alpha_composite(big)
        big = board
    big = big.resize((img.size[0] * factor, img.size[1] * factor), Image.NEAREST)
    big.convert("RGB").save(os.path.join(preview_dir, "preview_" + name + ".png"))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--preview", metavar="DIR", help="also write enlarged PNG copies to DIR")
    args = ap.parse_args()
    os.makedirs(RES, exist_ok=True)

    bitmaps = [("137_portrait.bmp", portrait(), (76, 94), 4),
               ("145_banner.bmp", banner(), (346, 295), 2),
               ("148_clock.bmp", alarm_clock(), (26, 34), 10),
               ("149_blank.bmp", blank(), (26, 34), 10)]
    for name, img, size, factor in bitmaps:
        if img.size != size:
            raise SystemExit("%s drawn at %s, wanted %s" % (name, img.size, size))
        target = os.path.join(RES, name)
        write_bmp(img, target)
        check_bmp(target, size, img)
        save_preview(img, name[:-4], factor, args.preview)
        print("wrote", os.path.relpath(target, ROOT))

    icons = [emblem(16, simple=True), emblem(32), emblem(48)]
    for im in icons:
        target = os.path.join(RES, "128_icon_%d.png" % im.size[0])
        im.save(target, optimize=True)
        print("wrote", os.path.relpath(target, ROOT))
        save_preview(im, "icon_%d" % im.size[0], 8, args.preview)
    write_ico(icons, os.path.join(RES, "128_icon.ico"))
    print("wrote res/128_icon.ico")

    # The desktop's larger icons, drawn at their size with the emblem's details;
    # kept apart from res/*.png, which the window program embeds.
    os.makedirs(DESKTOP_ICONS, exist_ok=True)
    for px in (128, 256):
        im = emblem(px)
        target = os.path.join(DESKTOP_ICONS, "icon_%d.png" % px)
        im.save(target, optimize=True)
        print("wrote", os.path.relpath(target, ROOT))
        save_preview(im, "icon_%d" % px, 2, args.preview)

if __name__ == "__main__":
    main()
