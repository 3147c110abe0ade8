#!/usr/bin/python3
"""Draws the launcher's artwork into form/Splash/art/ (the output is committed).

  splash.bmp            500 x 300, 24-bit; magenta frame and corner pixels are the window's
                        transparent key, everything else is opaque artwork
  lumidoc_hover.jpg     166 x 166 pictures of the two buttons, cut from the same drawing at
  lumidoc_dark.jpg      the buttons' places so they sit seamlessly over the background
  folipress_hover.jpg
  folipress_dark.jpg
  hand.png              32 x 32 monochrome hand cursor, hot point (6, 0)
  icon.png, icon-32.png the program icon

Needs python3-pil and the DejaVu fonts (fonts-dejavu-core). Usage: tools/make-splash-art.py
"""
import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "form", "Splash", "art")

W, H = 500, 300
S = 4  # supersampling factor
KEY = (255, 0, 255)
BUTTON = 166
# Top-left pixels of the two buttons (where the window places their pictures).
LUMIDOC_AT = (49, 71)     # text recognition, left
FOLIPRESS_AT = (277, 71)  # images to PDF, right
CLOSE_AT = (484, 4, 11, 15)

FONT_DIR = "/usr/share/fonts/truetype/dejavu"


def font(name, px):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), px * S)


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def gradient(size, top, bottom, diagonal=False):
    w, h = size
    g = Image.new("RGB", (1, 256))
    for y in range(256):
        g.putpixel((0, y), lerp(top, bottom, y / 255))
    g = g.resize((w, h), Image.BILINEAR)
    if diagonal:
        big = g.resize((int(w * 1.5), int(h * 1.5)), Image.BILINEAR).rotate(-18, Image.BICUBIC)
        left = (big.width - w) // 2
        upper = (big.height - h) // 2
        g = big.crop((left, upper, left + w, upper + h))
    return g


def s(v):
    return int(round(v * S))


def glow(base, shape_fn, colour, radius, strength=1.0):
    """Blurred copy of a shape painted in `colour`, added onto `base`."""
    mask = Image.new("L", base.size, 0)
    shape_fn(ImageDraw.Draw(mask))
    mask = mask.filter(ImageFilter.GaussianBlur(radius * S))
    if strength != 1.0:
        mask = mask.point(lambda v: min(255, int(v * strength)))
    layer = Image.new("RGB", base.size, colour)
    base.paste(layer, (0, 0), mask)


# ---------------------------------------------------------------- background


def draw_background():
    img = gradient((W * S, H * S), (30, 48, 86), (12, 20, 40), diagonal=True)
    # A soft light behind the header and one behind the buttons.
    glow(img, lambda d: d.ellipse((s(-80), s(-120), s(260), s(90)), fill=120), (64, 110, 190), 40)
    glow(img, lambda d: d.ellipse((s(60), s(120), s(440), s(330)), fill=70), (40, 90, 160), 50)
    d = ImageDraw.Draw(img, "RGBA")
    # Faint scan lines give the surface a "scanner glass" texture.
    for y in range(0, H, 4):
        d.line((0, s(y), s(W), s(y)), fill=(255, 255, 255, 6), width=S)
    # Header: logo mark, name, tagline.
    draw_logo_mark(d, 18, 14, 34)
    d.text((s(60), s(13)), "Lumidoc", font=font("DejaVuSans-Bold.ttf", 24), fill=(244, 247, 252))
    d.text((s(61), s(43)), "Turn scanned documents into usable files",
           font=font("DejaVuSans.ttf", 11), fill=(150, 172, 208))
    # Hairline under the header.
    d.line((s(18), s(64), s(482), s(64)), fill=(255, 255, 255, 28), width=S)
    # Captions under the two buttons.
    caption(d, LUMIDOC_AT, "Text Recognition", "PDF page to plain text")
    caption(d, FOLIPRESS_AT, "Images to PDF", "Scans joined into one PDF")
    # Close mark in its 11 x 15 area at the top right.
    cx, cy, cw, ch = CLOSE_AT
    mx, my = cx + cw / 2, cy + ch / 2
    r = 4.0
    for a, b in (((mx - r, my - r), (mx + r, my + r)), ((mx - r, my + r), (mx + r, my - r))):
        d.line((s(a[0]), s(a[1]), s(b[0]), s(b[1])), fill=(214, 224, 240), width=s(1.6))
    # Thin light edge just inside the transparent frame.
    d.rectangle((s(1), s(1), s(W - 1) - 1, s(H - 2) - 1), outline=(255, 255, 255, 40), width=S)
    return img


