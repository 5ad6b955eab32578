#!/usr/bin/python3
"""Checks a folder of window pictures before they go into the stub: each must be an
uncompressed bottom-up BMP with a 40-byte info header, of its fixed size and depth, with the
colour table the window code expects (it reads the pixels right after that table and builds
the background's palette from a full one). Prints one line per wrong picture, naming it and
the rule it breaks, and exits 1; exits 0 when all are sound.

Usage: check_pictures.py FOLDER
"""
import os
import struct
import sys

# name, width, height, bits per pixel, colour-table entries
PICTURES = [
    ("background_1bit.bmp", 256, 256, 1, 2),
    ("background_4bit.bmp", 256, 256, 4, 16),
    ("background_8bit.bmp", 256, 256, 8, 256),
    ("button_english_pressed.bmp", 68, 22, 8, 40),
    ("button_english_normal.bmp", 68, 22, 8, 93),
    ("button_german_pressed.bmp", 68, 22, 8, 40),
    ("button_german_normal.bmp", 68, 22, 8, 93),
    ("button_japanese_pressed.bmp", 68, 22, 8, 40),
    ("button_japanese_normal.bmp", 68, 22, 8, 93),
]

FILE_HEADER = 14
INFO_HEADER = 40


def problem(path, width, height, bpp, colours):
    """The first rule the picture breaks, or None."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        return "cannot be read (%s)" % e.strerror
    if len(data) < FILE_HEADER + INFO_HEADER or data[:2] != b"BM":
        return "is not a BMP file"
    offset = struct.unpack_from("<I", data, 10)[0]
    (size, w, h, planes, bits, compression, _, _, _, used, _) = struct.unpack_from(
        "<IiiHHIIiiII", data, FILE_HEADER)
    if size != INFO_HEADER:
        return "needs a 40-byte BITMAPINFOHEADER, has a %d-byte header" % size
    if compression != 0:
        return "must be uncompressed, has compression %d" % compression
    if h < 0:
        return "must be stored bottom-up, is top-down"
    if (w, h) != (width, height):
        return "must be %d x %d pixels, is %d x %d" % (width, height, w, h)
    if planes != 1 or bits != bpp:
        return "must have %d bits per pixel, has %d (planes %d)" % (bpp, bits, planes)
    entries = used or 1 << bits
    if entries != colours:
        return "must have a colour table of %d entries, has %d" % (colours, entries)
    if offset != FILE_HEADER + INFO_HEADER + 4 * colours:
        return "must have its pixels right after the colour table (at %d), has them at %d" % (
            FILE_HEADER + INFO_HEADER + 4 * colours, offset)
    stride = (width * bpp + 31) // 32 * 4
    if len(data) < offset + stride * height:
        return "is cut short: %d pixel bytes of %d" % (max(len(data) - offset, 0),
                                                       stride * height)
    return None


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    failed = False
    for name, *rules in PICTURES:
        path = os.path.join(argv[1], name)
        wrong = problem(path, *rules)
        if wrong:
            print("picture %s %s" % (path, wrong), file=sys.stderr)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
