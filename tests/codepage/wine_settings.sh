#!/bin/sh
# Adds or removes the Wine settings of the code-page tests.
# Usage: wine_settings.sh add|remove WINE_RUN
set -e
action=$1
wine_run=$2
for program in codepage_9x_tests.exe codepage_9x_ja_tests.exe codepage_9x_zh_tests.exe; do
  key="HKCU\\Software\\Wine\\AppDefaults\\$program"
  if [ "$action" = add ]; then
    "$wine_run" reg add "$key" /v Version /d win98 /f >/dev/null
  else
    "$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true
  fi
done
if [ "$action" = add ]; then
  "$wine_run" reg add 'HKCU\Software\Wine\DllOverrides' /v unicows /d native,builtin /f >/dev/null
else
  "$wine_run" reg delete 'HKCU\Software\Wine\DllOverrides' /v unicows /f >/dev/null 2>&1 || true
fi
