#!/usr/bin/env python3
"""Draws Tarvello's button images (langages/common/<role>.gif and the brighter
<role>_d.gif shown under the pointer) and the stand-by pictures of the preview
(langages/<language>/non_image.gif and non_image2.gif) with ImageMagick's
convert.

Every picture is drawn at four times its size and scaled down, so edges are
smooth; button images keep a transparent background (one bit, as GIF allows).

    python3 scripts/draw-images.py               # writes the GIF files
    python3 scripts/draw-images.py --sheet a.png # also a contact sheet to look at
"""

import argparse
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
LANGAGES = ROOT / "langages"

SCALE = 4
BUTTON = 24
STANDBY = (161, 121)
FONT = "DejaVu-Sans-Bold"
TEXT_FONT = "DejaVu-Sans"

GREEN = "#2f9e44"
RED = "#e03131"
BLUE = "#1c7ed6"
DARK_BLUE = "#1864ab"
SKY = "#74c0fc"
ORANGE = "#f59f00"
BROWN = "#8d5524"
DARK_BROWN = "#5c3a17"
GREY = "#868e96"
DARK_GREY = "#495057"
LIGHT_GREY = "#ced4da"
PAPER = "#f8f9fa"


def el(primitive, fill="none", stroke="none", width=0):
    """One MVG element with its own colours; round caps and joins everywhere."""
    return (f"push graphic-context fill '{fill}' stroke '{stroke}' stroke-width {width} "
            f"stroke-linecap round stroke-linejoin round {primitive} pop graphic-context")


def turned(angle, *elements, cx=48, cy=48):
    """Elements drawn around (0, 0), then turned by angle and moved to (cx, cy)."""
    return (f"push graphic-context translate {cx},{cy} rotate {angle} "
            + " ".join(elements) + " pop graphic-context")


def glyph(char, fill, size, dy=0):
    """A single character centred on the 96 x 96 drawing."""
    quoted = char.replace("'", "\\'")
    return (f"push graphic-context fill '{fill}' stroke 'none' font '{FONT}' font-size {size} "
            f"gravity center text 0,{dy} '{quoted}' pop graphic-context")


def plus(cx, cy, half, thick, fill, stroke="none", width=0):
    """A plus sign as one outline, so a stroke follows its edge only."""
    a, b = half, thick
    points = [(-b, -a), (b, -a), (b, -b), (a, -b), (a, b), (b, b), (b, a), (-b, a), (-b, b), (-a, b), (-a, -b), (-b, -b)]
    return el("polygon " + " ".join(f"{cx + x},{cy + y}" for x, y in points), fill, stroke, width)


