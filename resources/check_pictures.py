#!/usr/bin/python3
"""Checks a folder of window pictures before they go into the stub. Each picture of the 96-DPI
set must be an uncompressed bottom-up BMP with a 40-byte info header, of its fixed size and
depth, with the colour table the window code expects (it reads the pixels right after that
table and builds the background's palette from a full one).

The set for high display scales (the *_2x.bmp files) is optional, but all or nothing: without
it the window scales the 96-DPI set. Each of its pictures is a bottom-up 8-bit BMP with a
40-byte info header, compressed BI_RLE8, its size in biSizeImage, and its stream must draw every
pixel inside the picture and end with an end-of-bitmap mark.

Prints one line per wrong picture, naming it and the rule it breaks, and exits 1; exits 0 when
all are sound.

Usage: check_pictures.py FOLDER
"""
import os
import struct
import sys

BI_RGB = 0
BI_RLE8 = 1

# name, width, height, bits per pixel, colour-table entries, compression
PICTURES = [
    ("background_1bit.bmp", 256, 256, 1, 2, BI_RGB),
    ("background_4bit.bmp", 256, 256, 4, 16, BI_RGB),
    ("background_8bit.bmp", 256, 256, 8, 256, BI_RGB),
    ("button_english_pressed.bmp", 68, 22, 8, 40, BI_RGB),
    ("button_english_normal.bmp", 68, 22, 8, 93, BI_RGB),
    ("button_german_pressed.bmp", 68, 22, 8, 40, BI_RGB),
    ("button_german_normal.bmp", 68, 22, 8, 93, BI_RGB),
    ("button_japanese_pressed.bmp", 68, 22, 8, 40, BI_RGB),
    ("button_japanese_normal.bmp", 68, 22, 8, 93, BI_RGB),
]

# The set for high display scales, in the order of its resource ids (125 to 131).
PICTURES_2X = [
    ("background_8bit_2x.bmp", 512, 512, 8, 256, BI_RLE8),
    ("button_english_pressed_2x.bmp", 136, 44, 8, 40, BI_RLE8),
    ("button_english_normal_2x.bmp", 136, 44, 8, 93, BI_RLE8),
    ("button_german_pressed_2x.bmp", 136, 44, 8, 40, BI_RLE8),
    ("button_german_normal_2x.bmp", 136, 44, 8, 93, BI_RLE8),
    ("button_japanese_pressed_2x.bmp", 136, 44, 8, 40, BI_RLE8),
    ("button_japanese_normal_2x.bmp", 136, 44, 8, 93, BI_RLE8),
]

FILE_HEADER = 14
INFO_HEADER = 40


def rle8_problem(stream, width, height):
    """Why a BI_RLE8 stream is unsound, or None. Deltas may skip pixels (GDI leaves them as
    they were), but nothing may be drawn outside the picture."""
    x = y = i = 0
    while True:
        if i + 2 > len(stream):
            return "has an RLE8 stream without an end-of-bitmap mark"
        count, value = stream[i], stream[i + 1]
        i += 2
        if count > 0:
            if y >= height or x + count > width:
                return "has an RLE8 run outside the picture (row %d from the bottom)" % y
            x += count
        elif value == 0:  # end of line
            x, y = 0, y + 1
        elif value == 1:  # end of bitmap
            return None if i == len(stream) else "has bytes after its RLE8 end-of-bitmap mark"
        elif value == 2:  # delta
            if i + 2 > len(stream):
                return "has a cut RLE8 delta"
            x, y = x + stream[i], y + stream[i + 1]
            i += 2
            if x > width or y > height:
                return "has an RLE8 delta outside the picture"
        else:  # absolute mode: value pixels, padded to a word
            if y >= height or x + value > width:
                return "has RLE8 pixels outside the picture (row %d from the bottom)" % y
            i += value + (value & 1)
            if i > len(stream):
                return "is cut short inside an RLE8 absolute run"
            x += value


def problem(path, width, height, bpp, colours, compression):
    """The first rule the picture breaks, or None."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        return "cannot be read (%s)" % e.strerror
    if len(data) < FILE_HEADER + INFO_HEADER or data[:2] != b"BM":
        return "is not a BMP file"
    offset = struct.unpack_from("<I", data, 10)[0]
    (size, w, h, planes, bits, actual, image_size, _, _, used, _) = struct.unpack_from(
        "<IiiHHIIiiII", data, FILE_HEADER)
    if size != INFO_HEADER:
        return "needs a 40-byte BITMAPINFOHEADER, has a %d-byte header" % size
    if actual != compression:
        if compression == BI_RGB:
            return "must be uncompressed, has compression %d" % actual
        return "must be compressed BI_RLE8 (1), has compression %d" % actual
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
    if compression == BI_RLE8:
        # GDI reads exactly biSizeImage bytes of a compressed picture.
        if image_size == 0 or offset + image_size != len(data):
            return "must give its %d RLE8 bytes in biSizeImage, gives %d" % (
                max(len(data) - offset, 0), image_size)
        return rle8_problem(data[offset:], width, height)
    stride = (width * bpp + 31) // 32 * 4
    if len(data) < offset + stride * height:
        return "is cut short: %d pixel bytes of %d" % (max(len(data) - offset, 0),
                                                       stride * height)
    return None


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    folder = argv[1]
    pictures = list(PICTURES)
    present = [name for name, *_ in PICTURES_2X if os.path.exists(os.path.join(folder, name))]
    if present:
        pictures += PICTURES_2X
    failed = False
    for name, *rules in pictures:
        path = os.path.join(folder, name)
        wrong = problem(path, *rules)
        if wrong:
            if name not in present and rules[-1] == BI_RLE8:
                wrong = "is missing: the set for high display scales is all or nothing"
            print("picture %s %s" % (path, wrong), file=sys.stderr)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
