#!/usr/bin/python3
"""Draws the 24 x 24 icons of the report viewer into this folder (Debian's python3-pil).

  preview_24.png        print preview: a sheet of paper under a magnifying glass
  table-item-down.png   find next: an arrow pointing down
  table-item-up.png     find previous: an arrow pointing up

Each icon is drawn at four times its size and scaled down, which smooths the edges.
"""

import os

from PIL import Image, ImageDraw

SIZE = 24
SCALE = 4
HERE = os.path.dirname(os.path.abspath(__file__))


def canvas():
    img = Image.new("RGBA", (SIZE * SCALE, SIZE * SCALE), (0, 0, 0, 0))
    return img, ImageDraw.Draw(img)


def save(img, name):
    img.resize((SIZE, SIZE), Image.LANCZOS).save(os.path.join(HERE, name), optimize=True)


def s(*values):
    return [v * SCALE for v in values]


def preview():
    img, d = canvas()
    # The sheet with a folded corner and a few lines of text.
    d.polygon(s(3, 2, 14, 2, 18, 6, 18, 21, 3, 21), fill=(255, 255, 255, 255), outline=(70, 70, 70, 255),
              width=SCALE)
    d.line(s(14, 2, 14, 6, 18, 6), fill=(70, 70, 70, 255), width=SCALE)
    for y in (8, 11, 14):
        d.line(s(6, y, 14, y), fill=(120, 140, 170, 255), width=SCALE)
    # The magnifying glass.
    d.line(s(17, 17, 22, 22), fill=(90, 60, 30, 255), width=3 * SCALE)
    d.ellipse(s(9, 9, 19, 19), fill=(200, 225, 250, 200), outline=(30, 60, 120, 255), width=2 * SCALE)
    save(img, "preview_24.png")


def arrow(name, down):
    img, d = canvas()
    colour = (30, 110, 60, 255)
    if down:
        d.rectangle(s(9, 3, 15, 13), fill=colour)
        d.polygon(s(3, 12, 21, 12, 12, 22), fill=colour)
    else:
        d.rectangle(s(9, 11, 15, 21), fill=colour)
        d.polygon(s(3, 12, 21, 12, 12, 2), fill=colour)
    save(img, name)


if __name__ == "__main__":
    preview()
    arrow("table-item-down.png", down=True)
    arrow("table-item-up.png", down=False)
