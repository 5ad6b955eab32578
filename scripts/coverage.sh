#!/usr/bin/env bash
# Line coverage of the portable core by the host unit tests: builds a coverage tree (no
# sanitizers), runs the unit tests and prints each core file's covered lines.
# Environment: BUILD_DIR (default ./build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}/coverage
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQJX_SANITIZE=OFF -DQJX_COVERAGE=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -L unit >/dev/null || echo "coverage: some unit tests failed" >&2

printf '%-32s %8s %8s %7s\n' file lines covered percent
total=0
covered=0
for source in text/utf8.cpp files/file_access.cpp payload/payload_format.cpp \
  payload/extractor.cpp payload/payload_writer.cpp payload/trailer_locator.cpp; do
  object=$(find "$build" -path "*/$(basename "$(dirname "$source")")/*" \
    -name "$(basename "$source").gcda" | head -1)
  [ -n "$object" ] || { printf '%-32s %8s\n' "$source" "not run"; continue; }
  # gcov prints "Lines executed:P% of N" for the file itself first.
  read -r percent lines < <(cd "$(dirname "$object")" &&
    gcov -n "$(basename "$object")" 2>/dev/null |
    awk -v f="$root/$source" '$0 ~ "File .*" f {found=1; next}
      found && /Lines executed/ {sub("Lines executed:", ""); sub("%", ""); print $1, $3; exit}')
  hit=$(awk -v p="$percent" -v n="$lines" 'BEGIN { printf "%d", p * n / 100 + 0.5 }')
  printf '%-32s %8d %8d %6.1f%%\n' "$source" "$lines" "$hit" "$percent"
  total=$((total + lines))
  covered=$((covered + hit))
done
awk -v t="$total" -v c="$covered" 'BEGIN { printf "%-32s %8d %8d %6.1f%%\n", "portable core", t, c, t ? 100 * c / t : 0 }'
