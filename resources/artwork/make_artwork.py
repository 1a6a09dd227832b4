#!/usr/bin/python3
"""Draws every picture of TarvoKelmora's user interface from shapes and text.

Run with Debian's Python, which has Pillow (python3-pil):

    /usr/bin/python3 resources/artwork/make_artwork.py

The pictures are written next to this script, together with artwork.qrc. Each picture is drawn
twice from the same description, once at its own size and once natively at twice that size
(the @2x files), so that lines and text stay sharp on high-density screens.
"""

import math
import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))

# One face for all lettering: a clean sans-serif CJK face that stays readable at 11-13 px and
# carries matching Latin letters for the product name and addresses.
FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
FONT_INDEX = 0
FONT_PACKAGE = "fonts-wqy-microhei"

# Oversampling of shapes; text is drawn at the final resolution instead, where hinting helps.
SS = 4

# ----------------------------------------------------------------------------------------------
# Palette
# ----------------------------------------------------------------------------------------------

WIN_BG = (245, 250, 254)      # window background
PANEL = (245, 254, 250)       # frame panels
RIM = (104, 132, 158)         # outer rim of frames
INNER_LINE = (206, 221, 232)  # inner edge where a frame meets the window's content
BORDER = (152, 176, 200)      # tab and button borders
SOFT_LINE = (210, 223, 236)
TEXT = (34, 50, 72)
TEXT2 = (96, 112, 132)
LINK = (28, 98, 186)
ACCENT = (44, 124, 204)
ACCENT_DARK = (28, 88, 156)
TEAL = (22, 150, 156)
WHITE = (255, 255, 255)
BADGE = (232, 118, 42)

FOLDER_EDGE = (186, 132, 30)
FOLDER_BACK = (232, 180, 66)
FOLDER_FRONT_TOP = (255, 226, 130)
FOLDER_FRONT_BOTTOM = (246, 196, 74)
PAPER_EDGE = (122, 138, 156)
PAPER_LINE = (150, 170, 192)
SCREEN_TOP = (110, 186, 244)
SCREEN_BOTTOM = (36, 108, 196)
BEZEL_EDGE = (62, 74, 92)


def rgba(c):
    return (c[0], c[1], c[2], 255) if len(c) == 3 else c


def mix(c0, c1, t):
    c0, c1 = rgba(c0), rgba(c1)
    return tuple(round(c0[i] + (c1[i] - c0[i]) * t) for i in range(4))


# ----------------------------------------------------------------------------------------------
# Fonts and text checks
# ----------------------------------------------------------------------------------------------

_fonts = {}
_notdef = {}
_checked = set()


def font(px):
    if px not in _fonts:
        if not os.path.exists(FONT_PATH):
            sys.exit(f"make_artwork: font {FONT_PATH} is missing; install it with "
                     f"apt-get install {FONT_PACKAGE}")
        _fonts[px] = ImageFont.truetype(FONT_PATH, px, index=FONT_INDEX)
    return _fonts[px]


def _glyph_bytes(px, ch):
    f = font(px)
    im = Image.new("L", (px * 3, px * 3), 0)
    ImageDraw.Draw(im).text((px, px), ch, font=f, fill=255)
    return im.tobytes()


def require(ok, message):
    if not ok:
        sys.exit(f"make_artwork: {message}")


def check_glyphs(text, px):
    """Stops the run when the face lacks a character: it would be drawn as an empty box."""
    if px not in _notdef:
        _notdef[px] = _glyph_bytes(px, "\U0010FFFD")
    for ch in text:
        if ch.isspace() or (px, ch) in _checked:
            continue
        drawn = _glyph_bytes(px, ch)
        if drawn == _notdef[px] or not any(drawn):
            sys.exit(f"make_artwork: the font has no glyph for {ch!r} (U+{ord(ch):04X}) "
                     f"in {text!r}")
        _checked.add((px, ch))


# ----------------------------------------------------------------------------------------------
# Paints: solid colours and gradients, resolved against a layer's pixel grid
# ----------------------------------------------------------------------------------------------

def _stops(stops):
    if all(isinstance(s, tuple) and len(s) == 2 and isinstance(s[1], tuple) for s in stops):
        return [(t, rgba(c)) for t, c in stops]
    n = len(stops) - 1
    return [(i / n, rgba(c)) for i, c in enumerate(stops)]


def _colour_at(stops, t):
    if t <= stops[0][0]:
        return stops[0][1]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, 0 if t1 == t0 else (t - t0) / (t1 - t0))
    return stops[-1][1]


def _map_param(param, stops):
    tables = [[], [], [], []]
    for v in range(256):
        c = _colour_at(stops, v / 255)
        for i in range(4):
            tables[i].append(c[i])
    return Image.merge("RGBA", [param.point(tables[i]) for i in range(4)])


class VGrad:
    """Top-to-bottom gradient between logical y0 and y1."""

    def __init__(self, y0, y1, *stops):
        self.a, self.b, self.stops = y0, y1, _stops(stops)

    def image(self, layer):
        w, h = layer.size
        a, b = self.a * layer.k, self.b * layer.k
        col = Image.new("L", (1, h))
        span = max(b - a, 1e-6)
        col.putdata([round(255 * min(1, max(0, (y + 0.5 - a) / span))) for y in range(h)])
        return _map_param(col.resize((w, h), Image.NEAREST), self.stops)


class HGrad(VGrad):
    """Left-to-right gradient between logical x0 and x1."""

    def image(self, layer):
        w, h = layer.size
        a, b = self.a * layer.k, self.b * layer.k
        row = Image.new("L", (w, 1))
        span = max(b - a, 1e-6)
        row.putdata([round(255 * min(1, max(0, (x + 0.5 - a) / span))) for x in range(w)])
        return _map_param(row.resize((w, h), Image.NEAREST), self.stops)


class RGrad:
    """Radial gradient from the centre (cx, cy) out to radius r."""

    def __init__(self, cx, cy, r, *stops):
        self.cx, self.cy, self.r, self.stops = cx, cy, r, _stops(stops)

    def image(self, layer):
        k = layer.k
        # Pillow's radial gradient reaches 255 at 181 px from its centre (its corner).
        f = self.r * k / 181.0
        side = max(1, round(256 * f))
        disc = Image.radial_gradient("L").resize((side, side), Image.BILINEAR)
        param = Image.new("L", layer.size, 255)
        param.paste(disc, (round(self.cx * k - side / 2), round(self.cy * k - side / 2)))
        return _map_param(param, self.stops)


def paint_image(paint, layer):
    if isinstance(paint, tuple):
        return Image.new("RGBA", layer.size, rgba(paint))
    return paint.image(layer)


# ----------------------------------------------------------------------------------------------
# Layers: drawing in logical units; a unit is s device pixels, shapes oversampled SS times
# ----------------------------------------------------------------------------------------------