def caption(d, at, title, sub):
    x, y = at
    cx = x + BUTTON / 2
    f1 = font("DejaVuSans-Bold.ttf", 14)
    f2 = font("DejaVuSans.ttf", 10)
    w1 = d.textlength(title, font=f1)
    w2 = d.textlength(sub, font=f2)
    d.text((s(cx) - w1 / 2, s(y + BUTTON + 8)), title, font=f1, fill=(236, 241, 250))
    d.text((s(cx) - w2 / 2, s(y + BUTTON + 29)), sub, font=f2, fill=(140, 162, 198))


def draw_logo_mark(d, x, y, size):
    """A page with a folded corner and a bright scan line: the suite's mark."""
    k = size / 34.0
    d.rounded_rectangle((s(x), s(y), s(x + size), s(y + size)), radius=s(8 * k),
                        fill=(74, 144, 226))
    px0, py0, px1, py1 = x + 9 * k, y + 6 * k, x + 25 * k, y + 28 * k
    fold = 6 * k
    d.polygon([(s(px0), s(py0)), (s(px1 - fold), s(py0)), (s(px1), s(py0 + fold)),
               (s(px1), s(py1)), (s(px0), s(py1))], fill=(255, 255, 255))
    d.polygon([(s(px1 - fold), s(py0)), (s(px1 - fold), s(py0 + fold)), (s(px1), s(py0 + fold))],
              fill=(190, 214, 245))
    for i, ln in enumerate((0.75, 0.6, 0.7)):
        ly = py0 + (9 + 5 * i) * k
        d.line((s(px0 + 3 * k), s(ly), s(px0 + 3 * k + (px1 - px0 - 6 * k) * ln), s(ly)),
               fill=(120, 150, 190), width=s(1.6 * k))
    d.line((s(x + 4 * k), s(y + 17 * k), s(x + size - 4 * k), s(y + 17 * k)),
           fill=(120, 255, 214), width=s(2 * k))


# ---------------------------------------------------------------- buttons

CARD = (8, 8, 158, 158)  # card inside the 166 x 166 button area


