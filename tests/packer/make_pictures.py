#!/usr/bin/python3
"""Draws a vendor's picture folder for the branding tests: the set of resources/draw_images.py
in other colours, saved as PNG (the 1- and 4-bit backgrounds left out, for the packer to
derive), with the set for twice the display scale enlarged from it pixel for pixel, and the
icon drawn with it.

Usage: make_pictures.py SOURCE_DIR OUT_DIR FIELD_R,G,B
"""
import os
import subprocess
import sys
import tempfile

from PIL import Image


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    source, out, field = argv[1:]
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as drawn:
        subprocess.run([sys.executable, os.path.join(source, "resources", "draw_images.py"),
                        "--out", drawn, "--field", field, "--arrow", "200,40,30"],
                       check=True, stdout=subprocess.DEVNULL)
        for name in sorted(os.listdir(drawn)):
            base, extension = os.path.splitext(name)
            path = os.path.join(drawn, name)
            if extension == ".ico":
                os.replace(path, os.path.join(out, name))
                continue
            if base in ("background_1bit", "background_4bit"):
                continue
            picture = Image.open(path).convert("RGB")
            picture.save(os.path.join(out, base + ".png"))
            larger = picture.resize((picture.width * 2, picture.height * 2), Image.NEAREST)
            larger.save(os.path.join(out, base + "@2x.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
