#!/usr/bin/env bash
# Two clean builds of the stub from this source, in folders of different names and depths, must
# be byte-identical, so that anyone can check that a published installer came from its source.
# Usage: reproducible_test.sh SOURCE TOOLCHAIN_FILE WORK
set -euo pipefail
source_dir=${1:?source} toolchain=${2:?toolchain file} work=${3:?work folder}
rm -rf "$work"
stubs=()
for tree in "$work/first" "$work/the/second/build"; do
  cmake -S "$source_dir" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >"$work.log" 2>&1 || { cat "$work.log"; exit 1; }
  cmake --build "$tree" --target qjxsea -j2 >"$work.log" 2>&1 || { cat "$work.log"; exit 1; }
  stubs+=("$tree/startup/qjxsea.exe")
done
if ! cmp "${stubs[@]}"; then
  echo "FAIL: the two builds differ at (offset, byte, byte):" >&2
  cmp -l "${stubs[@]}" | head -20 >&2
  exit 1
fi
echo "ok: $(stat -c %s "${stubs[0]}") bytes, identical in both builds ($(basename "$toolchain"))"