class Layer:
    def __init__(self, w, h, s, ss=SS, background=None):
        self.w, self.h, self.s, self.ss = w, h, s, ss
        self.k = s * ss
        self.size = (round(w * self.k), round(h * self.k))
        self.im = Image.new("RGBA", self.size, rgba(background) if background else (0, 0, 0, 0))

    def p(self, v):
        return v * self.k

    # ---- masks -------------------------------------------------------------------------------
    def _mask(self, fn):
        m = Image.new("L", self.size, 0)
        fn(ImageDraw.Draw(m))
        return m

    def m_rect(self, x0, y0, x1, y1):
        p = self.p
        return self._mask(lambda d: d.rectangle(
            [round(p(x0)), round(p(y0)), round(p(x1)) - 1, round(p(y1)) - 1], fill=255))

    def m_rrect(self, x0, y0, x1, y1, r, corners=None):
        """Rounded rectangle; corners (top left, top right, bottom right, bottom left) picks
        which corners are rounded."""
        p = self.p
        box = [round(p(x0)), round(p(y0)), round(p(x1)) - 1, round(p(y1)) - 1]
        rad = round(p(r))

        def draw(d):
            d.rounded_rectangle(box, radius=rad, fill=255)
            if corners:
                X0, Y0, X1, Y1 = box
                squares = [(X0, Y0, X0 + rad, Y0 + rad), (X1 - rad, Y0, X1, Y0 + rad),
                           (X1 - rad, Y1 - rad, X1, Y1), (X0, Y1 - rad, X0 + rad, Y1)]
                for rounded, sq in zip(corners, squares):
                    if not rounded:
                        d.rectangle(sq, fill=255)
        return self._mask(draw)

    def m_ellipse(self, x0, y0, x1, y1):
        p = self.p
        return self._mask(lambda d: d.ellipse(
            [round(p(x0)), round(p(y0)), round(p(x1)) - 1, round(p(y1)) - 1], fill=255))

    def m_circle(self, cx, cy, r):
        return self.m_ellipse(cx - r, cy - r, cx + r, cy + r)

    def _fine(self, xs, ys, draw, margin=1.0):
        """A mask drawn four times finer than the layer, over the box round the given points.

        Pillow fills polygons up to and including their right and bottom edges, one pixel too
        far; that is taken back below on the finer grid."""
        fine = 4
        k = self.k
        bx0 = max(0, int(math.floor(min(xs) * k - margin * k)) - 1)
        by0 = max(0, int(math.floor(min(ys) * k - margin * k)) - 1)
        bx1 = min(self.size[0], int(math.ceil(max(xs) * k + margin * k)) + 1)
        by1 = min(self.size[1], int(math.ceil(max(ys) * k + margin * k)) + 1)
        full = Image.new("L", self.size, 0)
        if bx1 <= bx0 or by1 <= by0:
            return full
        m = Image.new("L", ((bx1 - bx0) * fine, (by1 - by0) * fine), 0)

        def t(x, y):
            return ((x * k - bx0) * fine, (y * k - by0) * fine)
        draw(ImageDraw.Draw(m), t, k * fine)
        # Undo the extra row and column: keep a pixel only if its right, lower and diagonal
        # neighbours are filled too.
        w, h = m.size
        for dx, dy in ((1, 0), (0, 1)):
            moved = Image.new("L", m.size, 0)
            moved.paste(m.crop((dx, dy, w, h)), (0, 0))
            m = ImageChops.darker(m, moved)
        full.paste(m.reduce(fine), (bx0, by0))
        return full

    def m_poly(self, pts):
        return self._fine([x for x, _ in pts], [y for _, y in pts],
                          lambda d, t, f: d.polygon([t(x, y) for x, y in pts], fill=255), margin=0)

    def m_stroke(self, pts, width, cap="round", join="round"):
        hw = width / 2.0

        def draw(d, t, f):
            for i, ((x0, y0), (x1, y1)) in enumerate(zip(pts, pts[1:])):
                dx, dy = x1 - x0, y1 - y0
                n = math.hypot(dx, dy) or 1.0
                ux, uy = dx / n, dy / n
                nx, ny = -uy * hw, ux * hw
                if cap == "square":
                    if i == 0:
                        x0, y0 = x0 - ux * hw, y0 - uy * hw
                    if i == len(pts) - 2:
                        x1, y1 = x1 + ux * hw, y1 + uy * hw
                quad = [(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)]
                d.polygon([t(x, y) for x, y in quad], fill=255)
            for j, (x, y) in enumerate(pts):
                inner = 0 < j < len(pts) - 1
                if (inner and join == "round") or (not inner and cap == "round"):
                    ax, ay = t(x - hw, y - hw)
                    bx, by = t(x + hw, y + hw)
                    d.ellipse([ax, ay, bx, by], fill=255)
        return self._fine([x for x, _ in pts], [y for _, y in pts], draw, margin=hw + 1)

    def m_arc(self, cx, cy, r, width, a0, a1, cap="round"):
        """Arc of angles a0..a1 in degrees, 0 at three o'clock, growing clockwise."""
        n = max(8, int(abs(a1 - a0) / 3))
        pts = [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
                cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]
        return self.m_stroke(pts, width, cap=cap)

    @staticmethod
    def m_and(a, b):
        return ImageChops.multiply(a, b)

    @staticmethod
    def m_or(a, b):
        return ImageChops.lighter(a, b)

    @staticmethod
    def m_sub(a, b):
        return ImageChops.subtract(a, b)

    # ---- painting ----------------------------------------------------------------------------
    def fill(self, mask, paint, opacity=1.0):
        src = paint_image(paint, self)
        alpha = ImageChops.multiply(src.getchannel("A"), mask)
        if opacity < 1.0:
            alpha = alpha.point(lambda v: round(v * opacity))
        src.putalpha(alpha)
        self.im.alpha_composite(src)

    def rect(self, x0, y0, x1, y1, paint):
        self.fill(self.m_rect(x0, y0, x1, y1), paint)

    def frame(self, x0, y0, x1, y1, edge, inside=None, w=1):
        """A rectangle with a border of w units drawn inside its bounds."""
        if inside is None:
            self.fill(self.m_sub(self.m_rect(x0, y0, x1, y1),
                                 self.m_rect(x0 + w, y0 + w, x1 - w, y1 - w)), edge)
        else:
            self.rect(x0, y0, x1, y1, edge)
            self.rect(x0 + w, y0 + w, x1 - w, y1 - w, inside)

    def rrect(self, x0, y0, x1, y1, r, paint, corners=None):
        self.fill(self.m_rrect(x0, y0, x1, y1, r, corners), paint)

    def rframe(self, x0, y0, x1, y1, r, edge, inside=None, w=1, corners=None):
        outer = self.m_rrect(x0, y0, x1, y1, r, corners)
        inner = self.m_rrect(x0 + w, y0 + w, x1 - w, y1 - w, max(0, r - w), corners)
        self.fill(self.m_sub(outer, inner), edge)
        if inside is not None:
            self.fill(inner, inside)

    def ellipse(self, x0, y0, x1, y1, paint):
        self.fill(self.m_ellipse(x0, y0, x1, y1), paint)

    def circle(self, cx, cy, r, paint):
        self.fill(self.m_circle(cx, cy, r), paint)

    def ring(self, cx, cy, r, w, paint):
        self.fill(self.m_sub(self.m_circle(cx, cy, r), self.m_circle(cx, cy, r - w)), paint)

    def poly(self, pts, paint):
        self.fill(self.m_poly(pts), paint)

    def stroke(self, pts, width, paint, cap="round", join="round"):
        self.fill(self.m_stroke(pts, width, cap, join), paint)

    def arc(self, cx, cy, r, width, a0, a1, paint, cap="round"):
        self.fill(self.m_arc(cx, cy, r, width, a0, a1, cap), paint)

    # ---- composition -------------------------------------------------------------------------
    def image(self):
        """The layer at device resolution."""
        if self.ss == 1:
            return self.im
        return self.im.convert("RGBa").reduce(self.ss).convert("RGBA")

    def put(self, img, x, y, opacity=1.0):
        """Places a device-resolution picture with its top left at logical (x, y)."""
        if isinstance(img, Layer):
            img = img.image()
        if opacity < 1.0:
            img = img.copy()
            img.putalpha(img.getchannel("A").point(lambda v: round(v * opacity)))
        px, py = round(x * self.s * self.ss), round(y * self.s * self.ss)
        if self.ss != 1:
            img = img.resize((img.width * self.ss, img.height * self.ss), Image.NEAREST)
        # alpha_composite wants the source inside the destination.
        sx0, sy0 = max(0, -px), max(0, -py)
        sx1 = min(img.width, self.size[0] - px)
        sy1 = min(img.height, self.size[1] - py)
        if sx1 <= sx0 or sy1 <= sy0:
            return
        self.im.alpha_composite(img.crop((sx0, sy0, sx1, sy1)), (px + sx0, py + sy0))


class Canvas(Layer):
    """A picture at device resolution, with text."""

    def __init__(self, w, h, s, background=None):
        super().__init__(w, h, s, ss=1, background=background)

    def sub(self, w, h, ss=SS):
        return Layer(w, h, self.s, ss)

    def text_width(self, text, size):
        return font(size * self.s).getlength(text) / self.s

    def baseline_for_centre(self, yc, size):
        """Baseline (device px) that centres ideographs on logical yc."""
        f = font(size * self.s)
        _, top, _, bottom = f.getbbox("国", anchor="ls")
        return round(yc * self.s - (top + bottom) / 2)

    def text(self, x, y, text, size, paint=TEXT, centre=True, align="left"):
        """Text starting at logical x; y is the ideograph centre (centre=True) or the baseline."""
        check_glyphs(text, size * self.s)
        f = font(size * self.s)
        by = self.baseline_for_centre(y, size) if centre else round(y * self.s)
        width = f.getlength(text)
        px = x * self.s
        if align == "centre":
            px -= width / 2
        elif align == "right":
            px -= width
        mask = Image.new("L", self.size, 0)
        ImageDraw.Draw(mask).text((round(px), by), text, font=f, fill=255, anchor="ls")
        self.fill(mask, paint)
        return width / self.s


# ----------------------------------------------------------------------------------------------
# Icons, drawn on a 16-unit grid; integer edges land on device pixels at every scale
# ----------------------------------------------------------------------------------------------

def page(L, x0, y0, x1, y1, fold=3, paper=WHITE, edge=PAPER_EDGE):
    """A sheet of paper with its top right corner folded."""
    L.poly([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], edge)
    L.poly([(x0 + 1, y0 + 1), (x1 - fold - 0.4, y0 + 1), (x1 - 1, y0 + fold + 0.4), (x1 - 1, y1 - 1),
            (x0 + 1, y1 - 1)], paper)
    L.poly([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], edge)
    L.poly([(x1 - fold + 1, y0 + 1.6), (x1 - fold + 1, y0 + fold - 1), (x1 - 1.6, y0 + fold - 1)],
           (222, 230, 238))