def draw_card(img, at, state):
    x, y = at
    off = 2 if state == "pressed" else 0
    x0, y0, x1, y1 = x + CARD[0], y + CARD[1] + off, x + CARD[2], y + CARD[3] + off
    box = (s(x0), s(y0), s(x1), s(y1))
    radius = s(22)
    # Shadow under the card (smaller when pressed).
    glow(img, lambda d: d.rounded_rectangle((box[0], box[1] + s(5 - off * 2), box[2],
                                             box[3] + s(5 - off * 2)), radius=radius, fill=255),
         (6, 10, 22), 6 if state != "pressed" else 3)
    if state == "hover":
        glow(img, lambda d: d.rounded_rectangle(box, radius=radius, fill=255), (70, 150, 255), 5,
             0.9)
    top, bottom = {
        "none": ((52, 76, 126), (36, 54, 96)),
        "hover": ((70, 104, 170), (48, 74, 130)),
        "pressed": ((30, 46, 82), (38, 58, 102)),
    }[state]
    fill = gradient((box[2] - box[0], box[3] - box[1]), top, bottom)
    mask = Image.new("L", img.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle(box, radius=radius, fill=255)
    layer = Image.new("RGB", img.size)
    layer.paste(fill, (box[0], box[1]))
    img.paste(layer, (0, 0), mask)
    d = ImageDraw.Draw(img, "RGBA")
    edge = {"none": (255, 255, 255, 40), "hover": (120, 190, 255, 230),
            "pressed": (90, 160, 240, 200)}[state]
    d.rounded_rectangle(box, radius=radius, outline=edge, width=s(1.5 if state == "none" else 2))
    return (x0 + x1) / 2, (y0 + y1) / 2, d


def page(d, x0, y0, x1, y1, fold, fill=(250, 251, 253), fold_fill=(206, 216, 232)):
    d.polygon([(s(x0), s(y0)), (s(x1 - fold), s(y0)), (s(x1), s(y0 + fold)), (s(x1), s(y1)),
               (s(x0), s(y1))], fill=fill)
    d.polygon([(s(x1 - fold), s(y0)), (s(x1 - fold), s(y0 + fold)), (s(x1), s(y0 + fold))],
              fill=fold_fill)


def photo(img, cx, cy, w, h, angle, sky, hill):
    """A small photo print (sky, sun, hills) rotated about its centre."""
    pw, ph = s(w), s(h)
    p = Image.new("RGBA", (pw, ph), (0, 0, 0, 0))
    d = ImageDraw.Draw(p)
    d.rounded_rectangle((0, 0, pw - 1, ph - 1), radius=s(3), fill=(250, 250, 252, 255))
    m = s(4)
    inner = (m, m, pw - m, ph - m)
    sky_img = gradient((inner[2] - inner[0], inner[3] - inner[1]), sky, lerp(sky, (255, 255, 255), 0.5))
    p.paste(sky_img, (inner[0], inner[1]))
    d.ellipse((pw * 0.62, ph * 0.2, pw * 0.62 + s(8), ph * 0.2 + s(8)), fill=(255, 214, 90, 255))
    d.polygon([(inner[0], inner[3]), (inner[0], ph * 0.62), (pw * 0.35, ph * 0.4), (pw * 0.6, ph * 0.66),
               (pw * 0.75, ph * 0.52), (inner[2], ph * 0.7), (inner[2], inner[3])], fill=hill + (255,))
    p = p.rotate(angle, Image.BICUBIC, expand=True)
    shadow = Image.new("L", p.size, 0)
    shadow.paste(p.split()[3], (0, 0))
    shadow = shadow.filter(ImageFilter.GaussianBlur(s(2)))
    ox, oy = s(cx) - p.width // 2, s(cy) - p.height // 2
    img.paste(Image.new("RGB", p.size, (8, 14, 30)), (ox + s(1), oy + s(2)), shadow.point(lambda v: v // 2))
    img.paste(p, (ox, oy), p)


def draw_folipress_icon(img, cx, cy, d):
    """Two photos slide into a PDF document."""
    photo(img, cx - 32, cy - 14, 50, 40, 12, (120, 180, 240), (70, 150, 90))
    photo(img, cx - 24, cy + 8, 50, 40, -6, (250, 170, 110), (90, 120, 170))
    d = ImageDraw.Draw(img, "RGBA")
    # Arrow into the document.
    ax, ay = cx - 2, cy - 2
    d.line((s(ax - 6), s(ay), s(ax + 8), s(ay)), fill=(255, 255, 255, 235), width=s(3))
    d.polygon([(s(ax + 8), s(ay - 6)), (s(ax + 15), s(ay)), (s(ax + 8), s(ay + 6))],
              fill=(255, 255, 255, 235))
    # The PDF document.
    x0, y0, x1, y1 = cx + 14, cy - 38, cx + 58, cy + 20
    glow(img, lambda g: g.rectangle((s(x0), s(y0 + 3), s(x1), s(y1 + 3)), fill=160), (6, 10, 24), 3)
    d = ImageDraw.Draw(img, "RGBA")
    page(d, x0, y0, x1, y1, 11)
    for i, ln in enumerate((0.8, 0.65, 0.75)):
        ly = y0 + 16 + i * 6
        d.line((s(x0 + 6), s(ly), s(x0 + 6 + (x1 - x0 - 12) * ln), s(ly)), fill=(170, 182, 204),
               width=s(2))
    d.rounded_rectangle((s(x0 - 6), s(y1 - 19), s(x1 - 6), s(y1 - 5)), radius=s(3),
                        fill=(222, 56, 50))
    f = font("DejaVuSans-Bold.ttf", 11)
    tw = d.textlength("PDF", font=f)
    d.text((s((x0 + x1) / 2 - 6) - tw / 2, s(y1 - 19.5)), "PDF", font=f, fill=(255, 255, 255))
    return d


def draw_lumidoc_icon(img, cx, cy, d):
    """A page under a scanner frame: the text on it becomes letters."""
    x0, y0, x1, y1 = cx - 30, cy - 40, cx + 30, cy + 36
    glow(img, lambda g: g.rectangle((s(x0), s(y0 + 3), s(x1), s(y1 + 3)), fill=160), (6, 10, 24), 3)
    d = ImageDraw.Draw(img, "RGBA")
    page(d, x0, y0, x1, y1, 13)
    f = font("DejaVuSerif-Bold.ttf", 24)
    d.text((s(x0 + 7), s(y0 + 6)), "Aa", font=f, fill=(38, 56, 92))
    for i, ln in enumerate((0.85, 0.7, 0.8, 0.55)):
        ly = y0 + 42 + i * 7
        d.line((s(x0 + 7), s(ly), s(x0 + 7 + (x1 - x0 - 14) * ln), s(ly)), fill=(160, 172, 196),
               width=s(2.2))
    # Scanner frame corners.
    fx0, fy0, fx1, fy1 = cx - 42, cy - 50, cx + 42, cy + 46
    arm = 13
    col = (110, 236, 206, 255)
    for (px, py, dx, dy) in ((fx0, fy0, 1, 1), (fx1, fy0, -1, 1), (fx0, fy1, 1, -1), (fx1, fy1, -1, -1)):
        d.line((s(px), s(py), s(px + dx * arm), s(py)), fill=col, width=s(3))
        d.line((s(px), s(py), s(px), s(py + dy * arm)), fill=col, width=s(3))
    # The scan beam.
    by = cy + 3
    glow(img, lambda g: g.rectangle((s(fx0 + 4), s(by - 2), s(fx1 - 4), s(by + 2)), fill=255),
         (90, 255, 210), 4, 0.8)
    d = ImageDraw.Draw(img, "RGBA")
    d.line((s(fx0 + 2), s(by), s(fx1 - 2), s(by)), fill=(200, 255, 240, 255), width=s(2))
    return d


def draw_button(img, at, state, icon):
    cx, cy, d = draw_card(img, at, state)
    icon(img, cx, cy, d)


# ---------------------------------------------------------------- compose


def render(lumidoc_state, folipress_state):
    img = draw_background()
    draw_button(img, LUMIDOC_AT, lumidoc_state, draw_lumidoc_icon)
    draw_button(img, FOLIPRESS_AT, folipress_state, draw_folipress_icon)
    small = img.resize((W, H), Image.LANCZOS)
    # No artwork pixel may be the key colour.
    px = small.load()
    for y in range(H):
        for x in range(W):
            if px[x, y] == KEY:
                px[x, y] = (254, 0, 255)
    return small


def key_frame(img):
    px = img.load()
    for x in range(W):
        px[x, 0] = KEY
        px[x, H - 1] = KEY
        px[x, H - 2] = KEY
    for y in range(H):
        px[0, y] = KEY
        px[W - 1, y] = KEY
    for (x, y) in ((1, 1), (W - 2, 1), (1, H - 3), (W - 2, H - 3)):
        px[x, y] = KEY
    return img


def crop(img, at):
    x, y = at
    return img.crop((x, y, x + BUTTON, y + BUTTON))


HAND = [
    "     XX         ",
    "    X..X        ",
    "    X..X        ",
    "    X..X        ",
    "    X..X        ",
    "    X..XXX      ",
    "    X..X..XXX   ",
    "    X..X..X..XX ",
    "    X..X..X..X.X",
    "XXX X..X..X..X.X",
    "X..XX........X.X",
    "X...X..........X",
    " X.............X",
    "  X............X",
    "  X...........X ",
    "   X..........X ",
    "   X.........X  ",
    "    X........X  ",
    "    X........X  ",
    "    XXXXXXXXXX  ",
]


def hand_cursor():
    cur = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    for y, row in enumerate(HAND):
        for x, c in enumerate(row):
            if c == "X":
                cur.putpixel((x + 1, y), (0, 0, 0, 255))
            elif c == ".":
                cur.putpixel((x + 1, y), (255, 255, 255, 255))
    return cur


def icon(size):
    big = Image.new("RGBA", (256 * S // 2, 256 * S // 2), (0, 0, 0, 0))
    n = big.width
    bg = gradient((n, n), (74, 144, 226), (28, 60, 120))
    mask = Image.new("L", (n, n), 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, n - 1, n - 1), radius=n // 5, fill=255)
    big.paste(bg, (0, 0), mask)
    d = ImageDraw.Draw(big, "RGBA")
    k = n / 100.0
    x0, y0, x1, y1, fold = 27 * k, 16 * k, 73 * k, 84 * k, 16 * k
    d.polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], fill=(255, 255, 255))
    d.polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], fill=(190, 214, 245))
    for i, ln in enumerate((0.8, 0.62, 0.72, 0.5)):
        ly = y0 + (26 + 11 * i) * k
        d.line((x0 + 8 * k, ly, x0 + 8 * k + (x1 - x0 - 16 * k) * ln, ly), fill=(120, 150, 190),
               width=int(4 * k))
    d.rectangle((12 * k, 47 * k, 88 * k, 53 * k), fill=(120, 255, 214))
    return big.resize((size, size), Image.LANCZOS)


def main():
    os.makedirs(OUT, exist_ok=True)
    normal = key_frame(render("none", "none"))
    normal.save(os.path.join(OUT, "splash.bmp"))
    jpeg = dict(quality=95, subsampling=0)
    crop(render("hover", "none"), LUMIDOC_AT).save(os.path.join(OUT, "lumidoc_hover.jpg"), **jpeg)
    crop(render("pressed", "none"), LUMIDOC_AT).save(os.path.join(OUT, "lumidoc_dark.jpg"), **jpeg)
    crop(render("none", "hover"), FOLIPRESS_AT).save(os.path.join(OUT, "folipress_hover.jpg"), **jpeg)
    crop(render("none", "pressed"), FOLIPRESS_AT).save(os.path.join(OUT, "folipress_dark.jpg"),
                                                       **jpeg)
    hand_cursor().save(os.path.join(OUT, "hand.png"))
    icon(256).save(os.path.join(OUT, "icon.png"))
    icon(32).save(os.path.join(OUT, "icon-32.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
