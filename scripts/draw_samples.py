#!/usr/bin/env python3
"""Makes the sample inputs that the programs' pages expect in their working
directory, committed under packaging/samples/ (installed with the programs,
copied into each user's working directory by the launchers, and used by the
scripts that run the programs from the build tree):

  info.txt    information text for the interaction page and the loop tool
  hwBack.pdf  a one-page document for the customer to sign
  ad.jpg      an advertising picture to download
  photo.jpg   a teller photo, stored on the terminal under that name

Needs rsvg-convert (librsvg2-bin) and cjpeg (libjpeg-turbo-progs); run it
again only after changing a drawing here:  python3 scripts/draw_samples.py
"""
import math
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "packaging", "samples")

INFO = "尊敬的客户，请确认本次业务信息。\n业务类型：转账\n金额：100.00元\n"

DOCUMENT = """<svg xmlns="http://www.w3.org/2000/svg" width="595" height="842" viewBox="0 0 595 842">
<rect width="595" height="842" fill="#ffffff"/>
<g font-family="WenQuanYi Micro Hei" fill="#1d1d1d">
<text x="297" y="90" font-size="26" text-anchor="middle">业务确认书</text>
<text x="60" y="160" font-size="16">客户姓名：张三</text>
<text x="60" y="195" font-size="16">业务类型：转账</text>
<text x="60" y="230" font-size="16">金额：人民币 100.00 元</text>
<text x="60" y="265" font-size="16">收款账户：6222 **** **** 0123</text>
<text x="60" y="330" font-size="14" fill="#444444">本人确认上述业务信息真实无误，并同意办理。</text>
<text x="60" y="700" font-size="16">客户签名：</text>
</g>
<line x1="150" y1="705" x2="440" y2="705" stroke="#1d1d1d" stroke-width="1"/>
<rect x="40" y="40" width="515" height="762" fill="none" stroke="#8a8a8a" stroke-width="1"/>
</svg>
"""


def write_ppm(path, w, h, pixel):
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (w, h))
        row = bytearray()
        for y in range(h):
            for x in range(w):
                row += bytes(pixel(x, y))
        f.write(row)


def advert(x, y):
    """A dark banner with a light band and a sun, 320 x 180."""
    t = y / 180.0
    r, g, b = 40 + 20 * t, 60 + 40 * t, 90 + 60 * t
    if (x - 250) ** 2 + (y - 60) ** 2 < 22 ** 2:
        return (235, 190, 90)
    if abs(y - 120 - 15 * math.sin(x / 40.0)) < 10:
        return (200, 210, 220)
    return (int(r), int(g), int(b))


def teller(x, y):
    """A head and shoulders on a grey ground, 120 x 160."""
    if (x - 60) ** 2 + (y - 60) ** 2 < 28 ** 2:
        return (214, 180, 150)
    if y > 100 and (x - 60) ** 2 / 55.0 ** 2 + (y - 165) ** 2 / 60.0 ** 2 < 1:
        return (40, 60, 110)
    return (190, 195, 200)


def jpeg(name, w, h, pixel):
    with tempfile.NamedTemporaryFile(suffix=".ppm", delete=False) as f:
        ppm = f.name
    try:
        write_ppm(ppm, w, h, pixel)
        with open(os.path.join(OUT, name), "wb") as out:
            subprocess.run(["cjpeg", "-quality", "85", "-optimize", ppm], stdout=out, check=True)
    finally:
        os.unlink(ppm)


def main():
    os.makedirs(OUT, exist_ok=True)
    with open(os.path.join(OUT, "info.txt"), "w", encoding="utf-8") as f:
        f.write(INFO)
    with tempfile.NamedTemporaryFile("w", suffix=".svg", delete=False, encoding="utf-8") as f:
        f.write(DOCUMENT)
        svg = f.name
    try:
        subprocess.run(["rsvg-convert", "-f", "pdf", "-o", os.path.join(OUT, "hwBack.pdf"), svg],
                       check=True)
    finally:
        os.unlink(svg)
    jpeg("ad.jpg", 320, 180, advert)
    jpeg("photo.jpg", 120, 160, teller)
    return 0


if __name__ == "__main__":
    sys.exit(main())