def ico_folder(L, front=None):
    L.frame(1, 2, 7, 5, FOLDER_EDGE, FOLDER_BACK)
    L.frame(1, 4, 15, 14, FOLDER_EDGE, FOLDER_BACK)
    L.rect(2, 4, 6, 5, FOLDER_BACK)
    if front:
        front(L)
    L.frame(1, 6, 15, 14, FOLDER_EDGE, VGrad(7, 13, FOLDER_FRONT_TOP, FOLDER_FRONT_BOTTOM))
    L.rect(2, 7, 14, 8, (255, 238, 176))


def ico_document(L):
    page(L, 3, 1, 13, 15)
    for y, x1 in ((5, 10), (7, 11), (9, 11), (11, 11), (13, 9)):
        L.rect(5, y, x1, y + 1, PAPER_LINE)


def globe(L, cx, cy, r, lines=True):
    L.fill(L.m_circle(cx, cy, r), RGrad(cx - r * 0.35, cy - r * 0.4, r * 1.5,
                                        (0.0, (150, 210, 255)), (0.55, (52, 132, 214)),
                                        (1.0, (26, 86, 168))))
    inside = L.m_circle(cx, cy, r - 0.6)
    land = L.m_or(L.m_poly([(cx - r * 0.75, cy - r * 0.45), (cx - r * 0.1, cy - r * 0.75),
                            (cx + r * 0.05, cy - r * 0.25), (cx - r * 0.35, cy + r * 0.05),
                            (cx - r * 0.15, cy + r * 0.7), (cx - r * 0.55, cy + r * 0.55),
                            (cx - r * 0.9, cy + r * 0.05)]),
                  L.m_poly([(cx + r * 0.35, cy - r * 0.1), (cx + r * 0.95, cy - r * 0.25),
                            (cx + r * 0.85, cy + r * 0.45), (cx + r * 0.45, cy + r * 0.6)]))
    L.fill(L.m_and(land, inside), (96, 186, 96))
    if lines:
        # one-pixel lines on whole units, so that they stay sharp at the smallest size
        grid = L.m_sub(L.m_ellipse(cx - 4, cy - r, cx + 5, cy + r),
                       L.m_ellipse(cx - 3, cy - r + 1, cx + 4, cy + r - 1))
        grid = L.m_or(grid, L.m_rect(cx - r, cy, cx + r, cy + 1))
        grid = L.m_or(grid, L.m_rect(cx, cy - r, cx + 1, cy + r))
        L.fill(L.m_and(grid, inside), (225, 242, 255), opacity=0.6)
    L.ring(cx, cy, r, 1, (24, 78, 150))


def ico_globe(L):
    globe(L, 8, 8, 7)


def ico_check(L):
    L.stroke([(3, 8.5), (6.5, 12), (13, 4.5)], 3.2, (30, 118, 52))
    L.stroke([(3, 8.5), (6.5, 12), (13, 4.5)], 1.8, (70, 180, 90))


def monitor(L, x0, y0, x1, y1, screen=None, stand=True):
    """A flat screen with its stand below y1 when stand is set."""
    L.rrect(x0, y0, x1, y1, 1, BEZEL_EDGE)
    L.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, (96, 108, 124))
    sx0, sy0, sx1, sy1 = x0 + 1, y0 + 1, x1 - 1, y1 - 1
    if screen:
        screen(L, sx0, sy0, sx1, sy1)
    else:
        L.rect(sx0, sy0, sx1, sy1, VGrad(sy0, sy1, SCREEN_TOP, SCREEN_BOTTOM))
        L.poly([(sx0, sy0), (sx0 + (sx1 - sx0) * 0.55, sy0), (sx0, sy1 - 0.5)], (255, 255, 255, 60))
    if stand:
        cx = (x0 + x1) / 2
        L.rect(math.floor(cx) - 1, y1, math.floor(cx) + 1, y1 + 1, (110, 122, 138))
        L.rrect(math.floor(cx) - 4, y1 + 1, math.floor(cx) + 4, y1 + 3, 0.8, BEZEL_EDGE)
        L.rect(math.floor(cx) - 3, y1 + 1, math.floor(cx) + 3, y1 + 2, (150, 162, 178))


def ico_monitor(L):
    monitor(L, 1, 2, 15, 12)


def ico_globe_computer(L):
    monitor(L, 0, 5, 11, 13)
    globe(L, 11, 5, 5, lines=False)


def hand(L, x, y):
    """A small hand pointing up, its fingertip at (x + 1.5, y)."""
    edge = (110, 78, 48)
    skin = (255, 232, 200)
    outline = [(x, y + 1), (x + 0.6, y), (x + 2.4, y), (x + 3, y + 1), (x + 3, y + 4),
               (x + 6, y + 4.2), (x + 6.6, y + 5), (x + 6.4, y + 8), (x + 5.4, y + 9),
               (x + 1, y + 9), (x - 1.6, y + 6), (x - 1.6, y + 5), (x - 0.8, y + 4.6), (x, y + 5.4)]
    L.poly(outline, edge)
    inner = [(x + 1, y + 1.2), (x + 2, y + 1.2), (x + 2, y + 5.1), (x + 5.4, y + 5.2),
             (x + 5.4, y + 7.6), (x + 4.9, y + 8), (x + 1.4, y + 8), (x - 0.3, y + 6),
             (x + 1, y + 7.2)]
    L.poly(inner, skin)
    L.rect(x + 3, y + 5, x + 3.7, y + 6.4, (200, 160, 120))


def ico_computer_hand(L):
    monitor(L, 0, 1, 12, 10)
    hand(L, 9, 6.5)


def ico_drawing(L):
    L.frame(1, 3, 13, 15, PAPER_EDGE, WHITE)
    L.rect(2, 4, 12, 14, VGrad(4, 14, (232, 244, 255), (250, 252, 255)))
    L.circle(5, 7, 1.6, (240, 150, 40))
    L.poly([(2, 14), (2, 12), (5, 9.8), (7.5, 11.5), (10, 9), (12, 11), (12, 14)], (90, 176, 90))
    # a pencil lying across the corner of the sheet
    L.stroke([(15, 1.6), (9.2, 7.4)], 3.0, (120, 86, 30), cap="butt")
    L.stroke([(15, 1.6), (9.2, 7.4)], 1.6, (248, 200, 60), cap="butt")
    L.poly([(9.2 - 1.1, 7.4 - 1.1), (9.2 + 1.1, 7.4 + 1.1), (7.2, 9.4)], (236, 206, 160))
    L.poly([(7.9, 8.7), (8.3, 9.1), (7.2, 9.4)], (40, 40, 40))


def ico_drawer(L):
    # folders standing in the open drawer
    for x0, col in ((3, (236, 186, 70)), (6, (120, 178, 236)), (9, (132, 200, 120))):
        L.frame(x0, 1, x0 + 5, 7, tuple(max(0, c - 70) for c in col), col)
    L.frame(1, 6, 15, 15, (112, 92, 64), VGrad(7, 14, (226, 196, 146), (196, 158, 104)))
    L.rect(2, 7, 14, 8, (238, 214, 172))
    L.rect(1, 9, 15, 10, (150, 120, 80))
    L.frame(6, 11, 10, 13, (92, 72, 46), (240, 226, 196))


def ico_doc_picture(L):
    page(L, 2, 1, 14, 15)
    L.rect(4, 4, 11, 10, (96, 118, 140))
    L.rect(5, 5, 10, 9, VGrad(5, 9, (150, 206, 250), (214, 238, 255)))
    L.fill(L.m_and(L.m_poly([(5, 9), (7, 6.5), (8.5, 8), (10, 7), (10, 9)]), L.m_rect(5, 5, 10, 9)),
           (84, 170, 84))
    L.circle(9, 6, 0.9, (240, 160, 40))
    L.rect(4, 11, 12, 12, PAPER_LINE)
    L.rect(4, 13, 10, 14, PAPER_LINE)


def ico_books(L):
    def book(x0, y0, x1, y1, cover, edge):
        L.frame(x0, y0, x1, y1, edge, cover)
        L.rect(x1 - 3, y0 + 1, x1 - 1, y1 - 1, (250, 246, 232))
        L.rect(x1 - 3, y0 + 2, x1 - 1, y0 + 2.5, (204, 196, 176))
        L.rect(x0 + 2, y0 + 1, x0 + 3, y1 - 1, (255, 214, 110))
    book(1, 11, 15, 15, (196, 64, 56), (118, 34, 30))
    book(2, 7, 14, 11, (58, 112, 190), (30, 62, 118))
    book(1, 3, 13, 7, (64, 156, 98), (30, 92, 56))
    L.rect(5, 1, 9, 3, (150, 120, 80))
    L.frame(4, 1, 10, 3, (96, 72, 40))


