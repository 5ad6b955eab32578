#!/usr/bin/env bash
# The demo: builds the stub and its tools, packs the sample installer (a wixl package with German
# and Japanese transforms) under a vendor's brand with the packer alone (product "Korrin Suite",
# the package and transforms renamed Korrin.msi, Korrin_de.mst, Korrin_ja.mst), runs it under
# Wine in Xvfb, clicks German, saves a screenshot of the language phase and prints where Wine's
# msiexec installed the product. Then the same install unattended, as a deployment tool runs it:
# Setup.exe /SeaQuiet /SeaLang:de /qn.
#
# Environment: BUILD_DIR (default ./build), QJX_WINE_ARCH=x86|x64 as for test.sh. The product
# stays installed in the prefix: BUILD_DIR/wineprefix (x86) or BUILD_DIR/wineprefix64 (x64).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)

"$root/scripts/setup.sh"
# shellcheck source=scripts/wine_arch.sh
source "$root/scripts/wine_arch.sh"
BUILD_DIR="$build" "$root/scripts/build.sh" "$QJX_WIN_TREE"

# shellcheck source=scripts/wine_session.sh
source "$root/scripts/wine_session.sh"

echo "demo: packing the sample installer as \"Korrin Suite\" and running it; German is clicked"
brand="Korrin Suite" QJX_DEMO=1 QJX_BIN="$build/$QJX_WIN_TREE" QJX_E2E_BIN="$build/$QJX_WIN_TREE/tests/e2e" QJX_WORK="$build/demo" \
  QJX_SOURCE="$root" bash "$root/tests/e2e/e2e.sh" real_install
echo "demo: the installer that ran: $build/demo/real_install/Setup.exe"
echo "demo: the same installer unattended: Setup.exe /SeaQuiet /SeaLang:de /qn"
brand="Korrin Suite" QJX_DEMO=1 QJX_BIN="$build/$QJX_WIN_TREE" QJX_E2E_BIN="$build/$QJX_WIN_TREE/tests/e2e" \
  QJX_WORK="$build/demo" QJX_SOURCE="$root" bash "$root/tests/e2e/e2e.sh" real_install_unattended
