#!/usr/bin/env bash
# Prints the stub's size, in total and without its bitmaps, next to the reference sizes:
# the shipped stub's image, 7-Zip's smallest SFX module and NSIS's exehead; and its growth for
# high display scales: the double-size pictures, and the whole growth over the last stub without
# them (its sizes recorded below), which the static check's budget allows 64 KiB for.
# Usage: bench/stub_size.sh [qjxsea.exe...]  (default: the x86 and the x64 stub, from the win32
# and win64 trees under BUILD_DIR, ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
[ $# -gt 0 ] || set -- "$build/win32/startup/qjxsea.exe" "$build/win64/startup/qjxsea.exe"
for stub in "$@"; do
  if [ ! -f "$stub" ]; then
    echo "no stub at $stub: build the Windows trees (scripts/test.sh) or name the file" >&2
    exit 1
  fi
done
for stub in "$@"; do
python3 - "$stub" <<'PY'
import struct, sys

path = sys.argv[1]
data = open(path, "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
machine, sections = struct.unpack_from("<HH", data, pe + 4)
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
optional = pe + 24
magic = struct.unpack_from("<H", data, optional)[0]
directories = optional + (112 if magic == 0x20B else 96)
resource_rva, resource_size = struct.unpack_from("<II", data, directories + 2 * 8)

def rva_to_offset(rva):
    table = optional + optional_size
    for i in range(sections):
        _, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        if vaddr <= rva < vaddr + max(vsize, rawsize):
            return rawptr + rva - vaddr
    raise ValueError("RVA %#x outside every section" % rva)

RT_BITMAP = 2
DOUBLE_SIZE_IDS = range(125, 132)
# The stock stubs just before the window learnt high display scales (MinSizeRel, MinGW-w64 of
# Debian 12).
BEFORE_HIGH_DPI = {0x14C: 169984, 0x8664: 192000}
bitmaps = []
double_size = []
if resource_rva:
    base = rva_to_offset(resource_rva)

    def entries(offset):
        named, ids = struct.unpack_from("<HH", data, base + offset + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * i)
            yield name, target

    def leaves(offset):
        for _, target in entries(offset):
            if target & 0x80000000:
                yield from leaves(target & 0x7FFFFFFF)
            else:
                yield struct.unpack_from("<II", data, base + target)[1]

    for name, target in entries(0):
        if name == RT_BITMAP and target & 0x80000000:
            for picture, picture_target in entries(target & 0x7FFFFFFF):
                sizes = list(leaves(picture_target & 0x7FFFFFFF))
                bitmaps.extend(sizes)
                if picture in DOUBLE_SIZE_IDS:
                    double_size.extend(sizes)

total = len(data)
without = total - sum(bitmaps)
print("stub %s (%s)" % (path, {0x14C: "x86", 0x8664: "x64"}.get(machine, "machine %#x" % machine)))
print("  total              %9d bytes" % total)
print("  bitmaps            %9d bytes in %d resources" % (sum(bitmaps), len(bitmaps)))
print("  without bitmaps    %9d bytes" % without)
print("  2x pictures        %9d bytes in %d resources" % (sum(double_size), len(double_size)))
if machine in BEFORE_HIGH_DPI:
    growth = total - BEFORE_HIGH_DPI[machine]
    print("  growth for high display scales %+d bytes (%.1f KiB of the 64 KiB allowed; code %+d)" %
          (growth, growth / 1024, growth - sum(double_size)))
print()
print("%-36s %7s   %9s  %11s" % ("reference", "bytes", "total/ref", "without/ref"))
for name, size in (("shipped stub image", 233472), ("7-Zip smallest SFX module (~30 KB)", 30 * 1024),
                   ("NSIS exehead (34 KB)", 34 * 1024)):
    print("  %-34s %7d   %9.2f  %11.2f" % (name, size, total / size, without / size))
print()
PY
done
