#!/usr/bin/env python3
"""Writes the widget gallery's skin sources: tools/wceui-gallery/skin/<size>/ with the dialog and style
files of the gallery and its message box, the colour table, the font descriptions, the language file
and every image, at 800x480 and 480x272.

It draws with the shapes and the palette of the updater's skin script (scripts/make-skin.py), so the
gallery shows the widgets as the updater's skin would. Run it after changing the look:

    python3 tools/wceui-gallery/make-skin.py [SKIN_FOLDER]

and commit what it writes. Only the Python standard library is used.
"""

import importlib.util
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def load_updater_skin_script():
    path = os.path.join(HERE, "..", "..", "scripts", "make-skin.py")
    found = importlib.util.spec_from_file_location("updater_skin", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


sk = load_updater_skin_script()
Canvas, rrect, circle, polygon, union = sk.Canvas, sk.rrect, sk.circle, sk.polygon, sk.union
rect, write_text, bmp, bmp_opaque, font = sk.rect, sk.write_text, sk.bmp, sk.bmp_opaque, sk.font

# The edit boxes draw every line 17 pixels high (the framework's fixed line height); their fonts and
# line backgrounds are made for it.
EDIT_LINE = 17

CARD = (0x15, 0x1C, 0x25)
CARD_EDGE = (0x22, 0x2C, 0x38)
FIELD = (0x0E, 0x14, 0x1B)
FIELD_EDGE = (0x36, 0x43, 0x52)
RULE = (0x1F, 0x29, 0x34)
PIN = (0xE5, 0x48, 0x4D)

COLORS = [
    ("bg", sk.BG), ("card", CARD), ("field", FIELD), ("text", sk.TEXT), ("text_dim", sk.DIM),
    ("accent", sk.ACCENT), ("text_on_accent", sk.DARK_TEXT), ("button_text", sk.DARK_TEXT),
]

# The language file: the texts the styles name by "res-id".
TEXTS = [
    ("title", "WceUi widget gallery"),
    ("subtitle", "tap, drag and type"),
    ("caption_controls", "BUTTON AND SLIDER"),
    ("caption_edit", "EDIT BOXES"),
    ("caption_list", "LIST BOX"),
    ("btn_show", "Show message"),
    ("btn_ok", "OK"),
    ("msg_title", "Message box"),
]

# Every place is x, y, width, height in screen pixels (the message box's children: in the box).
SIZES = {
    "800x480": dict(
        W=800, H=480,
        title=(24, 8, 480, 44), subtitle=(480, 8, 296, 44),
        cards=dict(controls=(16, 60, 376, 148), edit=(16, 220, 376, 212), list=(408, 60, 376, 372)),
        caption=(16, 12, 300, 20),
        button=(32, 98, 200, 52),
        slider=(32, 166, 272, 28), value=(338, 166, 38, 28),
        sfield=(32, 258, 344, 38), sedit=(12, 7, 320, 24),
        mfield=(32, 306, 344, 114), medit=(12, 6, 320, 6 * EDIT_LINE),
        list=(424, 94, 344, 322), row=46, pin=28, item_w=44, check=26, text_off=4, scroll=(8, 8),
        status=(24, 438, 752, 38),
        box=(180, 120, 440, 240), box_icon=(24, 24, 48), box_title=(88, 24, 328, 48),
        box_msg=(88, 80, 328, 84), box_ok=(140, 172, 160, 48),
        fonts=dict(title=(24, 700), subtitle=(16, 400), caption=(13, 700), button=(20, 700), list=(20, 400),
                   value=(18, 700), edit=(14, 400), status=(17, 400), msg=(18, 400), msg_title=(22, 700)),
        radius=10, extra=46),
    "480x272": dict(
        W=480, H=272,
        title=(10, 2, 300, 28), subtitle=(300, 2, 170, 28),
        cards=dict(controls=(6, 32, 230, 88), edit=(6, 126, 230, 120), list=(242, 32, 232, 214)),
        caption=(8, 4, 200, 16),
        button=(14, 54, 120, 32),
        slider=(14, 94, 168, 20), value=(204, 94, 28, 20),
        sfield=(14, 148, 214, 30), sedit=(8, 4, 198, 22),
        mfield=(14, 182, 214, 59), medit=(8, 4, 198, 3 * EDIT_LINE),
        list=(250, 54, 216, 188), row=28, pin=18, item_w=26, check=16, text_off=2, scroll=(5, 5),
        status=(10, 248, 460, 22),
        box=(90, 56, 300, 160), box_icon=(14, 14, 32), box_title=(56, 14, 230, 32),
        box_msg=(56, 52, 230, 60), box_ok=(100, 118, 100, 32),
        fonts=dict(title=(15, 700), subtitle=(11, 400), caption=(10, 700), button=(13, 700), list=(13, 400),
                   value=(12, 700), edit=(12, 400), status=(12, 400), msg=(12, 400), msg_title=(14, 700)),
        radius=6, extra=28),
}


# ---- the gallery's own images ----

def img_card(path, w, h, r):
    c = Canvas(w, h)
    c.fill(rrect(0, 0, w, h, r), CARD_EDGE)
    c.fill(rrect(1, 1, w - 2, h - 2, r - 1), CARD)
    c.save(path)


def img_field(path, w, h, edge, edge_width):
    """The frame around an edit box: the box itself sits inside it on the same fill."""
    c = Canvas(w, h)
    r = min(8.0, h / 4.0)
    c.fill(rrect(0, 0, w, h, r), edge)
    c.fill(rrect(edge_width, edge_width, w - 2 * edge_width, h - 2 * edge_width, r - edge_width), FIELD)
    c.save(path)


def img_line(path):
    """One line of the multi-line box: the field with a faint rule along its bottom row."""
    c = Canvas(4, EDIT_LINE)
    c.fill(lambda x, y: -1.0, FIELD)
    c.fill(lambda x, y: -1.0 if y >= EDIT_LINE - 1 else 1.0, RULE, box=(0, EDIT_LINE - 1, 4, EDIT_LINE))
    c.save(path)


def img_edit_bars(folder):
    """The edit boxes' scroll bar pieces, 5 pixels across: ends 4 long, a middle that is stretched."""
    for name, (w, h), shape in (
            ("vbar_top", (5, 4), rrect(0, 0, 5, 8, 2.5)), ("vbar_middle", (5, 4), None),
            ("vbar_bottom", (5, 4), rrect(0, -4, 5, 8, 2.5)), ("hbar_left", (4, 5), rrect(0, 0, 8, 5, 2.5)),
            ("hbar_center", (4, 5), None), ("hbar_right", (4, 5), rrect(-4, 0, 8, 5, 2.5))):
        c = Canvas(w, h)
        c.fill(shape if shape else (lambda x, y: -1.0), sk.BOX_EDGE)
        c.save(os.path.join(folder, name + ".png"))


def img_pin(path, s):
    """A map pin: a round head drawn to a point, with a light dot."""
    c = Canvas(s, s)
    u = s / 32.0
    c.fill(union(circle(16 * u, 12 * u, 9.5 * u), polygon([(8.2 * u, 17 * u), (23.8 * u, 17 * u), (16 * u, 30 * u)])),
           PIN)
    c.fill(circle(16 * u, 12 * u, 3.6 * u), sk.WHITE)
    c.save(path)


# ---- dialog and style files ----

def text_style(name, pos, color, font_id, align="left", relative=False, multiline=False, res_id=None):
    """A layer of text only; res_id names its text in the language file."""
    x, y, w, h = pos
    way = ' way="relative"' if relative else ""
    valign = "top" if multiline else "center"
    text_id = ' res-id="%s"' % res_id if res_id else ""
    return ['    <%s>' % name, '      <position%s rect="%s"/>' % (way, rect(x, y, w, h)),
            '      <text color="%s"%s><font id="%s"/>' % (color, text_id, font_id),
            '        <drawtext rect="%s" valign="%s" align="%s"/></text>' % (rect(0, 0, w, h), valign, align),
            '      <background color="transparent"/>', '    </%s>' % name]


def image_style(name, pos, image, relative=False, extra=None):
    way = ' way="relative"' if relative else ""
    lines = ['    <%s>' % name, '      <position%s rect="%s"/>' % (way, rect(*pos))]
    lines += extra or []
    lines += ['      <background color="transparent"><face id="%s" align="left" valign="top"/></background>' % image,
              '    </%s>' % name]
    return lines


def inside(outer, inner):
    """An inner place given relative to an outer one, in screen pixels."""
    return (outer[0] + inner[0], outer[1] + inner[1], inner[2], inner[3])


def gallery_dialog(p):
    W, H = p["W"], p["H"]
    cards = p["cards"]
    dlg = ['<?xml version="1.0" encoding="utf-16"?>',
           '<!-- The gallery: a button and a slider, the two edit boxes and a list box, each on a card,',
           '     with a status line along the bottom that says what the last touch did. -->',
           '<dialog>',
           '  <body name="CGalleryDlg" style="dlg" windowrect="%s">' % rect(0, 0, W, H),
           '    <layer type="CWceUiLayer" name="title" style="title"/>',
           '    <layer type="CWceUiLayer" name="subtitle" style="subtitle"/>']
    for card in ("controls", "edit", "list"):
        dlg += ['    <layer type="CWceUiLayer" name="card_%s" style="card_%s"/>' % (card, card),
                '    <layer type="CWceUiLayer" name="caption_%s" style="caption_%s"/>' % (card, card)]
    dlg += ['    <layer type="CWceUiButton" name="show" style="show" down.style="show_down"/>',
            '    <layer type="CWceUiSlider" name="slider" style="slider"',
            '           bg_bmp="%s" bg_sel_bmp="%s" thumb_bmp="%s"/>'
            % (bmp("slider/bg"), bmp("slider/sel"), bmp("slider/thumb")),
            '    <layer type="CWceUiLayer" name="value" style="value"/>',
            '    <!-- Each edit box sits inside a frame of its own; the frame shows which one has the focus. -->',
            '    <layer type="CWceUiLayer" name="name_frame" style="sfield"/>',
            '    <layer type="CWceUiSEditBox" name="name" style="sedit"',
            '           left-bmp="%s" center-bmp="%s" right-bmp="%s"/>'
            % (bmp("edit/hbar_left"), bmp_opaque("edit/hbar_center"), bmp("edit/hbar_right")),
            '    <layer type="CWceUiLayer" name="note_frame" style="mfield"/>',
            '    <layer type="CWceUiMEditBox" name="note" style="medit" line_bg_bmp="%s"' % bmp_opaque("edit/line"),
            '           top_bmp="%s" middle_bmp="%s" bottom_bmp="%s"/>'
            % (bmp("edit/vbar_top"), bmp_opaque("edit/vbar_middle"), bmp("edit/vbar_bottom")),
            '    <layer type="CWceUiListBox" name="cities" style="cities" item_height="%d" extra_scroll="%d"'
            % (p["row"], p["extra"]),
            '           linebg_normal="%s" linebg_select="%s"' % (bmp_opaque("list/row_normal"),
                                                               bmp_opaque("list/row_select")),
            '           scrollbar_top="%s" scrollbar_middle="%s" scrollbar_bottom="%s"'
            % (bmp("list/scroll_top"), bmp_opaque("list/scroll_middle"), bmp("list/scroll_bottom")),
            '           textcolor_select="text_on_accent" item_check="%s"' % bmp("list/check"),
            '           draw_item_image="true" item_image_width="%d" default_item_image="%s"'
            % (p["item_w"], bmp("list/pin")),
            '           text_left_offset="%d"/>' % p["text_off"],
            '    <layer type="CWceUiLayer" name="status" style="status"/>',
            '  </body>', '</dialog>', '']

    st = ['<?xml version="1.0" encoding="utf-16"?>', '<styles>', '  <style>',
          '    <dlg>', '      <position rect="%s"/>' % rect(0, 0, W, H),
          '      <background color="bg"/>', '    </dlg>']
    st += text_style("title", p["title"], "text", "title.conf", res_id="title")
    st += text_style("subtitle", p["subtitle"], "text_dim", "subtitle.conf", align="right", res_id="subtitle")
    for card, pos in cards.items():
        st += image_style("card_" + card, pos, bmp("card/" + card))
        st += text_style("caption_" + card, inside(pos, p["caption"]), "text_dim", "caption.conf",
                         res_id="caption_" + card)
    bx, by, bw, bh = p["button"]
    st += ['    <show>', '      <position rect="%s"/>' % rect(bx, by, bw, bh),
           '      <text color="button_text" res-id="btn_show"><font id="button.conf"/>',
           '        <drawtext rect="%s" valign="center" align="center"/></text>' % rect(0, 0, bw, bh),
           '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
           % bmp("button/normal"),
           '    </show>',
           '    <show_down overwrite="show">',
           '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
           % bmp("button/down"),
           '    </show_down>']
    sx, sy, sw, sh = p["slider"]
    st += ['    <!-- As wide as the track and the thumb: the slider fits itself to them. -->',
           '    <slider>', '      <position rect="%s"/>' % rect(sx, sy, sw + sh, sh),
           '      <background color="transparent"/>', '    </slider>']
    st += text_style("value", p["value"], "text", "value.conf", align="right")
    st += image_style("sfield", p["sfield"], bmp("edit/frame"))
    st += ['    <sfield_focus overwrite="sfield">',
           '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
           % bmp("edit/frame_focus"),
           '    </sfield_focus>']
    st += image_style("mfield", p["mfield"], bmp("edit/note_frame"))
    st += ['    <mfield_focus overwrite="mfield">',
           '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
           % bmp("edit/note_frame_focus"),
           '    </mfield_focus>']
    for name, field, edit in (("sedit", "sfield", "sedit"), ("medit", "mfield", "medit")):
        st += ['    <%s>' % name, '      <position rect="%s"/>' % rect(*inside(p[field], p[edit])),
               '      <text color="text"><font id="edit.conf"/></text>',
               '      <background color="field"/>', '    </%s>' % name]
    st += ['    <!-- A list hides what lies under it: it has a colour of its own. -->',
           '    <cities>', '      <position rect="%s"/>' % rect(*p["list"]),
           '      <text color="text"><font id="list.conf"/></text>',
           '      <background color="card"/>', '    </cities>']
    st += text_style("status", p["status"], "text_dim", "status.conf")
    st += ['  </style>', '</styles>', '']
    return "\n".join(dlg), "\n".join(st)


def message_dialog(p):
    W, H = p["W"], p["H"]
    x, y, w, h = p["box"]
    dlg = ['<?xml version="1.0" encoding="utf-16"?>',
           '<!-- The gallery\'s message box: an icon, a title, the message and "OK", on a panel in the',
           '     middle of the screen. -->',
           '<dialog>',
           '  <body name="CGalleryMsgDlg" style="dlg" windowrect="%s">' % rect(0, 0, W, H),
           '    <layer type="CWceUiLayer" name="icon" style="icon"/>',
           '    <layer type="CWceUiLayer" name="title" style="title"/>',
           '    <layer type="CWceUiLayer" name="msg" style="msg"/>',
           '    <layer type="CWceUiButton" name="ok" style="ok" down.style="ok_down"/>',
           '  </body>', '</dialog>', '']
    st = ['<?xml version="1.0" encoding="utf-16"?>', '<styles>', '  <style>',
          '    <dlg>', '      <position rect="%s"/>' % rect(x, y, w, h),
          '      <background color="transparent"><panel id="%s" align="left" valign="top"/></background>'
          % bmp("messagebox/panel"),
          '    </dlg>']
    ix, iy, isz = p["box_icon"]
    st += image_style("icon", (ix, iy, isz, isz), bmp("messagebox/info"), relative=True)
    st += text_style("title", p["box_title"], "text", "msg_title.conf", relative=True, res_id="msg_title")
    st += ['    <!-- Several lines, broken at words, from the top left. -->']
    st += text_style("msg", p["box_msg"], "text", "msg.conf", relative=True, multiline=True)
    ox, oy, ow, oh = p["box_ok"]
    st += ['    <ok>', '      <position way="relative" rect="%s"/>' % rect(ox, oy, ow, oh),
           '      <text color="button_text" res-id="btn_ok"><font id="button.conf"/>',
           '        <drawtext rect="%s" valign="center" align="center"/></text>' % rect(0, 0, ow, oh),
           '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
           % bmp("messagebox/ok_normal"),
           '    </ok>',
           '    <ok_down overwrite="ok">',
           '      <background color="transparent"><face id="%s" align="left" valign="top"/></background>'
           % bmp("messagebox/ok_down"),
           '    </ok_down>',
           '  </style>',
           '  <!-- A short cross-fade in and out, as the updater\'s message box does. -->',
           '  <animate>',
           '    <in type="CWceUiBlendAni" frame-count="8" frame-length="20"/>',
           '    <out type="CWceUiBlendAni" frame-count="6" frame-length="20"/>',
           '  </animate>', '</styles>', '']
    return "\n".join(dlg), "\n".join(st)


def write_size(root, name, p):
    base = os.path.join(root, name)
    dlg, style = gallery_dialog(p)
    write_text(os.path.join(base, "wnd", "CGalleryDlg.dlg.xml"), dlg)
    write_text(os.path.join(base, "wnd", "CGalleryDlg.style.xml"), style)
    dlg, style = message_dialog(p)
    write_text(os.path.join(base, "wnd", "CGalleryMsgDlg.dlg.xml"), dlg)
    write_text(os.path.join(base, "wnd", "CGalleryMsgDlg.style.xml"), style)

    colors = "; colour id = RRGGBB\n" + "".join("%s=%s\n" % (k, sk.hexrgb(v)) for k, v in COLORS)
    write_text(os.path.join(base, "res", "color", "wceui.color"), colors)
    for font_name, (height, weight) in sorted(p["fonts"].items()):
        write_text(os.path.join(base, "res", "font", font_name + ".conf"), font(height, weight))
    lang = ["; English texts of the widget gallery"] + ["%s=%s" % kv for kv in TEXTS] + [""]
    write_text(os.path.join(base, "language", "english.ini"), "\n".join(lang))

    bm = os.path.join(base, "res", "bitmap")
    for card, (_, _, w, h) in p["cards"].items():
        img_card(os.path.join(bm, "card", card + ".png"), w, h, p["radius"])
    _, _, bw, bh = p["button"]
    sk.img_key(os.path.join(bm, "button", "normal.png"), bw, bh, sk.ACCENT, sk.ACCENT_DARK)
    sk.img_key(os.path.join(bm, "button", "down.png"), bw, bh, sk.KEY, sk.KEY_EDGE)
    _, _, sw, sh = p["slider"]
    sk.img_track(os.path.join(bm, "slider", "bg.png"), sw, sh, sk.TRACK)
    sk.img_track(os.path.join(bm, "slider", "sel.png"), sw, sh, sk.ACCENT)
    sk.img_thumb(os.path.join(bm, "slider", "thumb.png"), sh)
    for frame, field in (("frame", "sfield"), ("note_frame", "mfield")):
        _, _, fw, fh = p[field]
        img_field(os.path.join(bm, "edit", frame + ".png"), fw, fh, FIELD_EDGE, 1)
        img_field(os.path.join(bm, "edit", frame + "_focus.png"), fw, fh, sk.ACCENT, 2)
    img_line(os.path.join(bm, "edit", "line.png"))
    img_edit_bars(os.path.join(bm, "edit"))
    lw, row = p["list"][2], p["row"]
    sk.img_row(os.path.join(bm, "list", "row_normal.png"), lw, row, CARD, sk.ROW_LINE)
    sk.img_row(os.path.join(bm, "list", "row_select.png"), lw, row, sk.ACCENT, sk.ACCENT_DARK)
    img_pin(os.path.join(bm, "list", "pin.png"), p["pin"])
    sk.img_check(os.path.join(bm, "list", "check.png"), p["check"], p["scroll"][0] + 4)
    sk.img_scroll(os.path.join(bm, "list"), *p["scroll"])
    _, _, w, h = p["box"]
    sk.img_panel(os.path.join(bm, "messagebox", "panel.png"), w, h, sk.BOX, sk.BOX_EDGE)
    sk.img_icon(os.path.join(bm, "messagebox", "info.png"), p["box_icon"][2], "info")
    _, _, ow, oh = p["box_ok"]
    sk.img_key(os.path.join(bm, "messagebox", "ok_normal.png"), ow, oh, sk.KEY, sk.KEY_EDGE)
    sk.img_key(os.path.join(bm, "messagebox", "ok_down.png"), ow, oh, sk.ACCENT, sk.ACCENT_DARK)


def main():
    if len(sys.argv) > 2 or (len(sys.argv) == 2 and sys.argv[1].startswith("-")):
        print("usage: %s [SKIN_FOLDER]" % os.path.basename(sys.argv[0]))
        print((__doc__ or "").strip())
        sys.exit(0 if sys.argv[1] in ("-h", "--help") else 2)
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "skin")
    for name, p in SIZES.items():
        write_size(root, name, p)
        print("wrote %s" % os.path.join(root, name))


if __name__ == "__main__":
    main()
