#!/usr/bin/python3
"""Draws the stub's pictures: the three backgrounds (103-105), the six language button
pictures (106-111) and the program icon, written as uncompressed bottom-up BMP/ICO files with
exactly the colour tables the program expects; and the set for high display scales (125-131),
the 8-bit background and the buttons at twice the size, RLE8-compressed (GDI draws that form
directly, and it is a twelfth of the plain size).

Needs Debian's python3-pil, fonts-dejavu-core and fonts-ipafont-gothic. Run it from anywhere;
it writes next to itself unless --out names another folder (a branded picture set, with its
own field and arrow colours). The output is committed.
"""
import argparse
import os
import struct

from PIL import Image, ImageDraw, ImageFont



def rgb(text):
    return tuple(int(v) for v in text.split(","))


PARSER = argparse.ArgumentParser(description="Draw the stub's pictures and icon.")
PARSER.add_argument("--out", default=os.path.dirname(os.path.abspath(__file__)),
                    help="folder to write into (default: beside this script)")
PARSER.add_argument("--field", type=rgb, default=(177, 188, 214), metavar="R,G,B",
                    help="the backgrounds' field colour")
PARSER.add_argument("--arrow", type=rgb, metavar="R,G,B",
                    help="the arrow's colour in the backgrounds and the icon")
ARGS = PARSER.parse_args()
HERE = ARGS.out
LATIN_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
CJK_FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"

FIELD = ARGS.field
SCALE = 4  # drawn large and reduced, for smooth edges

