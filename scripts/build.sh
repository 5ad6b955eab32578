#!/usr/bin/env bash
# Installs what the builds need and builds the given trees (default: host, win32 and, unless
# QJX_SKIP_FUZZ=1, fuzz) under BUILD_DIR (default ./build).
# Usage: build.sh [host] [win32] [fuzz]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)
jobs=$(nproc)
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(host win32 fuzz)

"$root/scripts/setup.sh"

for tree in "${trees[@]}"; do
  case $tree in
    host)
      cmake -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
      cmake --build "$build/host" -j"$jobs" ;;
    win32)
      cmake -S "$root" -B "$build/win32" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQJX_WINEPREFIX="$build/wineprefix" >/dev/null
      cmake --build "$build/win32" -j"$jobs" ;;
    fuzz)
      [ "${QJX_SKIP_FUZZ:-0}" != 1 ] || continue
      cmake -S "$root" -B "$build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQJX_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
      cmake --build "$build/fuzz" -j"$jobs" ;;
    *) echo "build.sh: unknown tree $tree" >&2; exit 2 ;;
  esac
done
