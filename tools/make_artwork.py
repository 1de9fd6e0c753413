#!/usr/bin/python3
"""Draws the program's skin bitmaps and icon into res/ and a contact sheet of them into build/artwork/.

    tools/make_artwork.py          draws them (run by Debian's /usr/bin/python3, which has python3-pil)
    tools/make_artwork.py --help   this text
The outputs under res/ are committed; the build never runs this. Every run draws the same bytes.
"""

import sys

if sys.argv[1:2] in (["-h"], ["--help"]):  # before the imports below, which need Debian's python3 and write caches
    print(__doc__.strip())
    sys.exit(0)

import io
import math
import os
import random
import struct

from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BITMAP_DIR = os.path.join(ROOT, "res", "bitmaps")
ICON_PATH = os.path.join(ROOT, "res", "TarnvikHSDownloader.ico")
SHEET_DIR = os.path.join(ROOT, "build", "artwork")
FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

SS = 4  # supersampling factor for anti-aliased shapes and text

# Window and control geometry the artwork has to respect (main window client pixels).
WIN_W, WIN_H = 650, 360
BAND_H = 52                      # flat top band that carries the logo and the small buttons
BAND_FADE = 36                   # rows below the band over which it melts into the sky
ACTION_POS = (255, 269)          # Download, Install and Redownload share this place
ACTION_SIZE = (140, 39)
SMALL_SIZE = (12, 12)
BROWSE_POS = (488, 184)
CALM_MARGIN = 8                  # no stars this close to the path box and the browse button
BROWSE_SIZE = (43, 30)
PATH_FRAME = (158, 184, 488, 213)  # inclusive outline of the path box drawn into the backgrounds
TIP_POS = (172, 88)              # where the centred confirmation lands on the main window
TIP_SIZE = (307, 185)
TIP_BOX = (38, 32, 268, 160)     # inclusive box of the confirmation, in its own pixels
TIP_BUTTON_SIZE = (92, 26)

# Fixed colours: the code and the layout rely on these.
FRAME_READY = (7, 178, 189)
FRAME_OTHER = (8, 176, 187)
BAND_NIGHT = (66, 47, 116)
BAND_DUSK = (61, 57, 73)
SMALL_BACK_NIGHT = (66, 47, 118)
SMALL_BACK_DUSK = (61, 57, 73)
PATH_READY = ((57, 55, 125), (168, 165, 216))   # fill, border
PATH_FAILED = ((73, 73, 91), (190, 190, 190))
BROWSE_READY = ((57, 55, 125), (168, 165, 216))
BROWSE_DUSK = ((69, 68, 87), (177, 176, 189))
TIP_BOX_FRAME = (8, 176, 187)
TIP_BOX_TOP, TIP_BOX_BOTTOM = (34, 66, 152), (26, 50, 124)
TIP_HEADER, TIP_HEADER_LINE = (26, 48, 116), (44, 84, 168)
TIP_HEADER_BOTTOM = 62           # last row of the box's title strip, which holds the X at (243, 46)
TIP_CLOSE_POS = (243, 46)        # where the confirmation's buttons sit, in its own pixels
TIP_OK_POS = (58, 115)
TIP_CANCEL_POS = (156, 115)

WHITE = (255, 255, 255)
RADIAL_EDGE_VALUE = 181  # Image.radial_gradient reaches 255 in the corners, 181 at the middle of each edge


# ---------------------------------------------------------------- drawing helpers

def font(px):
    return ImageFont.truetype(FONT_PATH, px)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def vertical_gradient(size, stops):
    """stops: [(y, colour), ...] in pixels, ascending; flat before the first and after the last."""
    w, h = size
    column = Image.new("RGB", (1, h))
    px = column.load()
    for y in range(h):
        if y <= stops[0][0]:
            c = stops[0][1]
        elif y >= stops[-1][0]:
            c = stops[-1][1]
        else:
            for (y0, c0), (y1, c1) in zip(stops, stops[1:]):
                if y0 <= y <= y1:
                    t = (y - y0) / (y1 - y0)
                    c = lerp(c0, c1, t * t * (3 - 2 * t))
                    break
        px[0, y] = c
    return column.resize((w, h), Image.NEAREST)


