#!/usr/bin/env python3
"""Writes the updater's skin sources: skin/<size>/ with the dialog and style files, the colour table,
the font descriptions, the language file and every image, at each of the three screen sizes.

The images are flat shapes drawn from signed distance functions with one pixel of anti-aliased edge,
so they are exact at every size without scaling a bitmap. Run it after changing the look:

    python3 scripts/make-skin.py [SKIN_FOLDER]

and commit what it writes. Only the Python standard library is used.
"""

import math
import os
import struct
import sys
import zlib

# ---- the palette: dark ground, light text, one accent ----

BG = (0x0B, 0x10, 0x16)          # the dialog itself, also behind the compact status line
PANEL = (0x15, 0x1C, 0x25)       # the area of the list and the buttons
ROW = (0x1A, 0x22, 0x2D)
ROW_LINE = (0x2C, 0x37, 0x45)
TEXT = (0xEE, 0xF2, 0xF6)
DIM = (0x8E, 0x9B, 0xA9)
ACCENT = (0x1E, 0xA7, 0xE8)
ACCENT_DARK = (0x12, 0x6F, 0x9E)
KEY = (0xD6, 0xDD, 0xE5)         # light faces (the widget gallery's buttons, the package icon)
KEY_FACE = (0xE8, 0xEC, 0xF1)    # the updater's buttons: their labels are black, but grey 808080
                                 # while an update runs, which must still read (more than 3:1)
KEY_EDGE = (0xA9, 0xB4, 0xC0)
DARK_TEXT = (0x0B, 0x0F, 0x14)
TRACK = (0x2C, 0x37, 0x45)
WARN = (0xF2, 0xB2, 0x33)
ERROR = (0xE5, 0x48, 0x4D)
WHITE = (0xFF, 0xFF, 0xFF)
BOX = (0x22, 0x2C, 0x39)         # the message box stands out from the screen under it
BOX_EDGE = (0x5B, 0x6B, 0x7D)
DIM_OPACITY = 128                # how far the screen behind the message box is darkened (of 255)

COLORS = [
    ("bg", BG), ("panel", PANEL), ("text", TEXT), ("text_dim", DIM), ("accent", ACCENT),
    ("text_on_accent", DARK_TEXT), ("button_text", DARK_TEXT),
]


def hexrgb(c):
    return "%02X%02X%02X" % c


# ---- a small PNG writer ----

def write_png(path, width, height, rgba):
    """rgba: bytearray of width*height*4, rows top-down, straight alpha."""
    raw = bytearray()
    stride = width * 4
    for y in range(height):
        raw.append(0)
        raw += rgba[y * stride:(y + 1) * stride]

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


# ---- drawing with distance functions ----