def ico_app(L):
    L.rframe(1, 2, 15, 14, 1, (52, 90, 136), WHITE)
    L.rect(2, 3, 14, 6, VGrad(3, 6, (96, 168, 236), (44, 118, 200)))
    L.rect(11, 4, 13, 5, (220, 236, 250))
    L.rrect(3, 8, 7, 12, 0.8, (86, 180, 110))
    L.rrect(9, 8, 13, 12, 0.8, (244, 164, 60))


def ico_all(L):
    rows = [((236, 184, 62), (178, 126, 24)), ((60, 140, 220), (28, 82, 150)),
            ((90, 182, 110), (40, 118, 62))]
    for i, (fill, edge) in enumerate(rows):
        y = 1 + i * 5
        L.frame(1, y, 6, y + 4, edge, fill)
        L.rect(8, y + 1, 15 - (i % 2) * 2, y + 3, (120, 146, 176))


def gear(L, cx, cy, r, teeth=8, colour=(112, 132, 154), edge=(62, 78, 98), hole=None):
    body = L.m_circle(cx, cy, r * 0.72)
    for i in range(teeth):
        a = 2 * math.pi * i / teeth
        ca, sa = math.cos(a), math.sin(a)
        tw = r * 0.2
        p0 = (cx + ca * r * 0.5, cy + sa * r * 0.5)
        p1 = (cx + ca * r, cy + sa * r)
        quad = [(p0[0] - sa * tw, p0[1] + ca * tw), (p1[0] - sa * tw, p1[1] + ca * tw),
                (p1[0] + sa * tw, p1[1] - ca * tw), (p0[0] + sa * tw, p0[1] - ca * tw)]
        body = L.m_or(body, L.m_poly(quad))
    holem = L.m_circle(cx, cy, r * 0.3)
    L.fill(L.m_sub(body, holem), edge)
    inner = L.m_circle(cx, cy, r * 0.72 - 1)
    L.fill(L.m_sub(inner, L.m_circle(cx, cy, r * 0.3 + 1)),
           RGrad(cx - r * 0.3, cy - r * 0.3, r * 1.2, (0, (200, 214, 228)), (1, colour)))
    if hole:
        L.fill(holem, hole)


def ico_gear(L):
    gear(L, 8, 8, 7.5)


def badge(L, cx, cy, r, colour, symbol):
    """A small round badge with a white symbol, ringed in white to part it from what is below."""
    L.circle(cx, cy, r + 1, WHITE)
    L.fill(L.m_circle(cx, cy, r), RGrad(cx - r * 0.3, cy - r * 0.4, r * 1.6,
                                        (0, mix(colour, WHITE, 0.35)), (1, colour)))
    symbol(L, cx, cy, r)


def sym_play(L, cx, cy, r):
    L.poly([(cx - r * 0.35, cy - r * 0.55), (cx + r * 0.6, cy), (cx - r * 0.35, cy + r * 0.55)], WHITE)


def sym_cross(L, cx, cy, r):
    d = r * 0.42
    L.stroke([(cx - d, cy - d), (cx + d, cy + d)], max(1.0, r * 0.32), WHITE, cap="butt")
    L.stroke([(cx - d, cy + d), (cx + d, cy - d)], max(1.0, r * 0.32), WHITE, cap="butt")


def sym_check(L, cx, cy, r):
    L.stroke([(cx - r * 0.5, cy), (cx - r * 0.12, cy + r * 0.4), (cx + r * 0.5, cy - r * 0.38)],
             max(1.0, r * 0.3), WHITE)


def sym_question(L, cx, cy, r):
    L.arc(cx, cy - r * 0.22, r * 0.3, r * 0.26, 180, 400, WHITE, cap="butt")
    L.stroke([(cx + r * 0.2, cy - r * 0.02), (cx, cy + r * 0.14), (cx, cy + r * 0.26)], r * 0.26, WHITE,
             cap="butt")
    L.circle(cx, cy + r * 0.52, r * 0.15, WHITE)


def sym_info(L, cx, cy, r):
    L.circle(cx, cy - r * 0.48, r * 0.16, WHITE)
    L.rect(cx - r * 0.13, cy - r * 0.2, cx + r * 0.13, cy + r * 0.62, WHITE)


def sym_grid(L, cx, cy, r):
    d, g = r * 0.5, r * 0.12
    for sx in (-1, 1):
        for sy in (-1, 1):
            x0, x1 = (cx + g, cx + d) if sx > 0 else (cx - d, cx - g)
            y0, y1 = (cy + g, cy + d) if sy > 0 else (cy - d, cy - g)
            L.rect(x0, y0, x1, y1, WHITE)


def sym_dots(L, cx, cy, r):
    for dx in (-0.45, 0, 0.45):
        L.circle(cx + r * dx, cy, r * 0.14, WHITE)


def sym_gear(L, cx, cy, r):
    gear(L, cx, cy, r * 0.75, teeth=6, colour=(255, 255, 255), edge=(255, 255, 255))


def sym_monitor(L, cx, cy, r):
    L.rect(cx - r * 0.55, cy - r * 0.45, cx + r * 0.55, cy + r * 0.25, WHITE)
    L.rect(cx - r * 0.3, cy + r * 0.4, cx + r * 0.3, cy + r * 0.55, WHITE)


def ico_my_computer(L):
    L.frame(11, 3, 16, 15, BEZEL_EDGE, VGrad(3, 15, (214, 222, 232), (170, 182, 196)))
    L.rect(12, 5, 15, 6, (110, 122, 138))
    L.rect(12, 7, 15, 8, (110, 122, 138))
    L.rect(12, 12, 13, 13, (80, 200, 110))
    monitor(L, 0, 2, 12, 11)


def ico_my_documents(L):
    def sheet(L):
        L.frame(4, 1, 13, 8, PAPER_EDGE, WHITE)
        L.rect(6, 3, 11, 4, PAPER_LINE)
        L.rect(6, 5, 11, 6, PAPER_LINE)
    ico_folder(L, front=sheet)


def wallpaper(L, x0, y0, x1, y1):
    L.rect(x0, y0, x1, y1, VGrad(y0, y1, (120, 196, 240), (196, 232, 250)))
    L.fill(L.m_and(L.m_poly([(x0, y1), (x0, y1 - 3), (x0 + 4, y1 - 5.5), (x0 + 8, y1 - 3),
                             (x1, y1 - 4.5), (x1, y1)]), L.m_rect(x0, y0, x1, y1)), (72, 168, 92))
    L.rect(x0 + 1, y0 + 1, x0 + 3, y0 + 3, WHITE)
    L.rect(x0 + 1, y0 + 4, x0 + 3, y0 + 6, (255, 226, 130))


def ico_desktop(L):
    monitor(L, 1, 2, 15, 12, screen=wallpaper)


def ico_recycle_bin(L):
    L.poly([(3, 5), (13, 5), (12, 15), (4, 15)], (70, 96, 122))
    L.poly([(4.1, 6), (11.9, 6), (11.1, 14), (4.9, 14)], HGrad(4, 12, (170, 196, 220), (226, 238, 248),
                                                              (160, 186, 212)))
    for x in (6, 8, 10):
        L.rect(x, 7, x + 1, 13, (110, 140, 170))
    L.rrect(2, 3, 14, 5, 0.8, (70, 96, 122))
    L.rect(3, 3.5, 13, 4.5, (190, 210, 228))
    L.frame(6, 1, 10, 4, (70, 96, 122))


def ico_control_panel(L):
    L.rframe(1, 1, 15, 15, 1.5, (70, 98, 130), VGrad(1, 15, (250, 252, 255), (220, 232, 244)))
    for x, knob, col in ((4, 10, (230, 90, 70)), (8, 5, (60, 140, 220)), (12, 8, (80, 176, 90))):
        L.rect(x - 0.5, 3, x + 0.5, 13, (140, 160, 182))
        L.rframe(x - 2, knob - 1.5, x + 2, knob + 1.5, 0.6, tuple(max(0, c - 60) for c in col), col)


def clock(L, cx, cy, r):
    L.circle(cx, cy, r, (40, 100, 170))
    L.fill(L.m_circle(cx, cy, r - 1.2), RGrad(cx - 2, cy - 2, r * 1.6, (0, WHITE), (1, (222, 236, 250))))
    L.stroke([(cx, cy - r * 0.6), (cx, cy), (cx + r * 0.45, cy + r * 0.25)], 1.1, (36, 56, 86),
             cap="butt", join="round")
    L.circle(cx, cy, 0.8, (200, 60, 50))


