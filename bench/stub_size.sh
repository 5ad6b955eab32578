#!/usr/bin/env bash
# Prints the stub's size, in total and without its bitmaps, next to the reference sizes:
# the shipped stub's image, 7-Zip's smallest SFX module and NSIS's exehead.
# Usage: bench/stub_size.sh [qjxsea.exe]  (default: the win32 tree under BUILD_DIR, ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stub=${1:-${BUILD_DIR:-$root/build}/win32/startup/qjxsea.exe}
if [ ! -f "$stub" ]; then
  echo "no stub at $stub: build the win32 tree (scripts/test.sh) or name the file" >&2
  exit 1
fi
python3 - "$stub" <<'PY'
import struct, sys

path = sys.argv[1]
data = open(path, "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections = struct.unpack_from("<H", data, pe + 6)[0]
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
optional = pe + 24
resource_rva, resource_size = struct.unpack_from("<II", data, optional + 96 + 2 * 8)

def rva_to_offset(rva):
    table = optional + optional_size
    for i in range(sections):
        _, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        if vaddr <= rva < vaddr + max(vsize, rawsize):
            return rawptr + rva - vaddr
    raise ValueError("RVA %#x outside every section" % rva)

RT_BITMAP = 2
bitmaps = []
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
            bitmaps.extend(leaves(target & 0x7FFFFFFF))

total = len(data)
without = total - sum(bitmaps)
print("stub %s" % path)
print("  total              %9d bytes" % total)
print("  bitmaps            %9d bytes in %d resources" % (sum(bitmaps), len(bitmaps)))
print("  without bitmaps    %9d bytes" % without)
print()
print("%-36s %7s   %9s  %11s" % ("reference", "bytes", "total/ref", "without/ref"))
for name, size in (("shipped stub image", 233472), ("7-Zip smallest SFX module (~30 KB)", 30 * 1024),
                   ("NSIS exehead (34 KB)", 34 * 1024)):
    print("  %-34s %7d   %9.2f  %11.2f" % (name, size, total / size, without / size))
PY
