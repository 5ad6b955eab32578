#!/usr/bin/env bash
# Builds the extraction benchmark with release flags and no sanitizers in its own tree and runs
# it: extraction against cp and a plain read/write loop, in random order per round after a
# warm-up, medians with their spread. Environment: BUILD_DIR (default ./build); arguments go to
# the benchmark ([work folder] [rounds, default 11] [seed of the order]).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}/bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQJX_SANITIZE=OFF >/dev/null
cmake --build "$build" --target extract_bench -j2 >/dev/null
"$build/bench/extract_bench" "$@"