def supersampled_mask(size, paint):
    """Calls paint(draw, s) on a mask SS times larger and returns it shrunk by area averaging."""
    w, h = size
    big = Image.new("L", (w * SS, h * SS), 0)
    paint(ImageDraw.Draw(big), SS)
    return big.resize((w, h), Image.BOX)


def fill_mask(img, mask, colour, offset=(0, 0)):
    img.paste(Image.new("RGB", mask.size, colour), offset, mask)


def scale_mask(mask, factor):
    return mask.point(lambda v: min(255, round(v * factor)))


def radial_glow(img, centre, radius, colour, strength, squash=1.0):
    """A soft round (or, with squash < 1, flattened) light of the colour, strongest at the centre."""
    rx, ry = int(radius), max(1, int(radius * squash))
    ramp = Image.radial_gradient("L").resize((2 * rx, 2 * ry), Image.BICUBIC)
    edge = RADIAL_EDGE_VALUE
    mask = ramp.point(lambda v: round(strength * 255 * max(0.0, 1 - v / edge) ** 2))
    fill_mask(img, mask, colour, (int(centre[0]) - rx, int(centre[1]) - ry))


def text_mask(size, xy, text, px, anchor="mm", weight=0.0):
    """Anti-aliased text mask; weight thickens strokes (in pixels) for a bolder face."""
    f = font(px * SS)

    def paint(d, s):
        d.text((xy[0] * s, xy[1] * s), text, font=f, fill=255, anchor=anchor,
               stroke_width=round(weight * s), stroke_fill=255)
    return supersampled_mask(size, paint)


def draw_text(img, xy, text, px, colour, anchor="mm", weight=0.0, shadow=None, glow=None):
    mask = text_mask(img.size, xy, text, px, anchor, weight)
    if glow:
        glow_colour, radius, strength = glow
        fill_mask(img, scale_mask(mask.filter(ImageFilter.GaussianBlur(radius)), strength), glow_colour)
    if shadow:
        shadow_colour, dy, strength = shadow
        soft = scale_mask(mask.filter(ImageFilter.GaussianBlur(1)), strength)
        fill_mask(img, soft, shadow_colour, (0, dy))
    fill_mask(img, mask, colour)


def text_width(text, px, weight=0.0):
    return font(px).getlength(text) + 2 * weight


def rounded_rect_mask(size, box, radius):
    def paint(d, s):
        d.rounded_rectangle([box[0] * s, box[1] * s, (box[2] + 1) * s - 1, (box[3] + 1) * s - 1],
                            radius=radius * s, fill=255)
    return supersampled_mask(size, paint)


def outline_frame(img, colour):
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, img.width - 1, img.height - 1], outline=colour)


# ---------------------------------------------------------------- logo mark

def logo_mark(px):
    """The product's mark: a shield with a tick on a cyan-to-blue disc; RGBA, px square."""
    big = px * SS
    ramp = Image.linear_gradient("L").rotate(45, resample=Image.BICUBIC, expand=True)
    inset = (ramp.width - 256) // 2 + 16
    ramp = ramp.crop((inset, inset, ramp.width - inset, ramp.height - inset)).resize((big, big), Image.BICUBIC)
    disc_colour = Image.composite(Image.new("RGB", (big, big), (44, 96, 236)),
                                  Image.new("RGB", (big, big), (18, 214, 226)), ramp)
    mark = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    disc = Image.new("L", (big, big), 0)
    ImageDraw.Draw(disc).ellipse([0, 0, big - 1, big - 1], fill=255)
    mark.paste(disc_colour, (0, 0), disc)

    def at(x, y):
        return (x * big, y * big)
    shield = [at(0.5, 0.17), at(0.77, 0.27), at(0.75, 0.55), at(0.5, 0.84), at(0.25, 0.55), at(0.23, 0.27)]
    d = ImageDraw.Draw(mark)
    d.polygon(shield, fill=(255, 255, 255, 255))
    d.line([at(0.37, 0.5), at(0.47, 0.6), at(0.64, 0.39)], fill=(34, 140, 232, 255),
           width=max(1, round(big * 0.075)), joint="curve")
    return mark.resize((px, px), Image.BOX)