# Each button role: the MVG drawing on a 96 x 96 canvas, and optionally the
# parts cut out of it afterwards (holes stay transparent).
BUTTONS = {
    "oui": [el("polyline 16,50 38,72 80,24", stroke=GREEN, width=16)],
    "non": [el("line 24,24 72,72", stroke=RED, width=16), el("line 72,24 24,72", stroke=RED, width=16)],
    "annuler": [el("circle 48,48 48,8", fill=RED),
                el("line 33,33 63,63", stroke="white", width=11),
                el("line 63,33 33,63", stroke="white", width=11)],
    "modifier": [turned(-45,
                        el("rectangle -26,-11 26,11", fill=ORANGE, stroke="#b35c00", width=2),
                        el("line -26,0 26,0", stroke="#e67700", width=2),
                        el("polygon -46,0 -26,-11 -26,11", fill="#f2c9a0", stroke="#b35c00", width=2),
                        el("polygon -46,0 -38,-4 -38,4", fill="#343a40"),
                        el("rectangle 26,-11 33,11", fill="#adb5bd", stroke=GREY, width=2),
                        el("roundrectangle 33,-11 44,11 4,4", fill="#f783ac", stroke="#d6336c", width=2))],
    "aide": [el("circle 48,48 48,6", fill=BLUE), glyph("?", "white", 70, dy=3)],
    "options": {"draw": [turned(a, el("roundrectangle -10,-45 10,-26 3,3", fill=DARK_GREY)) for a in range(0, 360, 45)]
                + [el("circle 48,48 48,16", fill=DARK_GREY)],
                "cut": [el("circle 48,48 48,35", fill="black")]},
    "about": [el("circle 48,48 48,6", fill=BLUE),
              el("circle 48,27 48,20", fill="white"),
              el("roundrectangle 41,39 55,76 3,3", fill="white")],
    "manuel": [el("rectangle 28,16 82,88", fill=PAPER, stroke=GREY, width=3),
               el("line 32,84 78,84", stroke=LIGHT_GREY, width=2),
               el("rectangle 14,8 70,80", fill=BLUE),
               el("rectangle 14,8 24,80", fill=DARK_BLUE),
               el("line 34,28 60,28", stroke="white", width=6),
               el("line 34,42 54,42", stroke="white", width=4)],
    "quitter": [el("rectangle 12,8 54,88", fill=BROWN, stroke=DARK_BROWN, width=3),
                el("rectangle 18,14 48,44", fill="#a9713c"),
                el("circle 44,54 44,49", fill="#ffd43b"),
                el("line 52,54 80,54", stroke=GREEN, width=11),
                el("polygon 70,36 92,54 70,72", fill=GREEN, stroke=GREEN, width=3)],
    "ajouter": [plus(48, 48, 38, 9, GREEN)],
    "tout_ajouter": [plus(30, 30, 22, 7, GREEN), plus(66, 66, 22, 7, GREEN)],
    "retirer": [el("roundrectangle 8,40 88,56 3,3", fill=RED)],
    "tout_retirer": [el("line 82,8 48,50", stroke=BROWN, width=9),
                     el("polygon 40,40 62,56 46,90 8,66", fill="#fab005", stroke="#e67700", width=3),
                     el("line 22,72 40,54", stroke="#e67700", width=3),
                     el("line 34,80 52,60", stroke="#e67700", width=3)],
    "actualiser": [el("path 'M 78,48 A 30,30 0 1 1 63,22'", stroke=BLUE, width=11),
                   el("polygon 79,31 55,35 71,8", fill=BLUE, stroke=BLUE, width=2)],
    "forum": [el("roundrectangle 34,10 90,54 12,12", fill=ORANGE),
              el("polygon 68,50 84,68 56,54", fill=ORANGE),
              el("roundrectangle 6,32 64,78 12,12", fill=BLUE, stroke="white", width=3),
              el("polygon 16,74 10,92 34,77", fill=BLUE),
              el("circle 22,55 22,50", fill="white"),
              el("circle 35,55 35,50", fill="white"),
              el("circle 48,55 48,50", fill="white")],
    "pressepapier": [el("roundrectangle 14,12 82,92 7,7", fill="#a0522d", stroke=DARK_BROWN, width=2),
                     el("rectangle 22,22 74,84", fill="white"),
                     el("roundrectangle 32,4 64,22 5,5", fill="#adb5bd", stroke=DARK_GREY, width=3),
                     el("line 30,40 66,40", stroke=GREY, width=4),
                     el("line 30,52 66,52", stroke=GREY, width=4),
                     el("line 30,64 56,64", stroke=GREY, width=4)],
    "verif_version": [el("circle 48,48 48,8", fill=SKY, stroke=DARK_BLUE, width=4),
                      el("ellipse 48,48 17,40 0,360", stroke=DARK_BLUE, width=4),
                      el("line 48,8 48,88", stroke=DARK_BLUE, width=4),
                      el("line 8,48 88,48", stroke=DARK_BLUE, width=4),
                      el("path 'M 16,28 Q 48,38 80,28'", stroke=DARK_BLUE, width=3),
                      el("path 'M 16,68 Q 48,58 80,68'", stroke=DARK_BLUE, width=3)],
    "dependance": [turned(-45,
                          el("roundrectangle -42,-13 6,13 13,13", stroke=GREY, width=10),
                          el("roundrectangle -6,-13 42,13 13,13", stroke=DARK_GREY, width=10))],
}

