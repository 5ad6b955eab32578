#!/usr/bin/env bash
# Idempotent machine set-up: the apt packages both builds and the tests need.
# The Wine prefix is made separately (scripts/wine_prefix.sh) inside the build tree.
set -euo pipefail

PACKAGES=(
  cmake make g++ clang libclang-rt-14-dev libfuzzer-14-dev clang-tidy cppcheck
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  googletest libgtest-dev libcli11-dev
  wine wine32:i386 wine64 xvfb x11-utils imagemagick
  /usr/bin/python3 python3-pil fonts-ipafont-gothic fonts-dejavu-core
  msitools wixl osslsigncode openssl
  locales
)

missing=()
for p in "${PACKAGES[@]}"; do
  case "$p" in
    /*) [ -x "$p" ] || missing+=(python3) ;;
    *) dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p") ;;
  esac
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