def draw_logo(img):
    mark = logo_mark(28)
    img.paste(mark, (16, 12), mark)
    draw_text(img, (52, 26), "Tarnvik浏览器", 16, WHITE, anchor="lm", weight=0.3)


# ---------------------------------------------------------------- scenes

# Glows: (centre, radius, colour, strength, squash). Hills, back to front: (top colour, foot colour, base line,
# amplitude, phase).
NIGHT = {
    "band": BAND_NIGHT,
    "sky": [(BAND_H, BAND_NIGHT), (150, (44, 40, 118)), (215, (36, 52, 138)), (275, (58, 96, 182))],
    "glows": [((540, 120), 210, (128, 74, 176), 0.32, 1.0), ((90, 210), 200, (44, 96, 196), 0.3, 1.0),
              ((325, 268), 330, (96, 150, 232), 0.45, 0.28)],
    "hills": [((66, 108, 204), (44, 74, 164), 250, 22, 0.4), ((40, 70, 162), (30, 50, 130), 276, 16, 2.1),
              ((24, 38, 100), (16, 24, 70), 304, 7, 3.6)],
    "stars": 80,
    "star_colour": (236, 240, 255),
}

DUSK = {
    "band": BAND_DUSK,
    "sky": [(BAND_H, BAND_DUSK), (160, (70, 66, 86)), (230, (96, 86, 104)), (275, (132, 112, 120))],
    "glows": [((325, 272), 340, (196, 146, 126), 0.34, 0.26), ((120, 130), 180, (84, 84, 108), 0.3, 1.0)],
    "hills": [((96, 90, 108), (76, 72, 90), 250, 22, 0.4), ((70, 66, 82), (56, 53, 68), 276, 16, 2.1),
              ((46, 44, 56), (36, 34, 44), 304, 7, 3.6)],
    "stars": 22,
    "star_colour": (226, 224, 236),
}


def hill_mask(base, amplitude, phase):
    def ridge(x):
        return base - amplitude * (0.55 * math.sin(x / 131 + phase) + 0.3 * math.sin(x / 67 + 2.3 * phase)
                                   + 0.15 * math.sin(x / 31 + 3.1 * phase))

    def paint(d, s):
        pts = [(x * s, ridge(x) * s) for x in range(0, WIN_W + 1, 2)]
        d.polygon(pts + [(WIN_W * s, WIN_H * s), (0, WIN_H * s)], fill=255)
    return supersampled_mask((WIN_W, WIN_H), paint)


def draw_stars(img, count, seed, colour):
    rng = random.Random(seed)
    stars = []
    while len(stars) < count:
        x, y = rng.uniform(8, WIN_W - 8), rng.uniform(8, 230)
        if y < BAND_H and (x < 200 or x > 560):
            continue  # keep the logo and the small buttons on a calm band
        if (PATH_FRAME[0] - CALM_MARGIN < x < BROWSE_POS[0] + BROWSE_SIZE[0] + CALM_MARGIN
                and PATH_FRAME[1] - CALM_MARGIN < y < PATH_FRAME[3] + CALM_MARGIN):
            continue  # nor under the path box and the browse button
        stars.append((x, y, rng.uniform(0.35, 1.0), rng.uniform(0.2, 0.9)))

    shapes = Image.new("L", (WIN_W * SS, WIN_H * SS), 0)
    d = ImageDraw.Draw(shapes)
    for x, y, r, bright in stars:
        d.ellipse([(x - r) * SS, (y - r) * SS, (x + r) * SS, (y + r) * SS], fill=round(255 * bright))
    fill_mask(img, shapes.resize((WIN_W, WIN_H), Image.BOX), colour)


def draw_shooting_star(img, head, tail):
    layer = Image.new("L", (WIN_W * SS, WIN_H * SS), 0)
    d = ImageDraw.Draw(layer)
    steps = 60
    for i in range(steps):
        t0, t1 = i / steps, (i + 1) / steps
        p0 = lerp(tail, head, t0)
        p1 = lerp(tail, head, t1)
        d.line([(p0[0] * SS, p0[1] * SS), (p1[0] * SS, p1[1] * SS)],
               fill=round(255 * t1 ** 1.8), width=max(1, round(SS * (0.4 + 1.6 * t1))))
    mask = layer.resize((WIN_W, WIN_H), Image.BOX)
    fill_mask(img, scale_mask(mask.filter(ImageFilter.GaussianBlur(2.5)), 0.9), (120, 200, 255))
    fill_mask(img, mask, (240, 248, 255))
    radial_glow(img, head, 9, (200, 230, 255), 0.8)