# The classic 16-colour display palette, with the field colour in place of the light grey
# that it would otherwise be reduced to.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (128, 128, 128),
    FIELD, (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def pack_rows(indices, width, height, bpp):
    """Pixel indices (top-down list of rows) as bottom-up DIB rows padded to 4 bytes."""
    stride = ((width * bpp + 31) // 32) * 4
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(width):
            value = indices[y][x]
            bit = x * bpp
            row[bit // 8] |= value << (8 - bpp - bit % 8)
        out += row
    return bytes(out)


BI_RLE8 = 1


def info_header(width, height, bpp, colours, image_size, compression=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, image_size, 2835,
                       2835, colours, 0)


def rle8_rows(indices, width, height):
    """Pixel indices (top-down list of rows) as a bottom-up BI_RLE8 stream: runs of two or more
    as (count, index), stretches of three or more differing pixels in absolute mode (padded to a
    word), an end-of-line after each row and an end-of-bitmap at the end."""
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = indices[y]
        x = 0
        literal = []

        def flush():
            if len(literal) >= 3:
                out.extend((0, len(literal)))
                out.extend(literal)
                if len(literal) % 2:
                    out.append(0)
            else:
                for value in literal:
                    out.extend((1, value))
            literal.clear()

        while x < width:
            run = 1
            while x + run < width and run < 255 and row[x + run] == row[x]:
                run += 1
            if run >= 2:
                flush()
                out.extend((run, row[x]))
            else:
                literal.append(row[x])
                if len(literal) == 255:
                    flush()
            x += run
        flush()
        out.extend((0, 0))
    out[-2:] = (0, 1)  # the last end-of-line becomes the end-of-bitmap
    return bytes(out)


def colour_table(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)


def write_bmp(name, image, palette, rle8=False):
    """image: mode "P" picture whose indices all fall inside palette."""
    bpp = {2: 1, 16: 4}.get(len(palette), 8)
    width, height = image.size
    pixels = image.load()
    rows = [[pixels[x, y] for x in range(width)] for y in range(height)]
    assert max(max(r) for r in rows) < len(palette)
    assert bpp == 8 or not rle8
    bits = rle8_rows(rows, width, height) if rle8 else pack_rows(rows, width, height, bpp)
    table = colour_table(palette)
    offset = 14 + 40 + len(table)
    data = (b"BM" + struct.pack("<IHHI", offset + len(bits), 0, 0, offset) +
            info_header(width, height, bpp, len(palette), len(bits), BI_RLE8 if rle8 else 0) +
            table + bits)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def to_palette(image, palette):
    """Maps an RGB picture onto a fixed palette, each pixel to its nearest entry (no dithering;
    exact colours stay exact)."""
    rgb = image.convert("RGB")
    out = Image.new("P", rgb.size)
    nearest = {}
    source, target = rgb.load(), out.load()
    for y in range(rgb.size[1]):
        for x in range(rgb.size[0]):
            colour = source[x, y]
            if colour not in nearest:
                nearest[colour] = min(
                    range(len(palette)),
                    key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))
            target[x, y] = nearest[colour]
    return out


def adaptive(image, count, keep=()):
    """Reduces an RGB picture to exactly count table entries; colours in keep stay exact."""
    reduced = image.quantize(colors=count, method=Image.Quantize.MEDIANCUT,
                             dither=Image.Dither.NONE)
    flat = reduced.getpalette()[:count * 3]
    palette = [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
    for colour in keep:
        nearest = min(range(len(palette)),
                      key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))
        palette[nearest] = colour
    while len(palette) < count:  # unused entries keep the table at its fixed size
        palette.append((0, 0, 0))
    return to_palette(image, palette), palette


# --- the background ------------------------------------------------------------------------

def draw_scene(mono):
    """Product box with a disc and a green downward arrow in the upper half; plain below."""
    s = SCALE
    size = 256 * s
    white, black = (255, 255, 255), (0, 0, 0)
    field = white if mono else FIELD
    img = Image.new("RGB", (size, size), field)
    d = ImageDraw.Draw(img)

    def p(*pts):
        return [(x * s, y * s) for x, y in pts]

    line = black if mono else (24, 32, 72)
    front = white if mono else (30, 60, 170)
    top = white if mono else (110, 140, 215)
    side = white if mono else (22, 42, 110)
    w = 2 * s

    # The box, seen from above right: front face, lid and side.
    d.polygon(p((70, 62), (150, 62), (150, 140), (70, 140)), fill=front, outline=line, width=w)
    d.polygon(p((70, 62), (96, 44), (176, 44), (150, 62)), fill=top, outline=line, width=w)
    d.polygon(p((150, 62), (176, 44), (176, 122), (150, 140)), fill=side, outline=line, width=w)
    # A label band across the front.
    band = white if mono else (236, 240, 250)
    d.rectangle(p((78, 112), (142, 126)), fill=band, outline=line, width=s)
    for i, x in enumerate(range(84, 138, 8)):
        d.rectangle(p((x, 117), (x + 4, 121)),
                    fill=black if mono else ((0, 150, 60) if i % 2 else (40, 70, 160)))

    # The disc leaning against the box's right side.
    cx, cy, r = 186, 112, 34
    silver = white if mono else (214, 218, 228)
    d.ellipse(p((cx - r, cy - r), (cx + r, cy + r)), fill=silver, outline=line, width=w)
    if not mono:
        # A soft sheen: lighter rings towards the centre.
        for k, colour in enumerate([(228, 232, 240), (240, 242, 248), (200, 210, 232)]):
            rr = r - 6 - k * 6
            d.ellipse(p((cx - rr, cy - rr), (cx + rr, cy + rr)), fill=colour)
    d.ellipse(p((cx - 11, cy - 11), (cx + 11, cy + 11)), fill=white if mono else (190, 196, 210),
              outline=line, width=s)
    d.ellipse(p((cx - 5, cy - 5), (cx + 5, cy + 5)), fill=field, outline=line, width=s)

    # The green arrow pointing down into the lid.
    green = black if mono else (ARGS.arrow or (30, 160, 60))
    dark = black if mono else tuple(v // 3 for v in green) if ARGS.arrow else (10, 90, 30)
    d.polygon(p((112, 8), (134, 8), (134, 30), (148, 30), (123, 54), (98, 30), (112, 30)),
              fill=green, outline=dark, width=w)
    return img


def backgrounds():
    mono = draw_scene(True).resize((256, 256), Image.Resampling.LANCZOS)
    mono = mono.convert("L").point(lambda v: 255 if v > 150 else 0).convert("RGB")
    write_bmp("background_1bit.bmp", to_palette(mono, [(0, 0, 0), (255, 255, 255)]),
              [(0, 0, 0), (255, 255, 255)])

    colour = draw_scene(False).resize((256, 256), Image.Resampling.LANCZOS)
    write_bmp("background_4bit.bmp", to_palette(colour, VGA16), VGA16)
    image, palette = adaptive(colour, 256, keep=[FIELD])
    write_bmp("background_8bit.bmp", image, palette)

    # The 2x picture: the same scene reduced less, its own 256 colours.
    double = draw_scene(False).resize((512, 512), Image.Resampling.LANCZOS)
    image, palette = adaptive(double, 256, keep=[FIELD])
    write_bmp("background_8bit_2x.bmp", image, palette, rle8=True)


# --- the language buttons ------------------------------------------------------------------

BUTTON_SIZE = (68, 22)
LABELS = [("english", "English", LATIN_FONT), ("german", "Deutsch", LATIN_FONT),
          ("japanese", "日本語", CJK_FONT)]


def draw_button(label, font_path, pressed, k=1):
    """k: 1 for the 96-DPI picture, 2 for the double-size one."""
    s = SCALE * k
    w, h = BUTTON_SIZE
    img = Image.new("RGB", (w * s, h * s), FIELD)
    d = ImageDraw.Draw(img)
    border = (16, 36, 120)
    # The face shades from light at the top to darker at the bottom; pressed is darker overall.
    top_grey, bottom_grey = ((176, 150) if pressed else (248, 214))
    face = Image.new("RGB", img.size)
    fd = ImageDraw.Draw(face)
    for y in range(h * s):
        g = round(top_grey + (bottom_grey - top_grey) * y / (h * s - 1))
        fd.line([(0, y), (w * s, y)], fill=(g, g, g))
    mask = Image.new("L", img.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, w * s - 1, h * s - 1], radius=7 * s,
                                           fill=255)
    img.paste(border, mask=mask)
    inner = Image.new("L", img.size, 0)
    ImageDraw.Draw(inner).rounded_rectangle([2 * s, 2 * s, w * s - 1 - 2 * s, h * s - 1 - 2 * s],
                                            radius=5 * s, fill=255)
    img.paste(face, mask=inner)
    w, h = w * k, h * k
    img = img.resize((w, h), Image.Resampling.LANCZOS)

    # Text drawn at its final size stays crisper than a reduced one.
    font = ImageFont.truetype(font_path, 12 * k)
    d = ImageDraw.Draw(img)
    left, top, right, bottom = d.textbbox((0, 0), label, font=font)
    shift = k if pressed else 0
    x = (w - (right - left)) / 2 - left + shift
    y = (h - (bottom - top)) / 2 - top + shift
    d.text((x, y), label, font=font, fill=(0, 0, 0))
    return img


def buttons():
    for name, label, font in LABELS:
        for pressed, count in ((True, 40), (False, 93)):
            for k, suffix in ((1, ""), (2, "_2x")):
                image, palette = adaptive(draw_button(label, font, pressed, k), count,
                                          keep=[FIELD, (0, 0, 0)])
                write_bmp(f"button_{name}_{'pressed' if pressed else 'normal'}{suffix}.bmp",
                          image, palette, rle8=k == 2)


# --- the icon ------------------------------------------------------------------------------

def icon_image(size):
    s = SCALE
    img = Image.new("RGBA", (size * s, size * s), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    u = size * s / 32.0

    def p(*pts):
        return [(x * u, y * u) for x, y in pts]

    d.polygon(p((4, 12), (22, 12), (22, 30), (4, 30)), fill=(0, 0, 128, 255),
              outline=(0, 0, 0, 255))
    d.polygon(p((4, 12), (10, 7), (28, 7), (22, 12)), fill=(0, 0, 255, 255),
              outline=(0, 0, 0, 255))
    d.polygon(p((22, 12), (28, 7), (28, 25), (22, 30)), fill=(0, 0, 128, 255),
              outline=(0, 0, 0, 255))
    d.polygon(p((12, 0), (18, 0), (18, 6), (22, 6), (15, 13), (8, 6), (12, 6)),
              fill=(ARGS.arrow or (0, 255, 0)) + (255,),
              outline=(tuple(v // 2 for v in ARGS.arrow) if ARGS.arrow else (0, 128, 0)) + (255,))
    return img.resize((size, size), Image.Resampling.LANCZOS)


def write_icon(name, sizes):
    images = []
    for size in sizes:
        rgba = icon_image(size)
        indexed = to_palette(rgba.convert("RGB"), VGA16).load()
        alpha = rgba.getchannel("A").load()
        xor_rows = [[indexed[x, y] for x in range(size)] for y in range(size)]
        and_rows = [[0 if alpha[x, y] >= 128 else 1 for x in range(size)] for y in range(size)]
        xor = pack_rows(xor_rows, size, size, 4)
        mask = pack_rows(and_rows, size, size, 1)
        images.append((size, info_header(size, size * 2, 4, 0, len(xor) + len(mask)) +
                       colour_table(VGA16) + xor + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    backgrounds()
    buttons()
    write_icon("qjxsea.ico", [32, 16])