# The stand-by pictures, on a 644 x 484 canvas (four times 161 x 121).
PICTURE_FRAME = [el("roundrectangle 242,60 402,200 10,10", fill="white", stroke="#adb5bd", width=8),
                 el("polygon 256,190 306,120 344,166 364,144 390,190", fill=LIGHT_GREY),
                 el("circle 366,102 366,84", fill=LIGHT_GREY),
                 el("line 226,222 418,40", stroke="#adb5bd", width=12)]

DOCUMENT = [el("polygon 252,56 362,56 404,98 404,428 252,428", fill="white", stroke="#adb5bd", width=8),
            el("polygon 362,56 362,98 404,98", fill="#dee2e6", stroke="#adb5bd", width=6)] + [
    el(f"line 280,{y} {376 if i % 3 != 2 else 340},{y}", stroke=LIGHT_GREY, width=10)
    for i, y in enumerate(range(150, 400, 36))]

STANDBY_TEXT = {"Francais": "Pas d'aperçu", "English": "No preview"}


def convert(args):
    subprocess.run(["convert", *args], check=True)


def draw_button(drawing, hover, target):
    if isinstance(drawing, list):
        drawing = {"draw": drawing}
    size = BUTTON * SCALE
    args = ["-size", f"{size}x{size}", "xc:none", "-draw", " ".join(drawing["draw"])]
    if "cut" in drawing:
        args += ["(", "-size", f"{size}x{size}", "xc:none", "-draw", " ".join(drawing["cut"]), ")",
                 "-compose", "DstOut", "-composite"]
    if hover:
        args += ["-modulate", "122,110,100"]
    # GIF keeps one bit of transparency: half-covered edge pixels keep their colour.
    args += ["-filter", "Box", "-resize", f"{BUTTON}x{BUTTON}", "-channel", "A", "-threshold", "50%", "+channel", f"GIF:{target}"]
    convert(args)


def draw_standby(elements, text, target):
    width, height = STANDBY[0] * SCALE, STANDBY[1] * SCALE
    args = ["-size", f"{width}x{height}", "xc:#e9ecef", "-draw", " ".join(elements)]
    if text:
        args += ["-font", TEXT_FONT, "-pointsize", "62", "-fill", GREY, "-gravity", "north",
                 "-annotate", "+0+300", text]
    args += ["-resize", f"{STANDBY[0]}x{STANDBY[1]}!", "+dither", "-colors", "64", f"GIF:{target}"]
    convert(args)


def contact_sheet(files, target):
    with tempfile.TemporaryDirectory() as tmp:
        tiles = []
        for i, path in enumerate(files):
            tile = pathlib.Path(tmp) / f"{i:03}.png"
            big = ["-filter", "point", "-resize", "400%"] if "common" in path.parts else []
            convert([str(path), *big, "-background", "#d8dde2", "-flatten", str(tile)])
            tiles.append(str(tile))
        subprocess.run(["montage", *tiles, "-tile", "6x", "-geometry", "+8+8", "-background", "white", target],
                       check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sheet", help="also write a contact sheet of every picture to this PNG file")
    options = parser.parse_args()

    written = []
    common = LANGAGES / "common"
    common.mkdir(parents=True, exist_ok=True)
    for role, drawing in BUTTONS.items():
        for hover in (False, True):
            target = common / f"{role}{'_d' if hover else ''}.gif"
            draw_button(drawing, hover, target)
            written.append(target)
    for language, text in STANDBY_TEXT.items():
        folder = LANGAGES / language
        folder.mkdir(parents=True, exist_ok=True)
        draw_standby(PICTURE_FRAME, text, folder / "non_image.gif")
        draw_standby(DOCUMENT, "", folder / "non_image2.gif")
        written += [folder / "non_image.gif", folder / "non_image2.gif"]
    print(f"{len(written)} pictures written under {LANGAGES}")
    if options.sheet:
        contact_sheet(written, options.sheet)
        print(f"contact sheet: {options.sheet}")


if __name__ == "__main__":
    sys.exit(main())
