#!/usr/bin/env bash
# What the stub's signature check costs: the same 256 MiB installer, unsigned (no check) and
# signed (the system reads the whole file once more before extracting), run quietly under Wine
# in turn. Prints the median times and the check's share of the extraction.
#
# Usage: BUILD_DIR=build bench/signature_bench.sh [rounds] [MiB]   (needs the win32 tree)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${BUILD_DIR:-$root/build}" && pwd)
rounds=${1:-5}
mib=${2:-256}
bin=$build/win32
[ -f "$bin/startup/qjxsea.exe" ] || { echo "build the win32 tree first" >&2; exit 1; }
work=$build/signature_bench
rm -rf "$work"
mkdir -p "$work/dist"
cd "$work"

# shellcheck source=scripts/wine_session.sh
source "$root/scripts/wine_session.sh"

head -c $((mib << 20)) /dev/urandom >dist/package.msi
wine "$bin/tools/qjxpack.exe" create -o Unsigned.exe --stub "$bin/startup/qjxsea.exe" --quiet \
  dist/. </dev/null >/dev/null
rm -rf dist
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=QJX bench signing" >/dev/null 2>&1
osslsigncode sign -certs cert.pem -key key.pem -in Unsigned.exe -out Signed.exe >/dev/null

temp=$(wine winepath -u "$(wine cmd /c echo %TEMP% </dev/null | tr -d '\r')" </dev/null | tr -d '\r')
# run INSTALLER: seconds for one quiet run; the folder it extracted is removed afterwards.
run() {
  ls -d "$temp"/QJX* 2>/dev/null | sort >before.txt || true
  local start end
  start=$(date +%s.%N)
  wine "./$1" </dev/null >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  ls -d "$temp"/QJX* 2>/dev/null | sort >after.txt || true
  local created
  created=$(comm -13 before.txt after.txt)
  [ -n "$created" ] && [ -f "$created/package.msi" ] || { echo "$1 extracted nothing" >&2; exit 1; }
  rm -rf "$created"
  awk -v s="$start" -v e="$end" 'BEGIN {printf "%.3f\n", e - s}'
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

run Signed.exe >/dev/null # warm the page cache and Wine
: >unsigned.txt
: >signed.txt
for _ in $(seq 1 "$rounds"); do
  run Unsigned.exe >>unsigned.txt
  run Signed.exe >>signed.txt
done
plain=$(median <unsigned.txt)
checked=$(median <signed.txt)
echo "unsigned (no check): $(tr '\n' ' ' <unsigned.txt)-> median $plain s"
echo "signed (checked):    $(tr '\n' ' ' <signed.txt)-> median $checked s"
awk -v p="$plain" -v c="$checked" -v m="$mib" \
  'BEGIN {printf "the check adds %.2f s for %d MiB: %.2f of the extraction time\n", c - p, m, (c - p) / p}'
rm -f Unsigned.exe Signed.exe