def ico_history(L):
    clock(L, 9, 9, 6.5)
    L.arc(9, 9, 8, 1.5, 150, 235, TEAL, cap="butt")
    L.poly([(0.2, 9.5), (4.6, 9.5), (2.4, 13.2)], TEAL)


def star(L, cx, cy, r, ri, paint):
    pts = []
    for i in range(10):
        a = math.radians(-90 + 36 * i)
        rr = r if i % 2 == 0 else ri
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    L.poly(pts, paint)


def ico_favorites(L):
    star(L, 8, 8.6, 7.6, 3.3, (176, 118, 14))
    star(L, 8, 8.7, 6.1, 2.6, RGrad(6.5, 6, 7, (0, (255, 240, 150)), (1, (244, 182, 36))))


def ico_network(L):
    L.rect(4, 7, 5, 13, (70, 90, 112))
    L.rect(4, 13, 12, 14, (70, 90, 112))
    L.rect(11, 10, 12, 14, (70, 90, 112))
    monitor(L, 0, 0, 9, 7, stand=False)
    monitor(L, 7, 4, 16, 11, stand=False)
    L.frame(3, 12, 6, 15, (40, 60, 84), (120, 200, 120))


def ico_task_manager(L):
    L.rframe(1, 1, 15, 15, 1, (40, 54, 72), (28, 38, 52))
    for y in (5, 9):
        L.rect(2, y, 14, y + 0.5, (54, 76, 98))
    for x in (6, 10):
        L.rect(x, 2, x + 0.5, 14, (54, 76, 98))
    L.stroke([(2.5, 11), (5, 9), (7, 11.5), (9.5, 5), (11.5, 8), (13.5, 6.5)], 1.3, (90, 230, 120))


def ico_start_menu(L):
    L.rframe(4, 0, 16, 13, 1, (62, 92, 128), WHITE)
    L.rect(5, 1, 15, 3, VGrad(1, 3, (90, 160, 230), (44, 118, 200)))
    for y in (5, 7, 9, 11):
        L.rect(10, y, 14, y + 1, PAPER_LINE)
    badge(L, 4, 12, 3.8, TEAL, sym_grid)