def draw_sparkle(img, centre, size):
    cx, cy = centre

    def paint(d, s):
        for dx, dy in ((size, 0.9), (0.9, size)):
            d.polygon([((cx - dx) * s, cy * s), (cx * s, (cy - dy) * s),
                       ((cx + dx) * s, cy * s), (cx * s, (cy + dy) * s)], fill=255)
    radial_glow(img, centre, size * 1.6, (170, 200, 255), 0.5)
    fill_mask(img, supersampled_mask(img.size, paint), (250, 252, 255))


def scene(palette, frame, seed, meteors=True):
    img = vertical_gradient((WIN_W, WIN_H), palette["sky"])
    for centre, radius, colour, strength, squash in palette["glows"]:
        radial_glow(img, centre, radius, colour, strength, squash)
    # The band is flat down to BAND_H and melts into the sky below it, so it shows no edge.
    band_fade = vertical_gradient((WIN_W, WIN_H), [(BAND_H - 1, (255,) * 3), (BAND_H + BAND_FADE, (0,) * 3)])
    fill_mask(img, band_fade.convert("L"), palette["band"])
    draw_stars(img, palette["stars"], seed, palette["star_colour"])
    if meteors:
        draw_shooting_star(img, (494, 78), (590, 56))
        draw_shooting_star(img, (54, 204), (116, 172))
        draw_sparkle(img, (606, 138), 6)
    for top, foot, base, amplitude, phase in palette["hills"]:
        body = vertical_gradient((WIN_W, WIN_H), [(base - amplitude, top), (base + 70, foot)])
        img.paste(body, (0, 0), hill_mask(base, amplitude, phase))
    draw_logo(img)
    outline_frame(img, frame)
    return img


def draw_path_frame(img, colours):
    fill, border = colours
    ImageDraw.Draw(img).rectangle(PATH_FRAME, fill=fill, outline=border)


