#!/usr/bin/env bash
# Static checks of the stub file, also where the machine cannot run it.
#   imports: the import table holds only the DLLs the stub may use, and no function newer than the
#            oldest target systems, nor one used on NT only that the 9x family may lack, nor one
#            that only windowed runs need (those are looked up with GetProcAddress at run time)
#   format:  a PE32 (x86) or PE32+ (x64) Windows GUI program within its size budget
#   linked:  by its link map (qjxsea.map beside it), the stub holds none of the third-party code
#            whose licence asks for a notice, so that installers carry no obligation: not
#            winpthreads, the C++ runtime, CLI11, stb_image, nor the MinGW-w64 runtime's gdtoa
#            number conversion (Lucent). The packer's map, given as PACKER_MAP, must show the
#            first three, or else the check would be blind. (stb_image's functions are static:
#            they show by name only in code built with -ffunction-sections, as the stub's is.)
# Usage: check_stub.sh imports|format|linked OBJDUMP qjxsea.exe x86|x64 [PACKER_MAP]
set -euo pipefail
mode=${1:?usage: check_stub.sh imports|format|linked OBJDUMP qjxsea.exe x86|x64 [PACKER_MAP]}
objdump=$2
stub=$3
arch=$4
dump=$("$objdump" -p "$stub")

check_imports() {
  local allowed="advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll"
  local status=0 dlls dll newer
  dlls=$(grep -E '^\s*DLL Name:' <<<"$dump" | awk '{print tolower($3)}')
  [ -n "$dlls" ] || { echo "no import table found in $stub"; exit 1; }
  for dll in $dlls; do
    if ! grep -qw -- "$dll" <<<"$allowed"; then
      echo "not allowed: $dll"
      status=1
    fi
  done
  for newer in SetDefaultDllDirectories AddDllDirectory SetDllDirectoryA SetDllDirectoryW \
               GetTickCount64 _time64 _fseeki64 _ftelli64 _wfopen_s SetFilePointerEx GetFileSizeEx \
               GetTempPathW GetShortPathNameW GetTempPath2A GetTempPath2W \
               SystemFunction036 CryptAcquireContextA CryptGenRandom CryptReleaseContext \
               OpenProcessToken GetTokenInformation InitializeAcl AddAce \
               InitializeSecurityDescriptor SetSecurityDescriptorDacl SetSecurityDescriptorControl \
               GetSecurityInfo GetProcessWindowStation GetUserObjectInformationA \
               GetCommandLineW InitCommonControls ShellExecuteExA ShellExecuteExW \
               SetSecurityDescriptorSacl GetVolumeInformationByHandleW GetVolumePathNameW \
               SetFileInformationByHandle GetFinalPathNameByHandleW GetLongPathNameW \
               ProcessIdToSessionId; do
    if grep -qE "^\s+[0-9a-f]+\s+[0-9]+\s+$newer\$" <<<"$dump"; then
      echo "imported directly, needs GetProcAddress: $newer"
      status=1
    fi
  done
  echo "imports: $(tr '\n' ' ' <<<"$dlls")"
  return $status
}

check_format() {
  # The budget catches a runtime or library linked in by mistake, which costs tens of KB. It
  # holds 64 KiB for the pictures of high display scales (the RLE8 2x set, about 43 KB) and the
  # code that draws at any scale, on top of 192 KiB (x86) and 224 KiB (x64) before them.
  local magic budget size status=0
  case $arch in
    x86) magic="010b	(PE32)" budget=$(((192 + 64) * 1024)) ;;
    x64) magic="020b	(PE32+)" budget=$(((224 + 64) * 1024)) ;;
    *) echo "unknown architecture $arch"; exit 2 ;;
  esac
  grep -qF "Magic			$magic" <<<"$dump" || { echo "not a $arch program: $(grep -m1 Magic <<<"$dump")"; status=1; }
  grep -qE '^Subsystem\s+00000002' <<<"$dump" || { echo "not a Windows GUI program"; status=1; }
  size=$(stat -c %s "$stub")
  [ "$size" -le "$budget" ] || { echo "$size bytes, over the budget of $budget"; status=1; }
  echo "$arch GUI program, $size bytes (budget $budget)"
  return $status
}

# linked_code MAP: one line per library member linked in ("libfoo.a(member.o)") and per input
# section of compiled code, which names the function (-ffunction-sections) and so shows
# header-only libraries.
linked_code() {
  sed -n '1,/^Discarded input sections/p' "$1" | grep -oE '[^/ ()]+\.a\([^)]*\)' | sort -u
  sed -n '/^Linker script and memory map/,$p' "$1" | grep -oE '^ \.text[$.][^ ]+' | sort -u
}

# Each third-party part whose notice the packer's zip carries, and how its code shows in a map.
THIRD_PARTY=(
  "winpthreads:(libpthread|libwinpthread)[^(]*\.a\("
  "the C++ runtime:lib(std|sup)c\+\+\.a\("
  "CLI11:_ZN3CLI|_ZNK3CLI"
  "stb_image:stbi_"
  "gdtoa:libmingwex\.a\([^)]*-(gdtoa|g_?_?[dfx]?fmt|gethex|[dgs]?misc|hd_init|hexnan|strto(dg|dnrp|f|px)|sum|ulp|mingw_pformat)\.o\)"
)

check_linked() {
  local map=${stub%.exe}.map packer_map=${5:-} code packer_code status=0 entry name pattern found
  [ -s "$map" ] || { echo "no link map $map"; exit 1; }
  code=$(linked_code "$map")
  [ "$(grep -c . <<<"$code")" -gt 20 ] || { echo "the map $map lists almost nothing"; exit 1; }
  for entry in "${THIRD_PARTY[@]}"; do
    name=${entry%%:*} pattern=${entry#*:}
    found=$(grep -E "$pattern" <<<"$code" | head -3 | tr '\n' ' ' || true)
    if [ -n "$found" ]; then
      echo "the stub holds $name: $found"
      status=1
    fi
  done
  if [ -n "$packer_map" ]; then
    packer_code=$(linked_code "$packer_map")
    for entry in "${THIRD_PARTY[@]:0:3}"; do
      name=${entry%%:*} pattern=${entry#*:}
      grep -qE "$pattern" <<<"$packer_code" ||
        { echo "the check is blind: the packer's map $packer_map shows no $name"; status=1; }
    done
  fi
  echo "linked into the stub: $(sed -E 's/^([^(]+)\(.*/\1/' <<<"$code" | grep '\.a$' | sort -u |
    tr '\n' ' ')"
  return $status
}

"check_$mode" "$@"
