#!/usr/bin/env python3
"""Draws the demo's images as SVG and renders them to PNG with rsvg-convert.

The PNGs are committed under demo/res/, the desktop icons of the installed
programs (SVG and PNG sizes) under packaging/icons/; run this again only
after changing a drawing here:  python3 scripts/draw_icons.py
"""
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "demo", "res")
ICONS = os.path.join(ROOT, "packaging", "icons")
ICON_SIZES = (48, 128)


def svg(w, h, body):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
            'viewBox="0 0 %d %d">%s</svg>' % (w, h, w, h, body))


def cross(color, w=2):
    return ('<g stroke="%s" stroke-width="%d" stroke-linecap="round">'
            '<line x1="3" y1="3" x2="13" y2="13"/><line x1="13" y1="3" x2="3" y2="13"/>'
            '</g>' % (color, w))


def gear(color):
    teeth = "".join(
        '<rect x="10" y="1" width="3" height="5" rx="1" fill="%s" '
        'transform="rotate(%d 11.5 11.5)"/>' % (color, a) for a in range(0, 360, 45))
    return teeth + ('<circle cx="11.5" cy="11.5" r="6.5" fill="none" stroke="%s" '
                    'stroke-width="2.5"/>' % color)


def broom(color):
    return ('<g fill="none" stroke="%s" stroke-width="2" stroke-linecap="round">'
            '<line x1="19" y1="4" x2="13" y2="12"/>'
            '<path d="M8 12 h9 l1 4 l-2 7 h-9 l-1 -7 z"/>'
            '<line x1="10" y1="17" x2="9.5" y2="22"/><line x1="13" y1="17" x2="13" y2="22"/>'
            '<line x1="16" y1="17" x2="16.5" y2="22"/></g>' % color)


def arrow(color):
    return '<path d="M2 4 L8 10 L14 4" fill="none" stroke="%s" stroke-width="2"/>' % color


def icon_basic(color):
    return ('<g fill="none" stroke="%s" stroke-width="2">'
            '<rect x="3" y="3" width="8" height="8" rx="2"/><rect x="13" y="3" width="8" height="8" rx="2"/>'
            '<rect x="3" y="13" width="8" height="8" rx="2"/><circle cx="17" cy="17" r="4"/></g>' % color)


def icon_keypad(color):
    dots = "".join('<circle cx="%d" cy="%d" r="2" fill="%s"/>' % (x, y, color)
                   for y in (5, 11, 17) for x in (6, 12, 18))
    return dots + '<circle cx="12" cy="22" r="1.6" fill="%s"/>' % color


def icon_sign(color):
    return ('<g fill="none" stroke="%s" stroke-width="2" stroke-linecap="round">'
            '<path d="M3 19 c3 -6 5 -6 6 -2 s3 3 5 -3 s3 -4 4 0"/>'
            '<line x1="3" y1="22" x2="21" y2="22"/>'
            '<path d="M15 3 l5 5 l-8 8 l-5 1 l1 -5 z"/></g>' % color)


def icon_eva(color):
    return ('<path d="M12 2 l2.9 6.2 6.6 .8 -4.9 4.6 1.3 6.6 -5.9 -3.3 -5.9 3.3 '
            '1.3 -6.6 -4.9 -4.6 6.6 -.8 z" fill="none" stroke="%s" stroke-width="2" '
            'stroke-linejoin="round"/>' % color)


def combobox():
    return ('<rect x="0.5" y="0.5" width="29" height="19" rx="3" fill="#232323" '
            'stroke="#434343"/>' + '<path d="M10 8 L15 13 L20 8" fill="none" '
            'stroke="#8a8a8a" stroke-width="2"/>')


def logo():
    return ('<rect width="64" height="64" rx="12" fill="#1d1d1d"/>'
            '<rect x="12" y="10" width="40" height="30" rx="4" fill="none" stroke="#c3c3c3" stroke-width="3"/>'
            '<g fill="#8a8a8a">' + "".join(
                '<rect x="%d" y="%d" width="8" height="5" rx="1"/>' % (x, y)
                for y in (45, 53) for x in (14, 28, 42)) + '</g>')


def loop_badge():
    """The loop-test tool's mark: a circular arrow over the lower right."""
    return ('<circle cx="46" cy="46" r="16" fill="#2f6f3e" stroke="#1d1d1d" stroke-width="2"/>'
            '<path d="M37 46 a9 9 0 1 1 3 6.7" fill="none" stroke="#ededed" stroke-width="3" '
            'stroke-linecap="round"/>'
            '<path d="M34 50 l3 -6 l4 5 z" fill="#ededed"/>')


def banner():
    return ('<rect width="320" height="120" fill="#2b2b2b"/>'
            '<rect x="10" y="10" width="300" height="100" rx="8" fill="#242424" stroke="#424242"/>'
            '<path d="M30 90 L90 40 L140 80 L190 30 L290 90 Z" fill="#3b3b3b"/>'
            '<circle cx="250" cy="40" r="14" fill="#8a8a8a"/>')


IMAGES = {
    "close_up.png": svg(16, 16, cross("#8a8a8a")),
    "close_down.png": svg(16, 16, cross("#ededed")),
    "config_up.png": svg(23, 23, gear("#8a8a8a")),
    "config_down.png": svg(23, 23, gear("#ededed")),
    "clear-normal.png": svg(28, 28, broom("#8a8a8a")),
    "clear-move.png": svg(28, 28, broom("#ededed")),
    "down_arrow.png": svg(16, 14, arrow("#8a8a8a")),
    "combobox.png": svg(30, 20, combobox()),
    "icon_basic_1.png": svg(24, 24, icon_basic("#8a8a8a")),
    "icon_basic_2.png": svg(24, 24, icon_basic("#c3c3c3")),
    "icon_keypad_1.png": svg(24, 24, icon_keypad("#8a8a8a")),
    "icon_sign_1.png": svg(24, 24, icon_sign("#8a8a8a")),
    "icon_eva_num_1.png": svg(24, 24, icon_eva("#8a8a8a")),
    "logo.png": svg(64, 64, logo()),
    "banner.png": svg(320, 120, banner()),
}


DESKTOP_ICONS = {
    "tlx-demo": svg(64, 64, logo()),
    "tlx-tool": svg(64, 64, logo() + loop_badge()),
}


def render(name, text, out_dir=OUT, size=None):
    with tempfile.NamedTemporaryFile("w", suffix=".svg", delete=False) as f:
        f.write(text)
        src = f.name
    try:
        cmd = ["rsvg-convert", "-o", os.path.join(out_dir, name)]
        if size:
            cmd += ["-w", str(size), "-h", str(size)]
        subprocess.run(cmd + [src], check=True)
    finally:
        os.unlink(src)


def write_ico(png_name, ico_name, size):
    """An ICO file with one PNG-compressed image (allowed since Windows Vista)."""
    with open(os.path.join(OUT, png_name), "rb") as f:
        data = f.read()
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), 6 + 16)
    with open(os.path.join(OUT, ico_name), "wb") as f:
        f.write(header + entry + data)


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, text in IMAGES.items():
        render(name, text)
    write_ico("logo.png", "tlx.ico", 64)
    os.makedirs(ICONS, exist_ok=True)
    for name, text in DESKTOP_ICONS.items():
        with open(os.path.join(ICONS, name + ".svg"), "w") as f:
            f.write(text + "\n")
        for size in ICON_SIZES:
            render("%s-%d.png" % (name, size), text, ICONS, size)
    return 0


if __name__ == "__main__":
    sys.exit(main())