def ico_all_programs(L):
    cols = [(236, 98, 80), (60, 140, 220), (244, 176, 50), (80, 176, 96), (140, 110, 210),
            (40, 170, 176), (244, 140, 60), (90, 120, 150), (220, 90, 150)]
    for i, c in enumerate(cols):
        x = 1 + (i % 3) * 5
        y = 1 + (i // 3) * 5
        L.rrect(x, y, x + 4, y + 4, 1, tuple(max(0, v - 50) for v in c))
        L.rrect(x + 0.6, y + 0.6, x + 3.4, y + 3.4, 0.6, VGrad(y, y + 4, mix(c, WHITE, 0.3), c))


def folder_with_badge(colour, symbol):
    def draw(L):
        ico_folder(L)
        badge(L, 12, 12, 3.5, colour, symbol)
    return draw


def ico_more(L):
    L.fill(L.m_circle(8, 8, 7), RGrad(6, 5, 10, (0, (150, 200, 246)), (1, ACCENT_DARK)))
    L.ring(8, 8, 7, 1, (26, 76, 136))
    sym_dots(L, 8, 8, 7)


def ico_autorun_docs(L):
    page(L, 1, 1, 11, 15)
    for y in (5, 7, 9):
        L.rect(3, y, 9, y + 1, PAPER_LINE)
    badge(L, 11.5, 11.5, 4, (40, 160, 80), sym_play)


def ico_delete_all(L):
    ico_recycle_bin(L)
    badge(L, 12, 12, 3.8, (214, 60, 48), sym_cross)


def round_sign(colour, symbol):
    def draw(L):
        L.fill(L.m_circle(8, 8, 7), RGrad(6, 5, 10, (0, mix(colour, WHITE, 0.45)), (1, colour)))
        L.ring(8, 8, 7, 1, tuple(max(0, c - 50) for c in colour))
        symbol(L, 8, 8, 7)
    return draw


ICONS = {
    # the tree pictures, in the order of their indexes
    "folder": ico_folder,
    "document": ico_document,
    "globe": ico_globe,
    "check": ico_check,
    "globe_computer": ico_globe_computer,
    "computer_hand": ico_computer_hand,
    "monitor": ico_monitor,
    "drawing": ico_drawing,
    "drawer": ico_drawer,
    "doc_picture": ico_doc_picture,
    "books": ico_books,
    # tabs
    "all": ico_all,
    "app": ico_app,
    "gear": ico_gear,
    # system locations
    "my_computer": ico_my_computer,
    "my_documents": ico_my_documents,
    "desktop": ico_desktop,
    "recycle_bin": ico_recycle_bin,
    "control_panel": ico_control_panel,
    "history": ico_history,
    "favorites": ico_favorites,
    "network": ico_network,
    "task_manager": ico_task_manager,
    "start_menu": ico_start_menu,
    "all_programs": ico_all_programs,
    "desktop_folder": folder_with_badge((60, 130, 210), sym_monitor),
    "startup": folder_with_badge((40, 160, 80), sym_play),
    "system_folder": folder_with_badge((96, 110, 130), sym_gear),
    "more": ico_more,
    # buttons
    "autorun_docs": ico_autorun_docs,
    "delete_all": ico_delete_all,
    "help": round_sign((40, 118, 206), sym_question),
    "about": round_sign(TEAL, sym_info),
    "close": round_sign((210, 64, 52), sym_cross),
    "confirm": round_sign((44, 150, 72), sym_check),
}

IMAGELIST = ["folder", "document", "globe", "check", "globe_computer", "computer_hand", "monitor",
             "drawing", "drawer", "doc_picture", "books"]


def icon(name, s):
    L = Layer(16, 16, s)
    ICONS[name](L)
    return L.image()


# ----------------------------------------------------------------------------------------------
# The program's mark: a stack of windows inside a circling history arrow
# ----------------------------------------------------------------------------------------------

def app_mark(px):
    """The mark at px device pixels square."""
    L = Layer(64, 64, px / 64.0)
    small = px <= 24
    u = 64.0 / px                          # units per device pixel
    ring_w = 8 if small else 6.5
    r = 26 if small else 25
    cx = cy = 32
    a0, a1 = -62, 196         # the arrow runs from a0 round through the bottom to a1
    ring = L.m_arc(cx, cy, r, ring_w, a0, a1, cap="butt")
    # arrowhead at a0, pointing back (counter-clockwise): the way to what was open before
    t = math.radians(a0)
    ux, uy = math.cos(t), math.sin(t)           # outward
    vx, vy = math.sin(t), -math.cos(t)          # counter-clockwise direction
    hw = ring_w * (1.25 if small else 1.15)
    base = (cx + ux * r, cy + uy * r)
    tip_len = ring_w * (1.6 if small else 1.5)
    head = [(base[0] + ux * hw, base[1] + uy * hw),
            (base[0] + vx * tip_len, base[1] + vy * tip_len),
            (base[0] - ux * hw, base[1] - uy * hw)]
    ring = L.m_or(ring, L.m_poly(head))
    if not small:
        shadow = Layer(64, 64, px / 64.0)
        shadow.fill(ring, (10, 40, 80, 60))
        L.put(shadow.image(), 0.6, 1.0)
    L.fill(ring, VGrad(4, 60, (30, 180, 176), (32, 112, 206)))

    # the windows: one behind, one in front
    if small:
        # drawn on the pixel grid, one-pixel edges: at this size every pixel shows
        q = px / 16.0

        def g(v):
            return round(v * q) * u
        edge = (30, 76, 130)
        L.frame(g(3.5), g(3.5), g(10), g(9), edge, (176, 210, 240), w=u)
        L.frame(g(6), g(6), g(12.5), g(12), edge, WHITE, w=u)
        L.rect(g(6) + u, g(6) + u, g(12.5) - u, g(6) + u + round(q * 1.5) * u, (40, 128, 214))
    else:
        L.rframe(15, 16, 41, 35, 2, (44, 90, 146), VGrad(16, 35, (210, 230, 248), (166, 200, 234)), w=1.6)
        L.rect(16.6, 17.6, 39.4, 21.5, VGrad(17.6, 21.5, (150, 190, 230), (118, 164, 214)))
        body = Layer(64, 64, px / 64.0)
        body.rrect(22, 24, 50, 46, 2.4, (10, 40, 80, 70))
        L.put(body.image(), 0.8, 1.2)
        L.rframe(22, 24, 50, 46, 2.2, (30, 80, 140), VGrad(24, 46, WHITE, (232, 242, 252)), w=1.6)
        L.rect(23.6, 25.6, 48.4, 30.5, VGrad(25.6, 30.5, (84, 176, 236), (34, 112, 200)))
        for y, x1 in ((34, 44), (37.5, 46), (41, 40)):
            L.rrect(26, y, x1, y + 1.8, 0.9, (150, 176, 204))
        L.circle(45.6, 28, 1.1, (230, 244, 255))
    return L.image()


# ----------------------------------------------------------------------------------------------
# The pictures
# ----------------------------------------------------------------------------------------------

TAB_BOUNDS = [0, 60, 120, 186, 246, 306, 370]
TAB_CAPTIONS = ["全部", "软件", "文件夹", "网页", "系统", "设置"]
TAB_ICONS = ["all", "app", "folder", "globe", "monitor", "gear"]
TAB_FONT = 12


def tab_strip(s, active):
    """The strip of six tabs; with active set, every tab is drawn as the chosen one."""
    c = Canvas(370, 24, s, WIN_BG)
    L = c.sub(370, 24)
    for x0, x1 in zip(TAB_BOUNDS, TAB_BOUNDS[1:]):
        if active:
            L.rrect(x0, 0, x1, 25, 3.5, BORDER, corners=(True, True, False, False))
            L.rrect(x0 + 1, 1, x1 - 1, 25, 2.5, VGrad(1, 24, WHITE, WIN_BG),
                    corners=(True, True, False, False))
            L.rrect(x0 + 1, 1, x1 - 1, 3, 2.5, VGrad(1, 3, (88, 168, 236), ACCENT),
                    corners=(True, True, False, False))
        else:
            L.rrect(x0 + 1, 2, x1 - 1, 25, 3, BORDER, corners=(True, True, False, False))
            L.rrect(x0 + 2, 3, x1 - 2, 25, 2, VGrad(3, 23, (255, 255, 255), (226, 236, 247)),
                    corners=(True, True, False, False))
            L.rect(x0 + 3, 3, x1 - 3, 4, WHITE)
    c.put(L, 0, 0)
    if not active:
        c.rect(0, 23, 370, 24, BORDER)
    for (x0, x1), caption, ic in zip(zip(TAB_BOUNDS, TAB_BOUNDS[1:]), TAB_CAPTIONS, TAB_ICONS):
        tw = c.text_width(caption, TAB_FONT)
        group = 16 + 3 + tw
        gx = round(x0 + (x1 - x0 - group) / 2)
        top = 1 if active else 2
        c.put(icon(ic, s), gx, top + 3)
        c.text(gx + 19, top + 11, caption, TAB_FONT, ACCENT_DARK if active else TEXT)
    return c.im


def tab_selected(s):
    """A mark for the chosen tab, laid over the strip at the tab's left edge and cut to its
    width: a bar of colour along the tab's top, and the line under the tab taken away so that
    the tab opens into its page. It leaves the icon and caption as they are."""
    L = Layer(66, 24, s)
    L.rrect(2, 3, 64, 5, 1, VGrad(3, 5, (88, 168, 236), ACCENT), corners=(True, True, False, False))
    L.rect(2, 23, 64, 24, WIN_BG)
    return L.image()


SYSTEM_BUTTONS = [
    ((17, 14, 86, 25), "我的电脑", "my_computer"),
    ((108, 15, 88, 23), "我的文档", "my_documents"),
    ((207, 14, 91, 23), "我的桌面", "desktop"),
    ((303, 14, 105, 24), "垃圾回收站", "recycle_bin"),
    ((12, 44, 92, 24), "控制面板", "control_panel"),
    ((106, 44, 94, 24), "历史记录", "history"),
    ((209, 45, 84, 24), "收藏夹", "favorites"),
    ((304, 45, 93, 24), "网上邻居", "network"),
    ((13, 74, 91, 25), "任务管理器", "task_manager"),
    ((107, 75, 91, 24), "开始菜单", "start_menu"),
    ((211, 75, 82, 23), "所有程序", "all_programs"),
    ((306, 75, 90, 24), "桌面路径", "desktop_folder"),
    ((21, 106, 60, 22), "启动", "startup"),
    ((96, 107, 112, 22), "Windows路径", "system_folder"),
    ((218, 106, 73, 23), "更多...", "more"),
]


def system_page(s):
    W, H = 616, 252
    c = Canvas(W, H, s, WIN_BG)
    c.rect(0, 0, W, H, VGrad(0, H, (248, 252, 255), (232, 242, 251)))
    # the mark, large and faint, in the bottom right corner
    c.put(app_mark(220 * s), 446, 64, opacity=0.07)

    L = c.sub(W, H, ss=2)
    L.rrect(6, 6, 416, 139, 6, (200, 216, 232))
    L.rrect(7, 7, 415, 138, 5, VGrad(7, 138, (255, 255, 255, 230), (250, 253, 255, 170)))
    for (x, y, w, h), _, _ in SYSTEM_BUTTONS:
        L.rrect(x, y, x + w, y + h, 3, (214, 226, 238))
        L.rrect(x + 1, y + 1, x + w - 1, y + h - 1, 2, VGrad(y, y + h, (255, 255, 255), (240, 246, 252)))
    c.put(L, 0, 0)

    for (x, y, w, h), label, ic in SYSTEM_BUTTONS:
        iy = y + (h - 16) // 2
        c.put(icon(ic, s), x + 4, iy)
        width = c.text(x + 24, y + h / 2, label, 12, TEXT)
        require(x + 24 + width <= x + w - 2, f"system page: {label!r} does not fit its button")

    c.rect(18, 158, 21, 171, ACCENT)
    c.text(27, 164.5, "系统位置", 13, ACCENT_DARK)
    c.text(18, 186, "单击图标，打开系统的特殊文件夹、任务管理器或系统目录。", 12, TEXT2)
    c.text(18, 205, "“更多...”里还有字体、打印机、发送到等文件夹。", 12, TEXT2)
    return c.im


def banner(s):
    W, H = 468, 47
    c = Canvas(W, H, s, WIN_BG)
    c.rect(0, 0, W, H, VGrad(0, H, (250, 253, 255), (234, 243, 251)))
    c.rect(0, 0, W, 1, WHITE)
    c.rect(0, H - 1, W, H, SOFT_LINE)
    c.put(app_mark(32 * s), 10, 7)
    x = 50
    y = 23.5
    links = ["TarvoKelmora 官方网站", "使用帮助", "更新日志"]
    for i, link in enumerate(links):
        if i:
            d = Layer(14, 4, s)
            d.circle(7, 2, 1.5, (146, 168, 192))
            c.put(d, x, y - 2)
            x += 14
        x += c.text(x, y, link, 13, LINK)
    tagline = "打开过的，一键再打开"
    tx = W - 12 - c.text_width(tagline, 12)
    c.rect(round((x + tx) / 2), 15, round((x + tx) / 2) + 1, 33, SOFT_LINE)
    c.text(tx, y, tagline, 12, TEXT2)
    return c.im


class Skin:
    """A window frame cut into pieces: corners, tiled edges and sides.

    The whole frame is drawn once on a small stand-in window and the pieces are cut out of it,
    so they meet without seams whatever size the real window has."""

    def __init__(self, prefix, top, bottom, left, right, corner_left, corner_right):
        self.prefix = prefix
        self.top, self.bottom, self.left, self.right = top, bottom, left, right
        self.cl, self.cr = corner_left, corner_right
        self.w = corner_left + 1 + corner_right
        self.h = top + 1 + bottom

    def draw(self, s):
        W, H, T, B, Lw, Rw = self.w, self.h, self.top, self.bottom, self.left, self.right
        c = Canvas(W, H, s, WIN_BG)
        c.rect(0, 0, W, T, VGrad(3, T - 1, (230, 244, 246), PANEL))
        c.rect(0, H - B, W, H, VGrad(H - B + 1, H - 2, PANEL, (232, 244, 246)))
        c.rect(0, T, Lw, H - B, HGrad(2, Lw - 1, (236, 247, 247), PANEL))
        c.rect(W - Rw, T, W, H - B, HGrad(W - Rw + 1, W - 2, PANEL, (236, 247, 247)))
        # where the frame meets the window's content
        c.frame(Lw - 1, T - 1, W - Rw + 1, H - B + 1, INNER_LINE)
        c.rect(Lw, T, W - Rw, H - B, WIN_BG)
        # a light edge inside the rim, a band of colour along the top, then the rim itself
        c.frame(1, 1, W - 1, H - 1, WHITE)
        c.rect(1, 1, W - 1, 3, VGrad(1, 3, (70, 196, 194), (36, 142, 176)))
        c.frame(0, 0, W, H, RIM)
        return c.im

    def pieces(self):
        W, H, T, B = self.w, self.h, self.top, self.bottom
        return [
            ("top_left", (0, 0, self.cl, T)),
            ("top_center", (self.cl, 0, self.cl + 1, T)),
            ("top_right", (self.cl + 1, 0, W, T)),
            ("bottom_left", (0, H - B, self.cl, H)),
            ("bottom_center", (self.cl, H - B, self.cl + 1, H)),
            ("bottom_right", (self.cl + 1, H - B, W, H)),
            ("left", (0, T, self.left, T + 1)),
            ("right", (W - self.right, T, W, T + 1)),
        ]

    def write(self):
        for s in (1, 2):
            whole = self.draw(s)
            for piece, (x0, y0, x1, y1) in self.pieces():
                name = f"{self.prefix}_{piece}" + ("@2x" if s == 2 else "") + ".png"
                save(whole.crop((x0 * s, y0 * s, x1 * s, y1 * s)), name, ((x1 - x0) * s, (y1 - y0) * s))


# the main window: top strip 13, bottom 10, left 10, right 3; corner pieces 14 and 11 wide
MAIN_SKIN = Skin("frame", 13, 10, 10, 3, 14, 11)
# the about and help windows: top 15, bottom 11, left 10, right 14; corner pieces 14 wide
DIALOG_SKIN = Skin("dlg", 15, 11, 10, 14, 14, 14)


BUTTONS = [
    ("btn_autorun_set", 111, 24, "启动文档设置", "autorun_docs"),
    ("btn_delete_all", 122, 26, "删除所有历史文档", "delete_all"),
    ("btn_help", 122, 26, "帮助文档", "help"),
    ("btn_about", 122, 26, "关于我们", "about"),
    ("btn_close", 57, 26, "关闭", "close"),
    ("btn_confirm", 57, 26, "确定", "confirm"),
    ("btn_cancel", 58, 26, "取消", "close"),
]


def button(s, w, h, caption, ic):
    c = Canvas(w, h, s)
    L = c.sub(w, h)
    L.rrect(0, 0, w, h, 3.5, BORDER)
    L.rrect(1, 1, w - 1, h - 1, 2.5, VGrad(1, h - 1, (255, 255, 255), (236, 243, 250), (222, 234, 246)))
    L.rrect(1, 1, w - 1, h / 2, 2.5, (255, 255, 255, 110), corners=(True, True, False, False))
    c.put(L, 0, 0)
    tw = c.text_width(caption, 12)
    gap = 3
    group = 16 + gap + tw
    if w - group < 12:
        gap = 2
        group = 16 + gap + tw
    gx = round((w - group) / 2)
    c.put(icon(ic, s), gx, (h - 16) // 2)
    c.text(gx + 16 + gap, h / 2, caption, 12, TEXT)
    return c.im


def about(s):
    W, H = 358, 218
    c = Canvas(W, H, s, WIN_BG)
    L = c.sub(W, H, ss=2)
    L.rrect(4, 4, W - 4, H - 4, 8, (214, 226, 238))
    L.rrect(5, 5, W - 5, H - 5, 7, VGrad(5, H - 5, (255, 255, 255), (240, 247, 253)))
    L.rrect(5, 5, W - 5, 62, 7, VGrad(5, 62, (232, 246, 248), (248, 252, 255)),
            corners=(True, True, False, False))
    c.put(L, 0, 0)
    c.put(app_mark(40 * s), 26, 13)
    c.text(76, 29, "TarvoKelmora", 22, ACCENT_DARK)
    c.text(77, 48, "记下你打开过的软件、文件夹和网页", 11, TEXT2)
    c.rect(20, 62, W - 20, 63, SOFT_LINE)
    rows = [(76, "版本：", "1.0", TEXT),
            (97.5, "作者：", "TarvoKelmora 开发组", TEXT),
            (119.5, "官方网站：", "http://www.tarvokelmora.com", LINK),
            (141.5, "电子邮箱：", "support@tarvokelmora.com", TEXT)]
    for y, label, value, colour in rows:
        c.text(30, y, label, 13, TEXT2)
        c.text(120, y, value, 13, colour)
    c.rect(20, 161, W - 20, 162, SOFT_LINE)
    c.text(30, 177, "© TarvoKelmora 开发组  保留所有权利", 11, TEXT2)
    return c.im


def mini_tree_row(c, x, y, depth, expander, ic, text, selected=False, width=0):
    """One row of a tree drawn small: expander box, picture, text."""
    ix = x + 4 + depth * 16
    if selected:
        c.rect(ix + 14, y, x + width - 4, y + 17, (204, 228, 250))
        c.frame(ix + 14, y, x + width - 4, y + 17, (120, 170, 224))
    if expander:
        L = c.sub(9, 9, ss=1)
        L.frame(0, 0, 9, 9, (150, 166, 186), WHITE)
        L.rect(2, 4, 7, 5, (60, 80, 104))
        if expander == "+":
            L.rect(4, 2, 5, 7, (60, 80, 104))
        c.put(L, ix - 2, y + 4)
    c.put(icon(ic, c.s), ix + 10, y + 0.5)
    c.text(ix + 29, y + 8.5, text, 12, TEXT)


def number_badge(c, cx, cy, n):
    L = c.sub(20, 20)
    L.circle(10, 10, 8.5, WHITE)
    L.fill(L.m_circle(10, 10, 7.5), RGrad(8, 7, 10, (0, (252, 170, 100)), (1, BADGE)))
    c.put(L, cx - 10, cy - 10)
    c.text(cx, cy, str(n), 11, WHITE, align="centre")


HELP_NOTES = [
    ["“全部”页以树形列出用过的所有软件、文件夹和网页。"],
    ["单击某项即可打开它。"],
    ["单击树的节点可以看到它下面的子文档。"],
    ["“软件”、“文件夹”、“网页”页只列出软件、文件夹或网页。"],
    ["“系统”页可打开系统的特殊文件夹", "（我的电脑、我的文档、桌面、回收站等）。"],
]


def help_page(s):
    W, H = 500, 480
    c = Canvas(W, H, s, WIN_BG)
    c.rect(0, 0, W, H, VGrad(0, H, (250, 253, 255), (238, 245, 252)))
    c.put(app_mark(24 * s), 20, 10)
    c.text(52, 22, "TarvoKelmora 使用帮助", 18, ACCENT_DARK)
    c.rect(20, 40, W - 20, 41, SOFT_LINE)

    # the main window, drawn small: title bar, a band where the marks sit, tabs, tree, strips
    wx0, wy0, wx1, wy1 = 20, 52, 318, 284
    band = wy0 + 30                 # centre line of the band above the tabs
    ty = wy0 + 40                   # top of the tabs
    L = c.sub(W, H, ss=2)
    L.rrect(wx0 + 2, wy0 + 3, wx1 + 2, wy1 + 3, 4, (20, 50, 90, 28))
    L.rrect(wx0, wy0, wx1, wy1, 4, RIM)
    L.rrect(wx0 + 1, wy0 + 1, wx1 - 1, wy1 - 1, 3, PANEL)
    L.rrect(wx0 + 1, wy0 + 1, wx1 - 1, wy0 + 20, 3, VGrad(wy0, wy0 + 20, (214, 234, 246), (236, 246, 250)),
            corners=(True, True, False, False))
    c.put(L, 0, 0)
    c.rect(wx0 + 1, wy0 + 20, wx1 - 1, wy0 + 21, SOFT_LINE)
    c.put(app_mark(14 * s), wx0 + 6, wy0 + 3)
    c.text(wx0 + 25, wy0 + 10.5, "TarvoKelmora1.0", 11, TEXT)
    c.rect(wx0 + 6, ty + 18, wx1 - 6, wy1 - 50, WIN_BG)

    tab_x = []
    T = c.sub(W, H, ss=2)
    x = wx0 + 8
    for i, cap in enumerate(TAB_CAPTIONS):
        w = round(c.text_width(cap, 11)) + 14
        tab_x.append((x, x + w))
        if i == 0:
            T.rrect(x, ty, x + w, ty + 19, 2.5, BORDER, corners=(True, True, False, False))
            T.rrect(x + 1, ty + 1, x + w - 1, ty + 19, 2, WIN_BG, corners=(True, True, False, False))
            T.rrect(x + 1, ty + 1, x + w - 1, ty + 3, 2, ACCENT, corners=(True, True, False, False))
        else:
            T.rrect(x + 1, ty + 2, x + w - 1, ty + 19, 2.5, BORDER, corners=(True, True, False, False))
            T.rrect(x + 2, ty + 3, x + w - 2, ty + 19, 2, VGrad(ty + 3, ty + 18, WHITE, (226, 236, 247)),
                    corners=(True, True, False, False))
        x += w
    c.put(T, 0, 0)
    c.rect(wx0 + 6, ty + 18, tab_x[0][0] + 1, ty + 19, BORDER)
    c.rect(tab_x[0][1] - 1, ty + 18, wx1 - 6, ty + 19, BORDER)
    for i, (cap, (x0, x1)) in enumerate(zip(TAB_CAPTIONS, tab_x)):
        c.text((x0 + x1) / 2, ty + (10 if i == 0 else 11), cap, 11, ACCENT_DARK if i == 0 else TEXT,
               align="centre")

    # the tree
    rx, ry, rw = wx0 + 8, ty + 25, wx1 - wx0 - 16
    rows = [(0, "-", "globe", "www.tarvokelmora.com", False),
            (1, None, "globe", "TarvoKelmora 使用帮助", True),
            (0, "-", "folder", "/home/me/文档", False),
            (1, None, "folder", "/home/me/文档/报告", False),
            (0, "+", "folder", "/home/me/图片", False),
            (0, None, "app", "文本编辑器", False)]
    for i, (depth, exp, ic, text, sel) in enumerate(rows):
        mini_tree_row(c, rx, ry + i * 19, depth, exp, ic, text, sel, rw)
    for gy in (ry, ry + 2 * 19):
        c.rect(rx + 6, gy + 13, rx + 7, gy + 28, (190, 202, 216))
        c.rect(rx + 7, gy + 27, rx + 17, gy + 28, (190, 202, 216))
    chosen = c.text_width(rows[1][3], 12) + rx + 4 + 16 + 29
    P = c.sub(16, 16)
    hand(P, 5, 2)
    c.put(P, round(chosen) + 2, ry + 19 + 5)

    # hint strip and web strip at the bottom
    c.rect(wx0 + 6, wy1 - 50, wx1 - 6, wy1 - 49, SOFT_LINE)
    c.text(wx0 + 10, wy1 - 41, "http://www.tarvokelmora.com/help", 11, TEXT2)
    B = c.sub(W, H, ss=1)
    B.rect(wx0 + 6, wy1 - 30, wx1 - 6, wy1 - 7, VGrad(wy1 - 30, wy1 - 7, (250, 253, 255), (230, 240, 250)))
    B.frame(wx0 + 6, wy1 - 30, wx1 - 6, wy1 - 7, SOFT_LINE)
    c.put(B, 0, 0)
    c.put(app_mark(16 * s), wx0 + 10, wy1 - 26)
    c.text(wx0 + 30, wy1 - 18.5, "TarvoKelmora 官方网站 · 使用帮助 · 更新日志", 10, LINK)

    # the system tab's page, shown beside the window
    sx0, sy0, sx1, sy1 = 336, band - 11, 480, band - 11 + 166
    S = c.sub(W, H, ss=2)
    S.rrect(sx0 + 2, sy0 + 3, sx1 + 2, sy1 + 3, 4, (20, 50, 90, 28))
    S.rrect(sx0, sy0, sx1, sy1, 4, BORDER)
    S.rrect(sx0 + 1, sy0 + 1, sx1 - 1, sy1 - 1, 3, VGrad(sy0, sy1, (252, 254, 255), (234, 243, 251)))
    S.rrect(sx0 + 1, sy0 + 1, sx1 - 1, sy0 + 22, 3, VGrad(sy0, sy0 + 22, (226, 242, 248), PANEL),
            corners=(True, True, False, False))
    c.put(S, 0, 0)
    c.rect(sx0 + 1, sy0 + 22, sx1 - 1, sy0 + 23, SOFT_LINE)
    c.text(sx0 + 10, band, "“系统”页", 12, ACCENT_DARK)
    items = [("my_computer", "我的电脑"), ("my_documents", "我的文档"), ("desktop", "我的桌面"),
             ("recycle_bin", "垃圾回收站"), ("control_panel", "控制面板"), ("network", "网上邻居")]
    for i, (ic, label) in enumerate(items):
        y = sy0 + 31 + i * 22
        c.put(icon(ic, s), sx0 + 12, y)
        c.text(sx0 + 34, y + 8, label, 12, TEXT)

    # numbered marks: on the drawing, then beside the notes
    def centre(i):
        return (tab_x[i][0] + tab_x[i][1]) / 2
    number_badge(c, centre(0), band, 1)
    mid = (tab_x[1][0] + tab_x[3][1]) / 2
    c.rect(tab_x[1][0] + 3, band, mid - 9, band + 1, BADGE)
    c.rect(mid + 9, band, tab_x[3][1] - 3, band + 1, BADGE)
    for xx in (tab_x[1][0] + 3, tab_x[3][1] - 4):
        c.rect(xx, band, xx + 1, ty - 1, BADGE)
    number_badge(c, mid, band, 4)
    number_badge(c, centre(4), band, 5)
    # a dotted leader from the system tab's mark to its page
    D = c.sub(W, H, ss=2)
    x = centre(4) + 12
    while x < sx0 - 7:
        D.circle(x, band + 0.5, 0.8, (120, 150, 184))
        x += 4
    D.poly([(sx0 - 7, band - 3.5), (sx0 - 1, band + 0.5), (sx0 - 7, band + 4.5)], (120, 150, 184))
    c.put(D, 0, 0)
    number_badge(c, chosen + 30, ry + 19 + 8.5, 2)
    number_badge(c, wx0, ry + 4 * 19 + 8.5, 3)

    y = 308
    for n, lines in enumerate(HELP_NOTES, 1):
        number_badge(c, 32, y, n)
        for line in lines:
            width = c.text(48, y, line, 13, TEXT)
            require(48 + width <= W - 16, f"help: {line!r} is too long")
            y += 20
        y += 4
    c.rect(20, y - 2, W - 20, y - 1, SOFT_LINE)
    c.text(24, y + 12, "提示：在树上单击鼠标右键，可以展开全部节点或删除文档。", 12, TEXT2)
    require(y + 12 + 10 <= H, "help: the notes run off the picture")
    return c.im


# ----------------------------------------------------------------------------------------------
# Output
# ----------------------------------------------------------------------------------------------

_written = []   # (file name, expected size in pixels)


def save(img, name, size):
    path = os.path.join(HERE, name)
    if name.endswith(".bmp"):
        img.convert("RGB").save(path, "BMP")
    elif name.endswith(".jpg"):
        img.convert("RGB").save(path, "JPEG", quality=94, subsampling=0, optimize=True)
    else:
        img.save(path, "PNG", optimize=True)
    _written.append((name, size))


def both(name, size, draw):
    """Writes the picture at 1x and natively at 2x as name@2x."""
    base, ext = os.path.splitext(name)
    w, h = size
    save(draw(1), name, (w, h))
    ext2 = ".png" if ext == ".bmp" else ext
    save(draw(2), f"{base}@2x{ext2}", (2 * w, 2 * h))


def verify():
    """Every file exists with exactly the size the window layout counts on."""
    bad = []
    for name, (w, h) in _written:
        with Image.open(os.path.join(HERE, name)) as im:
            if im.size != (w, h):
                bad.append(f"{name}: {im.size[0]}x{im.size[1]}, expected {w}x{h}")
            if name.endswith(".bmp") and im.mode != "RGB":
                bad.append(f"{name}: mode {im.mode}, expected 24-bit RGB")
    with open(os.path.join(HERE, "toolbuttons.bmp"), "rb") as f:
        head = f.read(30)
    if head[:2] != b"BM" or int.from_bytes(head[28:30], "little") != 24:
        bad.append("toolbuttons.bmp: not a 24-bit Windows bitmap")
    if bad:
        sys.exit("make_artwork: wrong output\n  " + "\n  ".join(bad))


def write_qrc():
    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/">']
    for name, _ in _written:
        alias = "toolbuttons" if name == "toolbuttons.bmp" else name
        lines.append(f'    <file alias="{alias}">{name}</file>')
    lines += ['</qresource>', '</RCC>', '']
    with open(os.path.join(HERE, "artwork.qrc"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def main():
    both("toolbuttons.bmp", (370, 24), lambda s: tab_strip(s, active=False))
    both("toolbuttons_active.png", (370, 24), lambda s: tab_strip(s, active=True))
    both("tab_selected.png", (66, 24), tab_selected)
    both("system.png", (616, 252), system_page)
    both("banner.png", (468, 47), banner)

    MAIN_SKIN.write()
    DIALOG_SKIN.write()

    for name, w, h, caption, ic in BUTTONS:
        both(name + ".png", (w, h), lambda s, w=w, h=h, caption=caption, ic=ic: button(s, w, h, caption, ic))

    both("about.jpg", (358, 218), about)
    both("help.jpg", (500, 480), help_page)

    def strip(s):
        im = Image.new("RGBA", (176 * s, 16 * s), (0, 0, 0, 0))
        for i, name in enumerate(IMAGELIST):
            im.alpha_composite(icon(name, s), (16 * s * i, 0))
        return im
    both("imagelist.png", (176, 16), strip)

    for px in (16, 22, 24, 32, 48, 64, 128, 256):
        save(app_mark(px), f"app_{px}.png", (px, px))

    verify()
    write_qrc()
    print(f"make_artwork: wrote {len(_written)} pictures and artwork.qrc to {HERE}")


if __name__ == "__main__":
    main()
