#!/usr/bin/env bash
# Builds everything and runs every test: host units (ASan/UBSan), the Windows tree of the Wine
# architecture in use under Wine (units, Win32 tests, end-to-end scenarios in Xvfb), the static
# checks of the other Windows tree, and short fuzz runs.
#
# Environment: BUILD_DIR (default ./build), QJX_WINE_ARCH=x86|x64 to choose the Wine
# architecture (default: x86 where the machine runs 32-bit Wine, else x64), QJX_SKIP_FUZZ=1 to
# leave the fuzz tree out, CTEST_ARGS for extra ctest arguments (e.g. "-R Extract").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)
"$root/scripts/setup.sh"
# shellcheck source=scripts/wine_arch.sh
source "$root/scripts/wine_arch.sh"
BUILD_DIR="$build" "$root/scripts/build.sh"

# One display, one prefix and one live wineserver for the whole run.
# shellcheck source=scripts/wine_session.sh
source "$root/scripts/wine_session.sh"

status=0
passed=0
failed=0
skipped=0
for tree in host win32 win64 fuzz; do
  [ -f "$build/$tree/CTestTestfile.cmake" ] || continue
  [ "$tree" = fuzz ] && [ "${QJX_SKIP_FUZZ:-0}" = 1 ] && continue
  echo "=== ctest: $tree"
  log="$build/$tree/ctest.log"
  # shellcheck disable=SC2086
  if ! ctest --test-dir "$build/$tree" --output-on-failure ${CTEST_ARGS:-} 2>&1 | tee "$log"; then
    status=1
  fi
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    nfail=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    nskip=$(grep -cE '^\s*[0-9]+ - .* \(Skipped\)$' "$log" || true)
    passed=$((passed + total - nfail - nskip))
    failed=$((failed + nfail))
    skipped=$((skipped + nskip))
  fi
done
echo
echo "total: $passed passed, $failed failed, $skipped skipped"
exit $status
