#!/usr/bin/env bash
# The demo: builds the stub and its tools, packs the sample installer (a wixl package with German
# and Japanese transforms), runs it under Wine in Xvfb, clicks German, saves a screenshot of the
# language phase and prints where Wine's msiexec installed the product.
#
# Environment: BUILD_DIR (default ./build). The product stays installed in BUILD_DIR/wineprefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)

BUILD_DIR="$build" "$root/scripts/build.sh" win32

# shellcheck source=scripts/wine_session.sh
source "$root/scripts/wine_session.sh"

echo "demo: packing the sample installer and running it; German is clicked"
QJX_DEMO=1 QJX_BIN="$build/win32" QJX_E2E_BIN="$build/win32/tests/e2e" QJX_WORK="$build/demo" \
  QJX_SOURCE="$root" bash "$root/tests/e2e/e2e.sh" real_install
echo "demo: the installer that ran: $build/demo/real_install/Setup.exe"
