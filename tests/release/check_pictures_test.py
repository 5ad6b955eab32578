#!/usr/bin/python3
"""The build's picture check: the stock pictures pass; each way a picture can break the window
is refused with a line that names the picture and the rule.

Usage: check_pictures_test.py RESOURCES_FOLDER
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

RESOURCES = sys.argv.pop(1) if len(sys.argv) > 1 else "resources"
CHECKER = os.path.join(RESOURCES, "check_pictures.py")


def patch(fmt, at, *values):
    """A change that packs values at a file offset."""
    def apply(data):
        struct.pack_into(fmt, data, at, *values)
        return data
    return apply


# picture, change of its bytes (None: the file is removed), what the message must say
BREAKAGES = [
    ("background_8bit.bmp", lambda d: patch("<I", 46, 200)(patch("<I", 10, 14 + 40 + 800)(d)),
     "must have a colour table of 256 entries, has 200"),
    ("button_german_normal.bmp", patch("<i", 18, 70), "must be 68 x 22 pixels, is 70 x 22"),
    ("background_4bit.bmp", patch("<H", 28, 8), "must have 4 bits per pixel, has 8"),
    ("background_1bit.bmp", patch("<i", 22, -256), "must be stored bottom-up"),
    ("button_english_pressed.bmp", patch("<I", 30, 1), "must be uncompressed"),
    ("button_japanese_normal.bmp", patch("<I", 14, 124), "needs a 40-byte BITMAPINFOHEADER"),
    ("button_german_pressed.bmp", patch("<I", 10, 14 + 40 + 4 * 256),
     "must have its pixels right after the colour table (at 214)"),
    ("background_8bit.bmp", lambda d: d[:-1], "is cut short: 65535 pixel bytes of 65536"),
    ("button_english_normal.bmp", lambda d: bytearray(b"\x89PNG\r\n") + d, "is not a BMP file"),
    ("button_japanese_pressed.bmp", None, "cannot be read"),
    # The set for high display scales.
    ("background_8bit_2x.bmp", patch("<i", 18, 256), "must be 512 x 512 pixels, is 256 x 512"),
    ("button_german_normal_2x.bmp", patch("<I", 30, 0),
     "must be compressed BI_RLE8 (1), has compression 0"),
    ("button_english_pressed_2x.bmp", patch("<I", 46, 93), "must have a colour table of 40"),
    ("button_japanese_normal_2x.bmp", patch("<I", 34, 100), "must give its"),
    ("button_german_normal_2x.bmp", patch("<BB", 14 + 40 + 4 * 93, 200, 5),
     "has an RLE8 run outside the picture (row 0 from the bottom)"),
    ("button_german_pressed_2x.bmp", lambda d: patch("<BB", len(d) - 2, 0, 0)(d),
     "has an RLE8 stream without an end-of-bitmap mark"),
    ("button_japanese_pressed_2x.bmp", None,
     "is missing: the set for high display scales is all or nothing"),
]


def run(folder):
    return subprocess.run([sys.executable, CHECKER, folder], capture_output=True, text=True)


class CheckPicturesTest(unittest.TestCase):
    def setUp(self):
        """A fresh copy of the stock pictures."""
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)
        for name in os.listdir(RESOURCES):
            if name.endswith(".bmp"):
                shutil.copy(os.path.join(RESOURCES, name), self.folder)

    def breaks(self, name, change):
        path = os.path.join(self.folder, name)
        if change is None:
            os.remove(path)
            return
        with open(path, "rb") as f:
            data = change(bytearray(f.read()))
        with open(path, "wb") as f:
            f.write(data)

    def test_the_stock_pictures_pass(self):
        result = run(self.folder)
        self.assertEqual((result.returncode, result.stderr), (0, ""))

    def test_a_set_without_the_high_scale_pictures_passes(self):
        for name in os.listdir(self.folder):
            if name.endswith("_2x.bmp"):
                os.remove(os.path.join(self.folder, name))
        result = run(self.folder)
        self.assertEqual((result.returncode, result.stderr), (0, ""))

    def test_each_breakage_is_refused_naming_picture_and_rule(self):
        for name, change, rule in BREAKAGES:
            with self.subTest(picture=name, rule=rule):
                self.setUp()
                self.breaks(name, change)
                result = run(self.folder)
                self.assertEqual(result.returncode, 1)
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), 1, result.stderr)
                self.assertTrue(lines[0].startswith(
                    "picture %s %s" % (os.path.join(self.folder, name), rule)), lines[0])


if __name__ == "__main__":
    unittest.main()
