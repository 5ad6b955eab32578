#!/usr/bin/env bash
# Idempotent machine set-up: the apt packages both builds and the tests need.
# The Wine prefix is made separately (scripts/wine_prefix.sh) inside the build tree.
#
# Required packages are installed together; when that fails, the one apt cannot install is named
# with apt's own words and set-up stops. Optional packages (32-bit Wine, the benchmark's peer)
# are tried one by one afterwards: one that cannot be had is reported in one line and what needs
# it skips. A failed optional install is remembered in the build tree (BUILD_DIR, default
# ./build) with its time and apt's message, and not tried again for an hour unless
# QJX_SETUP_RETRY=1 asks for it, so that every script calling set-up does not repeat it.
# An index that apt-get update cannot fetch (a mirror mid-sync) is retried, then left out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
marker="$build/setup-optional-failed"

PACKAGES=(
  cmake make g++ clang libclang-rt-14-dev libfuzzer-14-dev clang-tidy cppcheck
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  googletest libgtest-dev libcli11-dev libstb-dev
  wine wine64 xvfb x11-utils imagemagick
  /usr/bin/python3 python3-pil fonts-ipafont-gothic fonts-dejavu-core
  fonts-wqy-zenhei fonts-kacst
  msitools wixl osslsigncode openssl libssl-dev dpkg-dev fakeroot icoutils
  locales
  lintian
)
# wine32:i386 runs the 32-bit stub (without it the x64 path is used); nsis is the peer of the
# Wine benchmark.
OPTIONAL=(wine32:i386 nsis)
RETRY_AFTER_SECONDS=3600
UPDATE_TRIES=${QJX_SETUP_UPDATE_TRIES:-3}
UPDATE_PAUSE=${QJX_SETUP_UPDATE_PAUSE:-10}

installed() {
  case "$1" in
    /*) [ -x "$1" ] ;;
    *) dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' ;;
  esac
}
apt_name() { case "$1" in /usr/bin/python3) echo python3 ;; *) echo "$1" ;; esac; }

missing=()
for p in "${PACKAGES[@]}"; do installed "$p" || missing+=("$(apt_name "$p")"); done
optional=()
for p in "${OPTIONAL[@]}"; do installed "$p" || optional+=("$p"); done

# A failed optional install younger than an hour is not repeated.
if [ ${#optional[@]} -gt 0 ] && [ "${QJX_SETUP_RETRY:-0}" != 1 ] && [ -f "$marker" ]; then
  age=$(($(date +%s) - $(stat -c %Y "$marker")))
  if [ "$age" -lt "$RETRY_AFTER_SECONDS" ]; then
    left=()
    for p in "${optional[@]}"; do
      line=$(grep -m1 -F "$p: " "$marker" || true)
      if [ -n "$line" ]; then
        echo "setup: optional package $line (tried $((age / 60)) min ago;" \
          "QJX_SETUP_RETRY=1 tries again)"
      else
        left+=("$p")
      fi
    done
    optional=(${left[@]+"${left[@]}"})
  fi
fi
[ ${#missing[@]} -eq 0 ] && [ ${#optional[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# A mirror mid-sync serves an index of the wrong size for a while: try again, then go on with
# the indexes apt has.
out=""
for try in $(seq 1 "$UPDATE_TRIES"); do
  if out=$($SUDO apt-get update -qq 2>&1); then out=""; break; fi
  [ "$try" -lt "$UPDATE_TRIES" ] && sleep "$UPDATE_PAUSE"
done
if [ -n "$out" ]; then
  failed_index=$(grep -oE 'Failed to fetch [^ ]+' <<<"$out" | sed 's/^Failed to fetch //' | sort -u |
    paste -sd' ' || true)
  echo "setup: apt-get update failed $UPDATE_TRIES times; going on with the indexes apt has." \
    "Failed: ${failed_index:-$(head -1 <<<"$out")}"
fi

# apt's first error line, or its last line when it printed no error line.
apt_error() { grep -m1 '^E:' <<<"$1" || tail -1 <<<"$1"; }

if [ ${#missing[@]} -gt 0 ]; then
  if ! out=$($SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" 2>&1); then
    echo "$out" >&2
    for p in "${missing[@]}"; do
      if ! one=$($SUDO apt-get install -y -qq --no-install-recommends "$p" 2>&1); then
        echo "setup: required package $p cannot be installed: $(apt_error "$one")" >&2
        exit 1
      fi
    done
    echo "setup: the required packages failed together but each installed alone: " \
      "$(apt_error "$out")" >&2
  fi
fi

failures=""
for p in "${optional[@]}"; do
  if ! out=$($SUDO apt-get install -y -qq --no-install-recommends "$p" 2>&1); then
    line="$p: not installed: $(apt_error "$out")"
    [ "$p" = wine32:i386 ] && line+="; the x64 path (64-bit Wine, the x64 stub) will be used"
    echo "setup: optional package $line"
    failures+="$line"$'\n'
  fi
done
if [ -n "$failures" ]; then
  mkdir -p "$build"
  printf '%s%s\n' "$failures" "# tried $(date -u +%FT%TZ)" >"$marker"
elif [ ${#optional[@]} -gt 0 ]; then
  rm -f "$marker"
fi
exit 0