class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def fill(self, sdf, color, alpha=1.0, box=None):
        """Composites color over the canvas where sdf(x, y) < 0 (pixel centres), 1 px soft edge."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        cr, cg, cb = (c / 255.0 for c in color)
        for y in range(y0, y1):
            for x in range(x0, x1):
                d = sdf(x + 0.5, y + 0.5)
                cov = 0.5 - d
                if cov <= 0.0:
                    continue
                a = alpha * (1.0 if cov >= 1.0 else cov)
                p = self.px[y * self.w + x]
                out_a = a + p[3] * (1.0 - a)
                if out_a <= 0.0:
                    continue
                k = p[3] * (1.0 - a)
                p[0] = (cr * a + p[0] * k) / out_a
                p[1] = (cg * a + p[1] * k) / out_a
                p[2] = (cb * a + p[2] * k) / out_a
                p[3] = out_a

    def save(self, path):
        out = bytearray()
        for p in self.px:
            out += bytes((int(round(p[0] * 255)), int(round(p[1] * 255)), int(round(p[2] * 255)),
                          int(round(p[3] * 255))))
        write_png(path, self.w, self.h, out)


def rrect(x, y, w, h, r):
    cx, cy, hx, hy = x + w / 2.0, y + h / 2.0, w / 2.0 - r, h / 2.0 - r

    def f(px, py):
        qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return f


def circle(cx, cy, r):
    return lambda px, py: math.hypot(px - cx, py - cy) - r


def segment(ax, ay, bx, by, r):
    """A stroke from a to b with round ends, half width r."""
    def f(px, py):
        dx, dy = bx - ax, by - ay
        t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
        t = max(0.0, min(1.0, t))
        return math.hypot(px - ax - t * dx, py - ay - t * dy) - r
    return f


def arc(cx, cy, radius, a0, a1, r):
    """A stroke along a circle from angle a0 to a1 (degrees, clockwise from 3 o'clock, y down)."""
    def f(px, py):
        ang = math.degrees(math.atan2(py - cy, px - cx)) % 360.0
        lo, hi = a0 % 360.0, a1 % 360.0
        inside = lo <= ang <= hi if lo <= hi else (ang >= lo or ang <= hi)
        if inside:
            return abs(math.hypot(px - cx, py - cy) - radius) - r
        ends = []
        for a in (a0, a1):
            ex, ey = cx + radius * math.cos(math.radians(a)), cy + radius * math.sin(math.radians(a))
            ends.append(math.hypot(px - ex, py - ey) - r)
        return min(ends)
    return f


def polygon(points):
    """Signed distance to a convex or concave polygon (even-odd inside test)."""
    def f(px, py):
        d = float("inf")
        inside = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
            d = min(d, math.hypot(px - ax - t * dx, py - ay - t * dy))
            if (ay > py) != (by > py) and px < ax + (py - ay) * dx / (by - ay):
                inside = not inside
        return -d if inside else d
    return f


def union(*fs):
    return lambda px, py: min(f(px, py) for f in fs)


# ---- the images ----

def img_row(path, w, h, fill, line):
    c = Canvas(w, h)
    c.fill(lambda x, y: -1.0, fill)
    if line:
        c.fill(lambda x, y: -1.0 if y >= h - 1 else 1.0, line, box=(0, h - 1, w, h))
    c.save(path)


def img_key(path, w, h, face, edge):
    """A button face: rounded, with a one-pixel darker rim."""
    c = Canvas(w, h)
    r = max(4.0, h * 0.18)
    c.fill(rrect(0.5, 0.5, w - 1, h - 1, r), edge)
    c.fill(rrect(1.5, 1.5, w - 3, h - 3, r - 1), face)
    c.save(path)


def img_panel(path, w, h, fill, edge):
    c = Canvas(w, h)
    r = max(6.0, h * 0.05)
    c.fill(rrect(0.5, 0.5, w - 1, h - 1, r), edge)
    c.fill(rrect(2.5, 2.5, w - 5, h - 5, r - 2), fill)
    c.save(path)


def img_folder(path, s):
    c = Canvas(s, s)
    u = s / 32.0
    c.fill(rrect(3 * u, 6 * u, 12 * u, 6 * u, 1.5 * u), (0xE8, 0xC0, 0x5A))
    c.fill(rrect(3 * u, 9 * u, 26 * u, 18 * u, 2 * u), (0xE8, 0xC0, 0x5A))
    c.fill(rrect(3 * u, 12 * u, 26 * u, 15 * u, 2 * u), (0xF5, 0xD2, 0x74))
    c.save(path)


def img_uplevel(path, s):
    c = Canvas(s, s)
    u = s / 32.0
    w = 2.2 * u
    c.fill(union(segment(16 * u, 7 * u, 7 * u, 16 * u, w), segment(16 * u, 7 * u, 25 * u, 16 * u, w),
                 segment(16 * u, 7 * u, 16 * u, 25 * u, w)), TEXT)
    c.save(path)


def img_file(path, s):
    """The package: a box with the accent band across it."""
    c = Canvas(s, s)
    u = s / 32.0
    c.fill(rrect(5 * u, 6 * u, 22 * u, 21 * u, 2.5 * u), KEY)
    c.fill(rrect(5 * u, 12 * u, 22 * u, 5 * u, 0.1), ACCENT)
    c.fill(rrect(13 * u, 6 * u, 6 * u, 21 * u, 0.1), (0xB8, 0xC3, 0xCF))
    c.fill(rrect(13 * u, 12 * u, 6 * u, 5 * u, 0.1), ACCENT_DARK)
    c.save(path)


def img_check(path, s, margin):
    """The check mark, with a transparent margin on its right that keeps it clear of the scroll bar."""
    c = Canvas(s + margin, s)
    u = s / 32.0
    c.fill(circle(16 * u, 16 * u, 14.5 * u), ACCENT)
    w = 2.4 * u
    c.fill(union(segment(9 * u, 16.5 * u, 14 * u, 21.5 * u, w), segment(14 * u, 21.5 * u, 23 * u, 11 * u, w)),
           DARK_TEXT)
    c.save(path)


def img_scroll(folder, w, cap):
    r = w / 2.0
    top = Canvas(w, cap)
    top.fill(rrect(0, 0, w, cap + r + 1, r), DIM)
    top.save(os.path.join(folder, "scroll_top.png"))
    mid = Canvas(w, cap)
    mid.fill(lambda x, y: -1.0, DIM)
    mid.save(os.path.join(folder, "scroll_middle.png"))
    bot = Canvas(w, cap)
    bot.fill(rrect(0, -r - 1, w, cap + r + 1, r), DIM)
    bot.save(os.path.join(folder, "scroll_bottom.png"))


def img_track(path, w, h, color, th=None):
    """The bar's track, th pixels thick (default: 40% of the height), in the middle of an image of the
    layer's height."""
    c = Canvas(w, h)
    if th is None:
        th = max(6.0, round(h * 0.4))
    c.fill(rrect(0, (h - th) / 2.0, w, th, th / 2.0), color)
    c.save(path)


def img_thumb(path, s):
    c = Canvas(s, s)
    c.fill(circle(s / 2.0, s / 2.0, s / 2.0 - 0.5), ACCENT)
    c.fill(circle(s / 2.0, s / 2.0, s * 0.28), WHITE)
    c.save(path)


def img_icon(path, s, kind):
    c = Canvas(s, s)
    u = s / 32.0
    w = 2.0 * u
    if "warning" == kind:
        c.fill(polygon([(16 * u, 2.5 * u), (30.5 * u, 28.5 * u), (1.5 * u, 28.5 * u)]), WARN)
        c.fill(segment(16 * u, 11 * u, 16 * u, 19.5 * u, w), DARK_TEXT)
        c.fill(circle(16 * u, 24 * u, 1.8 * u), DARK_TEXT)
    elif "error" == kind:
        c.fill(circle(16 * u, 16 * u, 15 * u), ERROR)
        c.fill(union(segment(10.5 * u, 10.5 * u, 21.5 * u, 21.5 * u, w),
                     segment(21.5 * u, 10.5 * u, 10.5 * u, 21.5 * u, w)), WHITE)
    elif "info" == kind:
        c.fill(circle(16 * u, 16 * u, 15 * u), ACCENT)
        c.fill(circle(16 * u, 9.5 * u, 2.1 * u), WHITE)
        c.fill(segment(16 * u, 15 * u, 16 * u, 24 * u, w), WHITE)
    else:  # question
        c.fill(circle(16 * u, 16 * u, 15 * u), ACCENT)
        c.fill(union(arc(16 * u, 12.5 * u, 4.5 * u, 180, 60, w * 0.9),
                     segment(18.25 * u, 16.4 * u, 16 * u, 18.5 * u, w * 0.9),
                     segment(16 * u, 18.5 * u, 16 * u, 19.5 * u, w * 0.9)), WHITE)
        c.fill(circle(16 * u, 24.5 * u, 1.9 * u), WHITE)
    c.save(path)


# ---- the sizes ----

# prog: x, y, track width, layer height, thumb size, track thickness. The compact layout moves the
# bar up beside its status line, so the bar's top and height are those of that line; the band (the
# dark footer below the lighter field) is as high as it takes to centre the bar in it.
# box: the message box's panel, centred; its text has room for three lines of its font, as many as
# the longest message takes.
# notice: where the compact layout's "do not switch off" goes, above the bar, with room for two lines.
SIZES = {
    "800x480": dict(
        W=800, H=480, row=48, list=(20, 20, 520, 350), icon=32, item_w=56, check=28, text_off=16,
        btn=(580, 20, 200, 74, 18), prog=(20, 400, 560, 70, 30, 12), status=(620, 400, 170, 70),
        band=390, scroll=(8, 8), fonts=dict(list=22, button=24, status=22, msg=22, notice=24),
        box=(600, 206), box_icon=(24, 24, 56), box_msg=(100, 24, 476, 78),
        box_btn=(160, 56, 20, 20), notice=(20, 140, 760, 60), extra=48),
    "480X272": dict(
        W=480, H=272, row=28, list=(8, 8, 310, 202), icon=20, item_w=32, check=18, text_off=8,
        btn=(330, 8, 142, 43, 10), prog=(10, 235, 350, 20, 20, 8), status=(388, 235, 88, 20),
        band=218, scroll=(5, 5), fonts=dict(list=14, button=15, status=14, msg=14, notice=15),
        box=(380, 122), box_icon=(12, 12, 36), box_msg=(58, 12, 310, 50),
        box_btn=(100, 34, 10, 12), notice=(10, 96, 460, 36), extra=28),
    "320X240": dict(
        W=320, H=240, row=24, list=(4, 4, 212, 198), icon=16, item_w=26, check=14, text_off=6,
        btn=(222, 4, 94, 42, 9), prog=(5, 213, 240, 20, 20, 8), status=(270, 213, 48, 20),
        band=206, scroll=(4, 4), fonts=dict(list=12, button=13, status=11, msg=12, notice=13),
        box=(300, 106), box_icon=(10, 10, 30), box_msg=(48, 10, 240, 44),
        box_btn=(80, 30, 8, 10), notice=(6, 68, 308, 34), extra=24),
}

BUTTONS = [("update", "Update"), ("reboot", "Reboot"), ("calibrate", "Calibrate"), ("back", "Back")]


def rect(x, y, w, h):
    return "%d,%d,%d,%d" % (x, y, w, h)


def write_text(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def bmp(name):
    """The bitmap identifier of an image with transparency (skinc writes NAME.565a.conf)."""
    return name.replace("/", "\\") + ".565a.conf"


def bmp_opaque(name):
    return name.replace("/", "\\") + ".565.conf"


def main_dialog(p):
    W, H = p["W"], p["H"]
    lx, ly, lw, lh = p["list"]
    bx, by, bw, bh, gap = p["btn"]
    px, py, pw, ph, thumb, _ = p["prog"]
    sx, sy, sw, sh = p["status"]
    nx, ny, nw, nh = p["notice"]
    dlg = ['<?xml version="1.0" encoding="utf-16"?>',
           '<!-- The updater\'s screen: the file list on the left, the four buttons on the right, the',
           '     progress bar and the status line along the bottom. A unit that updates its main',
           '     navigation program shows only the bar, the status line and the notice above them. -->',
           '<dialog>',
           '  <body name="CTravlekDlg" style="dlg" windowrect="%s"' % rect(0, 0, W, H),
           '        uplevel_image="%s" folder_image="%s">' % (bmp("listbox/uplevel"), bmp("listbox/folder")),
           '    <layer type="CWceUiLayer" name="background" style="field"/>',
           '    <layer type="CWceUiListBox" name="listbox" style="listbox" item_height="%d" extra_scroll="%d"'
           % (p["row"], p["extra"]),
           '           linebg_normal="%s" linebg_select="%s"' % (bmp_opaque("listbox/row_normal"),
                                                               bmp_opaque("listbox/row_select")),
           '           scrollbar_top="%s" scrollbar_middle="%s" scrollbar_bottom="%s"'
           % (bmp("listbox/scroll_top"), bmp_opaque("listbox/scroll_middle"), bmp("listbox/scroll_bottom")),
           '           textcolor_select="text_on_accent" item_check="%s"' % bmp("listbox/check"),
           '           draw_item_image="true" item_image_width="%d" default_item_image="%s"'
           % (p["item_w"], bmp("listbox/file")),
           '           text_left_offset="%d"/>' % p["text_off"]]
    for name, _ in BUTTONS:
        dlg.append(button_layer(name))
    dlg += ['    <layer type="CWceUiSlider" name="progress" style="progress" readonly="true"',
            '           bg_bmp="%s" bg_sel_bmp="%s" thumb_bmp="%s"/>'
            % (bmp("progress/bg"), bmp("progress/sel"), bmp("progress/thumb")),
            '    <layer type="CWceUiLayer" name="status" style="status"/>',
            '    <layer type="CWceUiLayer" name="notice" style="notice"/>',
            '  </body>', '</dialog>', '']

    st = ['<?xml version="1.0" encoding="utf-16"?>', '<styles>', '  <style>',
          '    <dlg>', '      <position rect="%s"/>' % rect(0, 0, W, H),
          '      <background color="bg"/>', '    </dlg>',
          '    <!-- The lighter field behind the list and the buttons; the band below it stays dark. -->',
          '    <field>', '      <position rect="%s"/>' % rect(0, 0, W, p["band"]),
          '      <background color="panel"/>', '    </field>',
          '    <listbox>', '      <position rect="%s"/>' % rect(lx, ly, lw, lh),
          '      <text color="text"><font id="list.conf"/></text>',
          '      <background color="transparent"/>', '    </listbox>',
          '    <button>',
          '      <text color="button_text"><font id="button.conf"/>',
          '        <drawtext rect="%s" valign="center" align="center"/></text>' % rect(0, 0, bw, bh),
          '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
          % bmp("button/normal"),
          '    </button>']
    for i, (name, _) in enumerate(BUTTONS):
        st += ['    <%s overwrite="button">' % name,
               '      <position rect="%s"/>' % rect(bx, by + i * (bh + gap), bw, bh),
               '      <text res-id="btn_%s"/>' % name, '    </%s>' % name,
               '    <%s_down overwrite="%s">' % (name, name),
               '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
               % bmp("button/down"),
               '    </%s_down>' % name]
    st += ['    <progress>', '      <position rect="%s"/>' % rect(px, py, pw + thumb, ph),
           '      <background color="transparent"/>', '    </progress>',
           '    <status>', '      <position rect="%s"/>' % rect(sx, sy, sw, sh),
           '      <text color="text"><font id="status.conf"/>',
           '        <drawtext rect="%s" valign="center" align="left"/></text>' % rect(0, 0, sw, sh),
           '      <background color="transparent"/>', '    </status>',
           '    <!-- Shown only by the compact layout, on the dark ground; a second line where one is',
           '         not wide enough. -->',
           '    <notice>', '      <position rect="%s"/>' % rect(nx, ny, nw, nh),
           '      <layout visibility="false"/>',
           '      <text color="text" res-id="do_not_switch_off"><font id="notice.conf"/>',
           '        <drawtext rect="%s" valign="top" align="center"/></text>' % rect(0, 0, nw, nh),
           '      <background color="transparent"/>', '    </notice>',
           '  </style>', '</styles>', '']
    return "\n".join(dlg), "\n".join(st)


def button_layer(name):
    """A button: its look, its pressed look, and its look again while the pen pressed on it is
    outside it (the pen slid off: lifting it there does nothing, so the button must not look
    pressed)."""
    return ('    <layer type="CWceUiButton" name="%s" style="%s" down.style="%s_down" focus.style="%s"/>'
            % (name, name, name, name))


def message_box(p):
    W, H = p["W"], p["H"]
    w, h = p["box"]
    x, y = (W - w) // 2, (H - h) // 2
    ix, iy, isz = p["box_icon"]
    mx, my, mw, mh = p["box_msg"]
    bw, bh, gap, bottom = p["box_btn"]
    btn_y = h - bh - bottom
    dlg = ['<?xml version="1.0" encoding="utf-16"?>',
           '<!-- The message box: an icon, the message and either "ok" or "yes" and "no", on a panel',
           '     in the middle of the screen, which is dimmed behind it. -->',
           '<dialog>',
           '  <body name="CMsgBoxDlg" style="dlg" windowrect="%s">' % rect(0, 0, W, H),
           '    <layer type="CWceUiLayer" name="panel" style="panel"/>']
    for icon in ("info_icon", "question_icon", "warning_icon", "error_icon"):
        dlg.append('    <layer type="CWceUiLayer" name="%s" style="%s"/>' % (icon, icon))
    dlg.append('    <layer type="CWceUiLayer" name="msg" style="msg"/>')
    for name in ("ok", "yes", "no"):
        dlg.append(button_layer(name))
    dlg += ['  </body>', '</dialog>', '']

    # The dialog covers the screen and darkens what lies under it; the panel and everything on it
    # are its children, placed from the panel's corner.
    st = ['<?xml version="1.0" encoding="utf-16"?>', '<styles>', '  <style>',
          '    <dlg>', '      <position rect="%s"/>' % rect(0, 0, W, H),
          '      <background color="transparent"/>',
          '      <filters><mixcolor enabled="true" opacity="%d" color="0x000000"/></filters>' % DIM_OPACITY,
          '    </dlg>',
          '    <panel>', '      <position way="relative" rect="%s"/>' % rect(x, y, w, h),
          '      <background color="transparent"><panel id="%s" align="left" valign="top"/></background>'
          % bmp("messagebox/panel"),
          '    </panel>']
    for icon in ("info", "question", "warning", "error"):
        st += ['    <%s_icon>' % icon,
               '      <position way="relative" rect="%s"/>' % rect(x + ix, y + iy, isz, isz),
               '      <background color="transparent"><icon id="%s" align="left" valign="top"/></background>'
               % bmp("messagebox/" + icon),
               '    </%s_icon>' % icon]
    st += ['    <!-- Several lines, broken at words, from the top left. -->',
           '    <msg>', '      <position way="relative" rect="%s"/>' % rect(x + mx, y + my, mw, mh),
           '      <text color="text"><font id="msg.conf"/>',
           '        <drawtext rect="%s" valign="top" align="left"/></text>' % rect(0, 0, mw, mh),
           '      <background color="transparent"/>', '    </msg>',
           '    <button>',
           '      <text color="button_text"><font id="button.conf"/>',
           '        <drawtext rect="%s" valign="center" align="center"/></text>' % rect(0, 0, bw, bh),
           '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
           % bmp("messagebox/button_normal"),
           '    </button>']
    pair_x = (w - 2 * bw - gap) // 2
    places = {"ok": (w - bw) // 2, "yes": pair_x, "no": pair_x + bw + gap}
    for name in ("ok", "yes", "no"):
        st += ['    <%s overwrite="button">' % name,
               '      <position way="relative" rect="%s"/>' % rect(x + places[name], y + btn_y, bw, bh),
               '      <text res-id="btn_%s"/>' % name, '    </%s>' % name,
               '    <%s_down overwrite="%s">' % (name, name),
               '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
               % bmp("messagebox/button_down"),
               '    </%s_down>' % name]
    st += ['  </style>',
           '  <!-- A short cross-fade in and out, so the box neither jumps in nor leaves a hole. -->',
           '  <animate>',
           '    <in type="CWceUiBlendAni" frame-count="8" frame-length="20"/>',
           '    <out type="CWceUiBlendAni" frame-count="6" frame-length="20"/>',
           '  </animate>', '</styles>', '']
    return "\n".join(dlg), "\n".join(st)


def font(height, weight):
    return ("; %d pixels, DejaVu Sans (the platform's fonts)\nheight=-%d\nweight=%d\ncharset=0\nquality=4\n"
            "facename=DejaVu Sans\n" % (height, height, weight))


def write_size(root, name, p):
    base = os.path.join(root, name)
    dlg, style = main_dialog(p)
    write_text(os.path.join(base, "wnd", "CTravlekDlg.dlg.xml"), dlg)
    write_text(os.path.join(base, "wnd", "CTravlekDlg.style.xml"), style)
    dlg, style = message_box(p)
    write_text(os.path.join(base, "wnd", "CMsgBoxDlg.dlg.xml"), dlg)
    write_text(os.path.join(base, "wnd", "CMsgBoxDlg.style.xml"), style)

    colors = "; colour id = RRGGBB\n" + "".join("%s=%s\n" % (k, hexrgb(v)) for k, v in COLORS)
    write_text(os.path.join(base, "res", "color", "wceui.color"), colors)
    f = p["fonts"]
    write_text(os.path.join(base, "res", "font", "list.conf"), font(f["list"], 400))
    write_text(os.path.join(base, "res", "font", "button.conf"), font(f["button"], 700))
    # The status line at 320 x 240 is 50 pixels wide in the compact layout: "Delete..." fits only in a
    # small regular face.
    write_text(os.path.join(base, "res", "font", "status.conf"), font(f["status"], 700 if f["status"] > 12 else 400))
    write_text(os.path.join(base, "res", "font", "msg.conf"), font(f["msg"], 400))
    write_text(os.path.join(base, "res", "font", "notice.conf"), font(f["notice"], 700))

    lang = ["; English texts of the updater", "uplevel_folder=..  Up one level"]
    lang += ["btn_%s=%s" % (n, t) for n, t in BUTTONS]
    lang += ["btn_ok=OK", "btn_yes=Yes", "btn_no=No",
             "do_not_switch_off=Do not switch the unit off during the update.",
             # The error box's texts when a unit with an update key refuses a package.
             "msk_not_signed=The MSK file is not signed by the maker of this unit, or it was changed. Update fail.",
             "update_key_invalid=The update key of this unit is damaged. No MSK file can be installed.", ""]
    write_text(os.path.join(base, "language", "english.ini"), "\n".join(lang))

    bm = os.path.join(base, "res", "bitmap")
    lw, row = p["list"][2], p["row"]
    img_row(os.path.join(bm, "listbox", "row_normal.png"), lw, row, ROW, ROW_LINE)
    img_row(os.path.join(bm, "listbox", "row_select.png"), lw, row, ACCENT, ACCENT_DARK)
    img_folder(os.path.join(bm, "listbox", "folder.png"), p["icon"])
    img_uplevel(os.path.join(bm, "listbox", "uplevel.png"), p["icon"])
    img_file(os.path.join(bm, "listbox", "file.png"), p["icon"])
    img_check(os.path.join(bm, "listbox", "check.png"), p["check"], p["scroll"][0])
    img_scroll(os.path.join(bm, "listbox"), *p["scroll"])
    _, _, bw, bh, _ = p["btn"]
    img_key(os.path.join(bm, "button", "normal.png"), bw, bh, KEY_FACE, KEY_EDGE)
    img_key(os.path.join(bm, "button", "down.png"), bw, bh, ACCENT, ACCENT_DARK)
    _, _, pw, ph, thumb, track = p["prog"]
    img_track(os.path.join(bm, "progress", "bg.png"), pw, ph, TRACK, track)
    img_track(os.path.join(bm, "progress", "sel.png"), pw, ph, ACCENT, track)
    img_thumb(os.path.join(bm, "progress", "thumb.png"), thumb)
    w, h = p["box"]
    img_panel(os.path.join(bm, "messagebox", "panel.png"), w, h, BOX, BOX_EDGE)
    bw, bh, _, _ = p["box_btn"]
    img_key(os.path.join(bm, "messagebox", "button_normal.png"), bw, bh, KEY_FACE, KEY_EDGE)
    img_key(os.path.join(bm, "messagebox", "button_down.png"), bw, bh, ACCENT, ACCENT_DARK)
    for kind in ("info", "question", "warning", "error"):
        img_icon(os.path.join(bm, "messagebox", kind + ".png"), p["box_icon"][2], kind)


def main():
    if len(sys.argv) > 2 or (len(sys.argv) == 2 and sys.argv[1].startswith("-")):
        print("usage: %s [SKIN_FOLDER]" % os.path.basename(sys.argv[0]))
        print((__doc__ or "").strip())
        sys.exit(0 if sys.argv[1] in ("-h", "--help") else 2)
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "skin")
    for name, p in SIZES.items():
        write_size(root, name, p)
        print("wrote %s" % os.path.join(root, name))


if __name__ == "__main__":
    main()
