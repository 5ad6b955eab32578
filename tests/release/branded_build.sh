#!/usr/bin/env bash
# Builds a branded stub the way a release engineer would: its own icon and pictures (drawn in
# other colours), product texts and package names, in a tree of its own. Checks on the way that
# a wrong picture and a package name with a blank stop the build with a message that names
# them, and that the branded icon is the one inside the stub. The end-to-end case "branded"
# runs the result.
# Usage: branded_build.sh SOURCE TOOLCHAIN_FILE WORK   (the stub: WORK/branded/startup/qjxsea.exe)
set -euo pipefail
source_dir=${1:?source} toolchain=${2:?toolchain file} work=${3:?work folder}
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# configure TREE OPTION...: a small tree that builds only what the stub needs.
configure() {
  local tree=$1
  shift
  cmake -S "$source_dir" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel "$@" >"$tree.log" 2>&1
}

/usr/bin/python3 "$source_dir/resources/draw_images.py" --out pictures --field 222,204,170 \
  --arrow 200,40,30

cp -r pictures wrong
truncate -s -1 wrong/button_german_normal.bmp
configure refused -DQJX_PICTURES_DIR="$work/wrong" || fail "configure: $(cat refused.log)"
if cmake --build refused --target qjxsea -j2 >>refused.log 2>&1; then
  fail "the build took a picture that is cut short"
fi
grep -q "picture $work/wrong/button_german_normal.bmp is cut short" refused.log ||
  fail "no message naming the wrong picture: $(tail -5 refused.log)"

if configure blank -DQJX_PACKAGE_NAME="Korrin Suite.msi"; then
  fail "a package name with a blank was taken"
fi
grep -q 'QJX_PACKAGE_NAME "Korrin Suite.msi": use letters' blank.log || fail "$(cat blank.log)"

configure branded -DQJX_ICON="$work/pictures/qjxsea.ico" -DQJX_PICTURES_DIR="$work/pictures" \
  -DQJX_PRODUCT_NAME="Korrin Suite" -DQJX_COMPANY_NAME="Korrin Labs" \
  -DQJX_PACKAGE_NAME=Korrin.msi -DQJX_GERMAN_TRANSFORM=Korrin_de.mst \
  -DQJX_JAPANESE_TRANSFORM=Korrin_ja.mst || fail "configure: $(cat branded.log)"
cmake --build branded --target qjxsea -j2 >>branded.log 2>&1 || fail "build: $(tail -20 branded.log)"

# The icon's images are stored unchanged as the stub's icon resources.
/usr/bin/python3 - pictures/qjxsea.ico "$source_dir/resources/qjxsea.ico" \
  branded/startup/qjxsea.exe <<'PY' || fail "the branded icon is not in the stub"
import struct, sys
def images(path):
    data = open(path, "rb").read()
    count = struct.unpack_from("<H", data, 4)[0]
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        yield data[offset:offset + size]
stub = open(sys.argv[3], "rb").read()
assert all(image in stub for image in images(sys.argv[1]))
assert not any(image in stub for image in images(sys.argv[2]))
PY
echo "ok: branded stub $work/branded/startup/qjxsea.exe"
