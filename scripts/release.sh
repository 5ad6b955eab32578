#!/usr/bin/env bash
# Builds the release artifacts from this source, so that nobody needs a toolchain to ship:
#   qjxpack_<version>_amd64.deb      qjxpack for Linux; the stubs in /usr/lib/qjxpack/x86|x64/;
#                                    the copyright file, changelog and manual page
#   qjxpack-<version>-windows.zip    the folder qjxpack-<version>: qjxpack.exe (x86), with
#                                    x86\qjxsea.exe and x64\qjxsea.exe, LICENSE, README.txt and
#                                    THIRD-PARTY-NOTICES.txt
# (cmake/packaging.cmake says what goes where, packaging/ holds the documents.)
# It configures and builds the win32, win64 and host trees itself (release settings, only what
# ships), packages with CPack, then does it all again in folders of other names and depths and
# under another umask, and compares: any difference fails. Only then are the artifacts put into
# QJX_RELEASE_DIR (default BUILD_DIR/release, BUILD_DIR default ./build) with SHA256SUMS, and
# their SHA-256 printed.
#
# Times in the archives are SOURCE_DATE_EPOCH (default: the time of the last commit), owners
# root, modes 755 (folders, programs) and 644.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)
out=${QJX_RELEASE_DIR:-$build/release}

BUILD_DIR="$build" "$root/scripts/setup.sh"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || {
    echo "release: not a git checkout: set SOURCE_DATE_EPOCH" >&2
    exit 1
  }
fi
if [ -n "$(git -C "$root" status --porcelain 2>/dev/null)" ]; then
  echo "release: note: the working tree has changes that are not committed"
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
jobs=$(nproc)

# build_trees DIR: the two stubs, the Windows packer beside the x86 one, the Linux packer
# without the build trees' stubs as its fallback.
build_trees() {
  local trees=$1 log=$1.log
  local common=(-DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DBUILD_TESTING=OFF)
  echo "release: building in $trees (log: $log)"
  mkdir -p "$trees"
  {
    cmake -S "$root" -B "$trees/win32" "${common[@]}" -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQJX_WINE_TESTS=OFF &&
      cmake --build "$trees/win32" -j"$jobs" --target qjxsea qjxpack &&
      cmake -S "$root" -B "$trees/win64" "${common[@]}" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DQJX_WINE_TESTS=OFF &&
      cmake --build "$trees/win64" -j"$jobs" --target qjxsea &&
      cmake -S "$root" -B "$trees/host" "${common[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DQJX_SANITIZE=OFF -DQJX_BUILD_TREE_STUBS=OFF &&
      cmake --build "$trees/host" -j"$jobs" --target qjxpack
  } >"$log" 2>&1 || { tail -30 "$log" >&2; echo "release: the build failed" >&2; exit 1; }
}

# package TREES DEST: the Debian package from the host tree, the zip from the win32 tree, each
# taking the other architecture's stub from the tree beside it.
package() {
  local trees=$1 dest=$2
  mkdir -p "$dest"
  for tree in host win32; do
    # CPack writes the Debian package's own members with the umask's modes, and the zip's
    # entries with the packer's user and group: fakeroot makes that root for everyone.
    (umask 022 && cd "$trees/$tree" && fakeroot cpack -B "$trees/cpack-$tree") \
      >>"$trees.log" 2>&1 ||
      { tail -30 "$trees.log" >&2; echo "release: packaging $tree failed" >&2; exit 1; }
    mv "$trees/cpack-$tree"/*.deb "$trees/cpack-$tree"/*.zip "$dest/" 2>/dev/null || true
  done
}

# Nothing of an earlier run stays to be taken for this one's.
rm -rf "$out"
work=$out.work
rm -rf "$work"
build_trees "$work/first"
package "$work/first" "$work/one"
(umask 027 && build_trees "$work/the/second/build" && package "$work/the/second/build" "$work/two")

mapfile -t artifacts < <(cd "$work/one" && ls)
[ ${#artifacts[@]} -eq 2 ] || { echo "release: not two artifacts: ${artifacts[*]}" >&2; exit 1; }
for artifact in "${artifacts[@]}"; do
  if ! cmp "$work/one/$artifact" "$work/two/$artifact"; then
    echo "release: FAIL: the two builds differ in $artifact (both kept in $work)" >&2
    exit 1
  fi
done
mv "$work/one" "$out"
(cd "$out" && sha256sum "${artifacts[@]}" >SHA256SUMS)
rm -rf "$work"
echo "release: both builds identical; artifacts in $out:"
cat "$out/SHA256SUMS"
