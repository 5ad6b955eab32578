#!/usr/bin/env bash
# Holds the stub's import table to the DLLs it may use, and keeps functions newer than the oldest
# target systems out of it (those are looked up with GetProcAddress at run time).
set -euo pipefail
stub=${1:?usage: check_imports.sh qjxsea.exe}
allowed="advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll"
dump=$(i686-w64-mingw32-objdump -p "$stub")
status=0
dlls=$(grep -E '^\s*DLL Name:' <<<"$dump" | awk '{print tolower($3)}')
[ -n "$dlls" ] || { echo "no import table found in $stub"; exit 1; }
for dll in $dlls; do
  if ! grep -qw -- "$dll" <<<"$allowed"; then
    echo "not allowed: $dll"
    status=1
  fi
done
for newer in SetDefaultDllDirectories AddDllDirectory SetDllDirectoryA SetDllDirectoryW \
             GetTickCount64 _time64 _fseeki64 _ftelli64 _wfopen_s; do
  if grep -qE "^\s+[0-9a-f]+\s+[0-9]+\s+$newer\$" <<<"$dump"; then
    echo "imported directly, needs GetProcAddress: $newer"
    status=1
  fi
done
echo "imports: $(tr '\n' ' ' <<<"$dlls")"
exit $status
