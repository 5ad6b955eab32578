#!/usr/bin/env bash
# Creates the project's Wine prefix once (idempotent): 32-bit, no Mono/Gecko prompts,
# Wine draws its own frames (no window manager runs under Xvfb).
set -euo pipefail
prefix=${1:?usage: wine_prefix.sh PREFIX}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
[ -f "$prefix/.qjx-ready" ] && exit 0
rm -rf "$prefix"
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f >/dev/null 2>&1
wineserver -w
touch "$prefix/.qjx-ready"
