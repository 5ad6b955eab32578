#!/usr/bin/env bash
# Creates the project's Wine prefix once (idempotent) for the environment's WINEARCH (win32 or
# win64, from a tree's wine_env.sh): no Mono/Gecko prompts, Wine draws its own frames (no window
# manager runs under Xvfb).
set -euo pipefail
prefix=${1:?usage: wine_prefix.sh PREFIX}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEPREFIX="$prefix" WINEARCH=${WINEARCH:?} WINEDEBUG=-all
[ -f "$prefix/.qjx-ready" ] && exit 0
rm -rf "$prefix"
# A win64 prefix warns about the missing 32-bit programs; that is harmless here. The registry
# files appear once the server has written them.
booted=0
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" wineboot -i >"$prefix.log" 2>&1 || booted=$?
wineserver -w
if [ $booted -ne 0 ] || [ ! -f "$prefix/system.reg" ]; then
  echo "wine_prefix.sh: wineboot could not create the $WINEARCH prefix $prefix (exit code $booted):" >&2
  tail -5 "$prefix.log" >&2
  exit 1
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f >/dev/null 2>&1
wineserver -w
rm -f "$prefix.log"
touch "$prefix/.qjx-ready"
