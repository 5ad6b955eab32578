#!/usr/bin/env bash
# Installs what the builds need and builds the given trees (default: host, win32, win64 and,
# unless QJX_SKIP_FUZZ=1, fuzz) under BUILD_DIR (default ./build).
# The Windows trees of the Wine architectures in use (scripts/wine_arch.sh) build their tests too;
# a tree whose architecture Wine does not run here builds the stub and the packer and only checks
# the files.
# Usage: build.sh [host] [win32] [win64] [fuzz]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)
jobs=$(nproc)
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(host win32 win64 fuzz)

"$root/scripts/setup.sh"
# shellcheck source=scripts/wine_arch.sh
source "$root/scripts/wine_arch.sh"

windows_tree() { # TREE TOOLCHAIN
  local wine_tests=OFF
  [[ " $QJX_WIN_TREES " == *" $1 "* ]] && wine_tests=ON
  cmake -S "$root" -B "$build/$1" -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2.cmake" -DQJX_WINE_TESTS=$wine_tests >/dev/null
  cmake --build "$build/$1" -j"$jobs"
}

for tree in "${trees[@]}"; do
  case $tree in
    host)
      cmake -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
      cmake --build "$build/host" -j"$jobs" ;;
    win32) windows_tree win32 mingw-i686 ;;
    win64) windows_tree win64 mingw-x86_64 ;;
    fuzz)
      [ "${QJX_SKIP_FUZZ:-0}" != 1 ] || continue
      cmake -S "$root" -B "$build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQJX_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
      cmake --build "$build/fuzz" -j"$jobs" ;;
    *) echo "build.sh: unknown tree $tree" >&2; exit 2 ;;
  esac
done