def bg_ready():
    img = scene(NIGHT, FRAME_READY, 1)
    draw_text(img, (WIN_W // 2, 122), "反劫持浏览器", 48, WHITE, weight=0.8,
              glow=((120, 170, 255), 8, 0.6))
    draw_path_frame(img, PATH_READY)
    return img


def draw_tick(img, centre, radius, disc_colours, tick_colour):
    cx, cy = centre

    def disc(d, s):
        d.ellipse([(cx - radius) * s, (cy - radius) * s, (cx + radius) * s, (cy + radius) * s], fill=255)

    def mark(d, s):
        r = radius
        d.line([((cx - 0.45 * r) * s, (cy + 0.02 * r) * s), ((cx - 0.1 * r) * s, (cy + 0.36 * r) * s),
                ((cx + 0.5 * r) * s, (cy - 0.32 * r) * s)], fill=255, width=round(max(1.4, 0.16 * r) * s),
               joint="curve")
    top, bottom = disc_colours
    body = vertical_gradient(img.size, [(cy - radius, top), (cy + radius, bottom)])
    img.paste(body, (0, 0), supersampled_mask(img.size, disc))
    fill_mask(img, supersampled_mask(img.size, mark), tick_colour)


TEAL = ((34, 208, 214), (10, 164, 184))


def bg_downloading():
    img = scene(NIGHT, FRAME_OTHER, 2)
    draw_text(img, (WIN_W // 2, 112), "专注反劫持的浏览器  多重技术保障", 28, WHITE, weight=0.6,
              glow=((120, 170, 255), 6, 0.45))
    points = ["负载均衡", "原生接口", "数据加密", "失效备援"]
    item_w = 24 + 8 + text_width(points[0], 16)
    gap = 34
    x = (WIN_W - (4 * item_w + 3 * gap)) / 2
    for p in points:
        draw_tick(img, (x + 10, 168), 10, TEAL, WHITE)
        draw_text(img, (x + 28, 168), p, 16, (222, 228, 250), anchor="lm", weight=0.2)
        x += item_w + gap
    return img


def draw_warning(img, centre, radius):
    cx, cy = centre

    def disc(d, s):
        d.ellipse([(cx - radius) * s, (cy - radius) * s, (cx + radius) * s, (cy + radius) * s], fill=255)

    def mark(d, s):
        d.rounded_rectangle([(cx - 1.4) * s, (cy - radius * 0.55) * s, (cx + 1.4) * s, (cy + radius * 0.18) * s],
                            radius=1.4 * s, fill=255)
        d.ellipse([(cx - 1.7) * s, (cy + radius * 0.36) * s, (cx + 1.7) * s, (cy + radius * 0.36 + 3.4) * s],
                  fill=255)
    radial_glow(img, centre, radius * 2.2, (255, 150, 60), 0.35)
    disc_mask = supersampled_mask(img.size, disc)
    body = vertical_gradient(img.size, [(cy - radius, (255, 184, 76)), (cy + radius, (246, 128, 40))])
    img.paste(body, (0, 0), disc_mask)
    fill_mask(img, supersampled_mask(img.size, mark), WHITE)


def bg_failed(headline, with_path_box):
    img = scene(DUSK, FRAME_OTHER, 3, meteors=False)
    icon_d, gap, px = 26, 10, 24
    left = (WIN_W - (icon_d + gap + text_width(headline, px))) / 2
    draw_warning(img, (left + icon_d / 2, 92), icon_d / 2)
    draw_text(img, (left + icon_d + gap, 92), headline, px, WHITE, anchor="lm", weight=0.5)
    hints = ["关闭杀毒软件后重新下载", "关闭杀毒软件后依旧失败请前往联系客服"]
    left = (WIN_W - text_width(hints[1], 15)) / 2
    for i, hint in enumerate(hints):
        y = 128 + i * 24
        radial_glow(img, (left - 12, y), 3, (255, 176, 72), 1.0)
        draw_text(img, (left, y), hint, 15, (214, 212, 224), anchor="lm")
    if with_path_box:
        draw_path_frame(img, PATH_FAILED)
    return img


def bg_completed():
    img = scene(NIGHT, FRAME_OTHER, 4)
    centre = (WIN_W // 2, 136)
    radial_glow(img, centre, 80, (60, 200, 220), 0.4)

    def ring(d, s):
        r = 44
        d.ellipse([(centre[0] - r) * s, (centre[1] - r) * s, (centre[0] + r) * s, (centre[1] + r) * s],
                  outline=255, width=round(1.5 * s))
    fill_mask(img, scale_mask(supersampled_mask(img.size, ring), 0.55), (120, 230, 230))
    draw_tick(img, centre, 36, ((40, 220, 190), (12, 170, 160)), WHITE)
    draw_text(img, (WIN_W // 2, 205), "下载完成", 28, WHITE, weight=0.6)
    return img


def bg_tip(downloading):
    x, y = TIP_POS
    img = downloading.crop((x, y, x + TIP_SIZE[0], y + TIP_SIZE[1]))
    left, top, right, bottom = TIP_BOX
    img.paste(vertical_gradient(img.size, [(top, TIP_BOX_TOP), (bottom, TIP_BOX_BOTTOM)]).crop(
        (left, top, right + 1, bottom + 1)), (left, top))
    header = (left + 1, top + 1, right - 1, TIP_HEADER_BOTTOM)
    ImageDraw.Draw(img).rectangle(header, fill=TIP_HEADER)
    ImageDraw.Draw(img).line([(left + 1, TIP_HEADER_BOTTOM + 1), (right - 1, TIP_HEADER_BOTTOM + 1)],
                             fill=TIP_HEADER_LINE)
    ImageDraw.Draw(img).rectangle(TIP_BOX, outline=TIP_BOX_FRAME)
    header_mid = (top + TIP_HEADER_BOTTOM) / 2
    draw_text(img, (left + 14, header_mid), "提示", 13, (176, 206, 244), anchor="lm", weight=0.2)
    question, px, icon_r, gap = "正在下载，确定停止吗？", 16, 9, 8
    x = (left + right + 1 - (2 * icon_r + gap + text_width(question, px))) / 2
    question_mid = (TIP_HEADER_BOTTOM + 115) / 2
    draw_warning(img, (x + icon_r, question_mid), icon_r)
    draw_text(img, (x + 2 * icon_r + gap, question_mid), question, px, WHITE, anchor="lm", weight=0.3)
    return img


# ---------------------------------------------------------------- buttons

def pill_button(backdrop, text, top, bottom, edge=None, text_px=18):
    """A rounded gradient button over the backdrop it will sit on, so its corners blend."""
    img = backdrop.copy()
    w, h = img.size
    shape = rounded_rect_mask((w, h), (0, 0, w - 1, h - 1), h // 2)
    if edge:
        fill_mask(img, shape, edge)
        shape = rounded_rect_mask((w, h), (1, 1, w - 2, h - 2), h // 2 - 1)
    body = vertical_gradient((w, h), [(0, top), (h - 1, bottom)])
    img.paste(body, (0, 0), shape)
    gloss = rounded_rect_mask((w, h), (3, 2, w - 4, h // 2), h // 4)
    fill_mask(img, scale_mask(gloss, GLOSS), WHITE)
    draw_text(img, (w / 2, h / 2), text, text_px, WHITE, weight=0.3, shadow=((160, 64, 8), 1, 0.45))
    return img


GLOSS = 0.16  # strength of the light on the upper half of a button
ORANGE = {
    "normal": ((255, 164, 64), (243, 108, 28)),
    "hover": ((255, 186, 100), (252, 134, 56)),
}
BLUE_EDGE = (52, 150, 255)
GREY_BLUE_EDGE = (132, 150, 186)


def action_buttons(backdrop, text, pressed_edge):
    return {
        "normal": pill_button(backdrop, text, *ORANGE["normal"]),
        "hover": pill_button(backdrop, text, *ORANGE["hover"]),
        "pressed": pill_button(backdrop, text, *ORANGE["hover"], edge=pressed_edge),
    }


def small_glyph(back, glyph, colour):
    """A minimise bar or an X over back, a colour or the 12 x 12 piece of picture the button covers."""
    w, h = SMALL_SIZE

    def paint(d, s):
        if glyph == "minimize":
            d.rectangle([2 * s, 6 * s, 10 * s - 1, 7.6 * s], fill=255)
        else:
            width = round(1.5 * s)
            d.line([(2.2 * s, 2.2 * s), (9.8 * s, 9.8 * s)], fill=255, width=width)
            d.line([(9.8 * s, 2.2 * s), (2.2 * s, 9.8 * s)], fill=255, width=width)
    img = back.copy() if isinstance(back, Image.Image) else Image.new("RGB", (w, h), back)
    fill_mask(img, supersampled_mask((w, h), paint), colour)
    return img


def folder_mask(size, with_band):
    w, h = size
    fx, fy = (w - 20) / 2, (h - 15) / 2

    def body(d, s):
        d.rounded_rectangle([fx * s, (fy + 3) * s, (fx + 20) * s, (fy + 15) * s], radius=1.5 * s, fill=255)
        d.rounded_rectangle([fx * s, fy * s, (fx + 8) * s, (fy + 5) * s], radius=1.5 * s, fill=255)

    def band(d, s):
        d.rectangle([fx * s, (fy + 5) * s, (fx + 20) * s, (fy + 7.5) * s], fill=255)
    return supersampled_mask(size, body), (supersampled_mask(size, band) if with_band else None)


def browse_button(colours, state):
    fill, border = colours
    img = Image.new("RGB", BROWSE_SIZE, fill)
    shape, band = folder_mask(BROWSE_SIZE, state == "pressed")
    if state == "normal":
        fill_mask(img, shape, WHITE)
    else:
        fill_mask(img, shape, (255, 204, 64))
        if band:
            fill_mask(img, band, (176, 118, 20))
    outline_frame(img, border)
    return img


TIP_BLUE = {
    "ok": {"normal": ((58, 150, 246), (34, 112, 226)), "hover": ((86, 170, 252), (54, 132, 238)),
           "pressed": ((30, 104, 212), (24, 86, 190))},
    "cancel": {"normal": ((62, 92, 176), (46, 72, 152)), "hover": ((80, 112, 196), (60, 90, 172)),
               "pressed": ((40, 66, 140), (34, 56, 124))},
}


def tip_button(backdrop, kind, state, text):
    w, h = TIP_BUTTON_SIZE
    img = backdrop.copy()
    top, bottom = TIP_BLUE[kind][state]
    img.paste(vertical_gradient((w, h), [(0, top), (h - 1, bottom)]), (0, 0),
              rounded_rect_mask((w, h), (0, 0, w - 1, h - 1), 4))
    draw_text(img, (w / 2, h / 2), text, 14, WHITE, weight=0.3)
    return img


# ---------------------------------------------------------------- icon file

ICON_IMAGES = [(48, 4), (32, 4), (16, 4), (256, 8), (48, 8), (32, 8), (16, 8), (256, 32), (48, 32), (32, 32), (16, 32)]


def dib_header(size, bpp, image_bytes, colours):
    return struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bpp, 0, image_bytes, 0, 0, colours, 0)


def and_mask_rows(alpha, size):
    stride = ((size + 31) // 32) * 4
    rows = []
    for y in range(size - 1, -1, -1):
        bits = bytearray(stride)
        for x in range(size):
            if alpha[x, y] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(bits))
    return b"".join(rows)


def palette_image(rgba, bpp):
    """Indexed image: index 0 is black for the transparent pixels, the rest an adaptive palette."""
    size = rgba.width
    opaque_colours = rgba.convert("RGB")
    quant = opaque_colours.quantize(colors=(1 << bpp) - 1, method=Image.MEDIANCUT, dither=Image.NONE)
    palette = [(0, 0, 0)] + [tuple(quant.getpalette()[i * 3:i * 3 + 3]) for i in range((1 << bpp) - 1)]
    alpha = rgba.getchannel("A").load()
    q = quant.load()
    stride = ((size * bpp + 31) // 32) * 4
    rows = []
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            index = 0 if alpha[x, y] < 128 else q[x, y] + 1
            if bpp == 8:
                row[x] = index
            else:
                row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        rows.append(bytes(row))
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return table, b"".join(rows)


def icon_image(size, bpp):
    rgba = logo_mark(size)
    if bpp == 32 and size == 256:
        out = io.BytesIO()
        rgba.save(out, format="PNG", optimize=False)
        return out.getvalue()
    mask = and_mask_rows(rgba.getchannel("A").load(), size)
    if bpp == 32:
        px = rgba.load()
        pixels = b"".join(struct.pack("<BBBB", px[x, y][2], px[x, y][1], px[x, y][0], px[x, y][3])
                          for y in range(size - 1, -1, -1) for x in range(size))
        return dib_header(size, 32, len(pixels) + len(mask), 0) + pixels + mask
    table, pixels = palette_image(rgba, bpp)
    return dib_header(size, bpp, len(pixels) + len(mask), 1 << bpp) + table + pixels + mask


def write_icon(path):
    blobs = [icon_image(size, bpp) for size, bpp in ICON_IMAGES]
    offset = 6 + 16 * len(blobs)
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    for (size, bpp), blob in zip(ICON_IMAGES, blobs):
        dim = 0 if size == 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 16 if bpp == 4 else 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


# ---------------------------------------------------------------- the set

def all_bitmaps():
    """(identifier, file name, image) for every skin bitmap, in identifier order."""
    ready, downloading = bg_ready(), bg_downloading()
    download_failed = bg_failed("下载失败，按以下提示操作后重新下载", True)
    install_failed = bg_failed("安装失败，按以下提示操作后重新安装", False)
    completed = bg_completed()

    def under_action(background):
        x, y = ACTION_POS
        return background.crop((x, y, x + ACTION_SIZE[0], y + ACTION_SIZE[1]))

    download = action_buttons(under_action(ready), "开始下载", BLUE_EDGE)
    install = action_buttons(under_action(completed), "立即安装", BLUE_EDGE)
    redownload = action_buttons(under_action(download_failed), "重新下载", GREY_BLUE_EDGE)
    light = {"normal": (196, 178, 240), "pressed": WHITE, "hover": (238, 234, 252)}
    dusk = {"normal": (186, 184, 198), "pressed": WHITE, "hover": (236, 235, 242)}
    tip_x = {"normal": (156, 190, 236), "pressed": WHITE, "hover": (232, 240, 252)}
    states = ("normal", "pressed", "hover")

    items = [
        (129, "download_normal", download["normal"]),
        (130, "download_hover", download["hover"]),
        (131, "download_pressed", download["pressed"]),
        (132, "bg_ready", ready),
    ]
    items += [(134 + i, "minimize_" + s, small_glyph(SMALL_BACK_NIGHT, "minimize", light[s])) for i, s in enumerate(states)]
    items += [(137 + i, "close_" + s, small_glyph(SMALL_BACK_NIGHT, "close", light[s])) for i, s in enumerate(states)]
    items += [(140 + i, "install_" + s, install[s]) for i, s in enumerate(states)]
    items += [(143 + i, "redownload_" + s, redownload[s]) for i, s in enumerate(states)]
    items += [(146 + i, "browse_" + s, browse_button(BROWSE_READY, s)) for i, s in enumerate(states)]
    items += [
        (149, "bg_downloading", downloading),
        (150, "bg_download_failed", download_failed),
        (151, "bg_completed", completed),
    ]
    items += [(152 + i, "minimize_dark_" + s, small_glyph(SMALL_BACK_DUSK, "minimize", dusk[s])) for i, s in enumerate(states)]
    items += [(155 + i, "close_dark_" + s, small_glyph(SMALL_BACK_DUSK, "close", dusk[s])) for i, s in enumerate(states)]
    items += [(158 + i, "browse_dark_" + s, browse_button(BROWSE_DUSK, s)) for i, s in enumerate(states)]
    tip = bg_tip(downloading)

    def under_tip(pos, size):
        return tip.crop((pos[0], pos[1], pos[0] + size[0], pos[1] + size[1]))
    items.append((161, "bg_tip", tip))
    items += [(162 + i, "tip_close_" + s, small_glyph(under_tip(TIP_CLOSE_POS, SMALL_SIZE), "close", tip_x[s]))
              for i, s in enumerate(states)]
    items += [(165 + i, "tip_ok_" + s, tip_button(under_tip(TIP_OK_POS, TIP_BUTTON_SIZE), "ok", s, "确定"))
              for i, s in enumerate(states)]
    items += [(168 + i, "tip_cancel_" + s,
               tip_button(under_tip(TIP_CANCEL_POS, TIP_BUTTON_SIZE), "cancel", s, "取消"))
              for i, s in enumerate(states)]
    items.append((171, "bg_install_failed", install_failed))
    return items


def contact_sheet(items, path):
    label = font(12)
    cell_w, pad = 330, 10
    x, y, row_h = pad, pad, 0
    placed = []
    for ident, name, img in items:
        scale = 0.5 if img.width > 400 else (4 if img.width <= 12 else 1)
        shown = img.resize((round(img.width * scale), round(img.height * scale)),
                           Image.NEAREST if scale > 1 else Image.LANCZOS)
        if x + cell_w > 4 * cell_w + pad:
            x, y, row_h = pad, y + row_h + pad, 0
        placed.append((x, y, shown, "%d %s %dx%d" % (ident, name, img.width, img.height)))
        row_h = max(row_h, shown.height + 18)
        x += cell_w
    sheet = Image.new("RGB", (4 * cell_w + pad, y + row_h + pad), (236, 236, 240))
    d = ImageDraw.Draw(sheet)
    for x, y, shown, caption in placed:
        sheet.paste(shown, (x, y + 16))
        d.text((x, y), caption, font=label, fill=(20, 20, 30))
    sheet.save(path)


def main():
    os.makedirs(BITMAP_DIR, exist_ok=True)
    os.makedirs(SHEET_DIR, exist_ok=True)
    items = all_bitmaps()
    for _, name, img in items:
        img.convert("RGB").save(os.path.join(BITMAP_DIR, name + ".bmp"), format="BMP")
        img.save(os.path.join(SHEET_DIR, name + ".png"))  # full-size previews to look at
    write_icon(ICON_PATH)
    contact_sheet(items, os.path.join(SHEET_DIR, "contact-sheet.png"))
    print("wrote %d bitmaps, %s and %s" % (len(items), ICON_PATH, os.path.join(SHEET_DIR, "contact-sheet.png")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
