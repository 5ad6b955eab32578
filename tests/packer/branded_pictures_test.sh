#!/usr/bin/env bash
# The pictures qjxpack brands into the stub, read back with other tools: the 96-DPI set passes
# resources/check_pictures.py (the window's contract), every picture, the RLE8-compressed larger
# set included, shows exactly the vendor's PNG pixels when PIL decodes it, and the derived 4-bit
# background holds only colours of the standard 16.
#
# Usage: branded_pictures_test.sh WORK_DIR SOURCE_DIR STUB QJXPACK
set -euo pipefail
work=$1
source_dir=$2
stub=$3
qjxpack=$4
python=/usr/bin/python3

if [ ! -f "$stub" ]; then
  echo "missing $stub: build the win32 tree beside this one"
  exit 77
fi
command -v wrestool >/dev/null || { echo "wrestool missing (Debian: icoutils)"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
cd "$work"

"$python" "$source_dir/tests/packer/make_pictures.py" "$source_dir" vendor 222,204,170
"$qjxpack" brand --stub "$stub" -o branded.exe --pictures vendor --icon vendor/qjxsea.ico
mkdir extracted
wrestool -x -t 2 -o extracted branded.exe

"$python" - "$source_dir/resources/check_pictures.py" <<'PY'
import os, shutil, subprocess, sys
from PIL import Image

names = {103: "background_1bit", 104: "background_4bit", 105: "background_8bit",
         106: "button_english_pressed", 107: "button_english_normal",
         108: "button_german_pressed", 109: "button_german_normal",
         110: "button_japanese_pressed", 111: "button_japanese_normal"}
names.update({id + 20 if id > 105 else 125: name + "@2x"
              for id, name in names.items() if id >= 105})
os.makedirs("contract")
for id, name in sorted(names.items()):
    path = "extracted/branded.exe_2_%d.bmp" % id
    if not os.path.exists(path):
        sys.exit("bitmap %d (%s) missing" % (id, name))
    if id < 125:
        shutil.copy(path, "contract/%s.bmp" % name)
    vendor = "vendor/%s.png" % name
    if os.path.exists(vendor):
        got = list(Image.open(path).convert("RGB").getdata())
        if got != list(Image.open(vendor).convert("RGB").getdata()):
            sys.exit("bitmap %d differs from %s" % (id, vendor))
standard = {(r, g, b) for r, g, b in [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]}
used = set(Image.open("contract/background_4bit.bmp").convert("RGB").getdata())
if not used <= standard:
    sys.exit("the 4-bit background uses colours outside the standard 16: %s" % (used - standard))
if set(Image.open("contract/background_1bit.bmp").convert("RGB").getdata()) != {
        (0, 0, 0), (255, 255, 255)}:
    sys.exit("the 1-bit background is not black and white")
subprocess.run([sys.executable, sys.argv[1], "contract"], check=True)
PY

# Surprises are named: a misspelt name (with the nearest one), a format qjxpack does not read, a
# cut file; dropped transparency and an icon the older systems cannot show are warnings.
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# brand_says STATUS FOLDER ICON TEXT...: brand with those pictures and icon, exiting STATUS with
# every TEXT on stderr.
brand_says() {
  local want=$1 folder=$2 icon=$3 status=0
  shift 3
  "$qjxpack" brand --stub "$stub" -o surprise.exe --pictures "$folder" --icon "$icon" \
    >/dev/null 2>surprise.log || status=$?
  [ "$status" -eq "$want" ] || fail "$folder: exit $status: $(cat surprise.log)"
  for text in "$@"; do grep -qF -- "$text" surprise.log || fail "$folder: no \"$text\" in: $(cat surprise.log)"; done
}
cp -r vendor misspelt
mv misspelt/button_german_normal.png misspelt/buton_german_normal.png
brand_says 1 misspelt vendor/qjxsea.ico \
  "buton_german_normal.png is left out: no picture has that name; did you mean button_german_normal.png?" \
  "error: --pictures misspelt lacks button_german_normal (.png or .bmp"
cp -r vendor other_format
"$python" -c 'from PIL import Image; Image.open("vendor/button_english_normal.png").convert("RGB").save("other_format/button_english_normal.jpg")'
rm other_format/button_english_normal.png
brand_says 1 other_format vendor/qjxsea.ico \
  "button_english_normal.jpg is left out: qjxpack reads only .png and .bmp pictures"
cp -r vendor cut
head -c 300 vendor/button_japanese_normal.png >cut/button_japanese_normal.png
brand_says 1 cut vendor/qjxsea.ico "picture cut/button_japanese_normal.png is cut short or damaged"
cp -r vendor transparent
"$python" - <<'PY'
from PIL import Image
image = Image.open("transparent/background_8bit.png").convert("RGBA")
image.putpixel((3, 3), image.getpixel((3, 3))[:3] + (100,))
image.save("transparent/background_8bit.png")
image.save("png_only.ico", sizes=[(48, 48)])
PY
brand_says 0 transparent png_only.ico \
  "picture transparent/background_8bit.png: its transparency is dropped" \
  "--icon png_only.ico holds only PNG images"
brand_says 0 vendor vendor/qjxsea.ico
! grep -q "holds only PNG images" surprise.log || fail "an icon with BMP images: $(cat surprise.log)"

# The written manifest passes a strict XML parser (Windows refuses to start a program whose
# manifest is not well-formed; Wine does not care), and no resource names the stock maker.
"$qjxpack" brand --stub "$stub" -o named.exe --product-name 'Korrin <Tools> & "More"' \
  --company "Korrin Co." --comments "it's <new>" >/dev/null
mkdir raw
wrestool -x --raw -o raw named.exe
"$python" - <<'PY' || fail "named.exe's resources"
import glob, sys
import xml.etree.ElementTree as ElementTree
manifests = glob.glob("raw/named.exe_24_1*")
if len(manifests) != 1:
    sys.exit("no manifest among %s" % sorted(glob.glob("raw/*")))
root = ElementTree.parse(manifests[0]).getroot()
ns = "{urn:schemas-microsoft-com:asm.v1}"
identity = root.find(ns + "assemblyIdentity")
description = root.find(ns + "description")
if identity.get("name") != "Korrin-Co.Korrin-Tools-More.Setup":
    sys.exit("identity name %r" % identity.get("name"))
if description.text != 'Korrin <Tools> & "More" Setup':
    sys.exit("description %r" % description.text)
for path in glob.glob("raw/*"):
    data = open(path, "rb").read()
    if b"Dravik" in data or "Dravik".encode("utf-16-le") in data:
        sys.exit("%s names the stock maker" % path)
PY
# A language's own pictures, read back by other decoders: each at its id (140 + 4 * i + 0 normal,
# 1 pressed, 2 and 3 their @2x, RLE8-compressed) with exactly the vendor's pixels.
mkdir languages
cp vendor/background_8bit.png languages/
for code in en pt-BR; do
  cp vendor/button_english_normal.png "languages/button_${code}_normal.png"
  cp vendor/button_german_pressed.png "languages/button_${code}_pressed.png"
  cp vendor/button_japanese_normal@2x.png "languages/button_${code}_normal@2x.png"
  cp vendor/button_english_pressed@2x.png "languages/button_${code}_pressed@2x.png"
done
"$qjxpack" brand --stub "$stub" -o languages.exe --pictures languages --language en=English \
  --language $'pt-BR=Portugu\xc3\xaas' >/dev/null
mkdir language_bitmaps
wrestool -x -t 2 -o language_bitmaps languages.exe
"$python" - <<'PY' || fail "the languages' pictures"
import sys
from PIL import Image
kinds = ["normal", "pressed", "normal@2x", "pressed@2x"]
for i, code in enumerate(["en", "pt-BR"]):
    for k, kind in enumerate(kinds):
        path = "language_bitmaps/languages.exe_2_%d.bmp" % (140 + 4 * i + k)
        vendor = "languages/button_%s_%s.png" % (code, kind)
        got = Image.open(path)
        if got.info.get("compression", 0) != (1 if k >= 2 else 0):
            sys.exit("%s: compression %r" % (path, got.info.get("compression")))
        if list(got.convert("RGB").getdata()) != list(Image.open(vendor).convert("RGB").getdata()):
            sys.exit("%s differs from %s" % (path, vendor))
PY
echo "branded pictures: ok"
