#!/usr/bin/env bash
# Builds everything and runs every test: host units (ASan/UBSan), each Windows tree whose Wine
# architecture runs here under Wine (units, Win32 tests, end-to-end scenarios in Xvfb; x86 and x64
# where the machine runs both, each in its own prefix), the static checks of a Windows tree whose
# architecture does not run, and short fuzz runs. Prints one closing line per tree, then the total.
#
# Environment: BUILD_DIR (default ./build), QJX_WINE_ARCH=x86|x64 to run the Windows tests on one
# architecture only (default: every one whose Wine runs here), QJX_SKIP_FUZZ=1 to leave the fuzz
# tree out, CTEST_ARGS for extra ctest arguments (e.g. "-R Extract").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)
"$root/scripts/setup.sh"
# shellcheck source=scripts/wine_arch.sh
source "$root/scripts/wine_arch.sh"
BUILD_DIR="$build" "$root/scripts/build.sh"

# One display for the whole run; a prefix and a live wineserver for each architecture.
wine_session_trees=$QJX_WIN_TREES
# shellcheck source=scripts/wine_session.sh
source "$root/scripts/wine_session.sh"

status=0
passed=0
failed=0
skipped=0
summary=()
started=$SECONDS
for tree in host win32 win64 fuzz; do
  [ -f "$build/$tree/CTestTestfile.cmake" ] || continue
  [ "$tree" = fuzz ] && [ "${QJX_SKIP_FUZZ:-0}" = 1 ] && continue
  case $tree in
    win32) name=x86 ;;
    win64) name=x64 ;;
    *) name=$tree ;;
  esac
  [[ $tree == win* && " $QJX_WIN_TREES " != *" $tree "* ]] && name="$name (static checks only)"
  echo "=== ctest: $tree ($name)"
  log="$build/$tree/ctest.log"
  tree_started=$SECONDS
  # shellcheck disable=SC2086
  if ! ctest --test-dir "$build/$tree" --output-on-failure ${CTEST_ARGS:-} 2>&1 | tee "$log"; then
    status=1
  fi
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    nfail=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    skips=$(sed -nE 's/^\s*[0-9]+ - (.*) \(Skipped\)$/\1/p' "$log" | xargs)
    nskip=$(wc -w <<<"$skips")
    passed=$((passed + total - nfail - nskip))
    failed=$((failed + nfail))
    skipped=$((skipped + nskip))
    summary+=("$name: $((total - nfail - nskip)) passed, $nfail failed, $nskip skipped${skips:+ (skipped: ${skips// /, })}; $(((SECONDS - tree_started) / 60)) min")
  fi
done
echo
printf '%s\n' "${summary[@]}"
echo "run time: $(((SECONDS - started) / 60)) min of tests"
echo "total: $passed passed, $failed failed, $skipped skipped"
exit $status
