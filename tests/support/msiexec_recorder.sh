#!/usr/bin/env bash
# Swaps the Wine prefix's msiexec.exe for the recorder, or removes it, and puts the original back.
#   msiexec_recorder.sh install RECORDER.exe   recorder in place, record file emptied
#   msiexec_recorder.sh remove                 no msiexec.exe at all (a refused start)
#   msiexec_recorder.sh restore                the original back, override dropped
#   msiexec_recorder.sh record                 prints the record file's Unix path (command lines)
#   msiexec_recorder.sh program                prints the file naming the recorder programs run
#   msiexec_recorder.sh done                   prints the file a recorder writes when it ends
# Needs WINEPREFIX. A win32 prefix runs a replaced system32\msiexec.exe only with the DllOverrides
# value msiexec.exe=native. Tests using this hold the CTest RESOURCE_LOCK "msiexec" and restore.
set -euo pipefail
prefix=${WINEPREFIX:?WINEPREFIX is not set}
system32=$prefix/drive_c/windows/system32
original=$system32/msiexec.exe.qjx-original
record=$prefix/drive_c/msiexec_record.txt
program=$prefix/drive_c/msiexec_record_program.txt
done_file=$prefix/drive_c/msiexec_record_done.txt
key='HKCU\Software\Wine\DllOverrides'

backup() { [ -f "$original" ] || cp -p "$system32/msiexec.exe" "$original"; }
native() { wine reg add "$key" /v msiexec.exe /d native /f >/dev/null 2>&1; }

case "${1:-}" in
  install)
    backup
    cp "${2:?recorder program missing}" "$system32/msiexec.exe"
    native
    rm -f "$record" "$program" "$done_file"
    ;;
  remove)
    backup
    rm -f "$system32/msiexec.exe"
    native
    ;;
  restore)
    if [ -f "$original" ]; then mv -f "$original" "$system32/msiexec.exe"; fi
    wine reg delete "$key" /v msiexec.exe /f >/dev/null 2>&1 || true
    rm -f "$record" "$program" "$done_file"
    ;;
  record) echo "$record" ;;
  program) echo "$program" ;;
  done) echo "$done_file" ;;
  *) echo "usage: $0 install RECORDER.exe | remove | restore | record | program" >&2; exit 2 ;;
esac
