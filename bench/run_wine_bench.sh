#!/usr/bin/env bash
# The stub under Wine, quiet, at a small and a large payload, in turns with a plain copy of the
# same files, with a program that makes only the stub's quiet start-up calls and with a peer's
# silent installers of the same files (makensis, from Debian's nsis, where it is installed):
# prints the throughput ratio, the start-up ratio, the stub's peak working set at both sizes and
# the two ratios to the peer (bench/wine_bench.py).
# Runs on the Wine architecture scripts/wine_arch.sh chooses (QJX_WINE_ARCH=x86|x64 overrides),
# in its own Xvfb display and the build tree's prefix. Builds what it needs (scripts/build.sh
# the first time).
# Environment: BUILD_DIR (default ./build). Arguments go to wine_bench.py, e.g.
#   bench/run_wine_bench.sh --rounds 9 --sizes 16,256
# Without makensis the peer's lines say why it is missing and the rest is printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)
"$root/scripts/setup.sh"
# shellcheck source=scripts/wine_arch.sh
source "$root/scripts/wine_arch.sh"

for tree in host "$QJX_WIN_TREE"; do
  [ -f "$build/$tree/CMakeCache.txt" ] || BUILD_DIR="$build" "$root/scripts/build.sh" "$tree"
done
cmake --build "$build/host" --target qjxpack -j2 >/dev/null
# The tree may have been built for the other architecture's Wine, without its Wine programs;
# keepalive holds Wine's desktop between the runs, which would otherwise restart it each time.
cmake "$build/$QJX_WIN_TREE" -DQJX_WINE_TESTS=ON >/dev/null
cmake --build "$build/$QJX_WIN_TREE" --target qjxsea startup_calls plain_copy keepalive -j2 >/dev/null

# shellcheck source=scripts/wine_session.sh
source "$root/scripts/wine_session.sh"
/usr/bin/python3 "$root/bench/wine_bench.py" --tree "$build/$QJX_WIN_TREE" \
  --packer "$build/host/tools/qjxpack" "$@"
