#!/usr/bin/env bash
# The Windows packer under Wine and the Linux packer make byte-identical installers from the same
# inputs, branded ones too (PNG pictures decoded alike), and list them alike.
#
# Usage: same_output_test.sh WORK_DIR STUB HOST_QJXPACK WINE_RUN WINDOWS_QJXPACK SOURCE_DIR
set -euo pipefail
work=$1
stub=$2
host_qjxpack=$3
wine_run=$4
windows_qjxpack=$5
source_dir=$6

for needed in "$stub" "$host_qjxpack"; do
  if [ ! -f "$needed" ]; then
    echo "missing $needed: build the host and win32 trees side by side"
    exit 77
  fi
done
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# Nested folders, an empty folder and file, names beyond ASCII, a name with spaces, and
# names whose byte order differs from case-folded order.
mkdir -p $'in/Gr\xc3\xb6\xc3\x9fe' $'in/\xe6\x97\xa5\xe6\x9c\xac/empty' in/docs
head -c 70000 /dev/zero | tr '\0' x >in/Velmora.msi
echo de >in/Velmora_German.mst
echo ja >in/Velmora_Japanese.mst
: >in/docs/empty.txt
echo upper >in/docs/README.txt
echo lower >in/docs/a.txt
echo spaced >"in/docs/with space.txt"
echo accent >$'in/\xe6\x97\xa5\xe6\x9c\xac/caf\xc3\xa9.txt'
echo top >extra_top.txt
cp "$stub" stub.exe

"$host_qjxpack" create -o host.exe --stub stub.exe in/. extra_top.txt
"$wine_run" "$windows_qjxpack" create -o windows.exe --stub stub.exe in/. extra_top.txt </dev/null
cmp host.exe windows.exe

"$host_qjxpack" list --json host.exe | sed 's/host\.exe/X/' >host.json
"$wine_run" "$windows_qjxpack" list --json windows.exe </dev/null | tr -d '\r' |
  sed 's/windows\.exe/X/' >windows.json
diff host.json windows.json

/usr/bin/python3 "$source_dir/tests/packer/make_pictures.py" "$source_dir" vendor 222,204,170
mv in/Velmora.msi in/Korrin.msi
branding=(--product-name "Korrin Suite" --company "Korrin Läbs" --version 2.3.4.5
  --package Korrin.msi --icon vendor/qjxsea.ico --pictures vendor)
"$host_qjxpack" create -o host_branded.exe --stub stub.exe "${branding[@]}" in/.
"$wine_run" "$windows_qjxpack" create -o windows_branded.exe --stub stub.exe "${branding[@]}" \
  in/. </dev/null
cmp host_branded.exe windows_branded.exe

# A vendor's languages and caption, texts beyond ASCII through each system's command line.
echo fr >in/Korrin_fr.mst
languages=(--package Korrin.msi --language en=English --language $'fr=Fran\xc3\xa7ais'
  --transform fr=Korrin_fr.mst --language $'zh-Hans=\xe7\xae\x80\xe4\xbd\x93'
  --caption $'Choisissez \xe2\x80\x94 \xe8\xaf\xad\xe8\xa8\x80' --caption-colour 1F3A5C)
"$host_qjxpack" create -o host_languages.exe --stub stub.exe "${languages[@]}" in/.
"$wine_run" "$windows_qjxpack" create -o windows_languages.exe --stub stub.exe \
  "${languages[@]}" in/. </dev/null
cmp host_languages.exe windows_languages.exe
"$wine_run" "$windows_qjxpack" list --json windows_languages.exe </dev/null | tr -d '\r' |
  grep -qF $'"text": "\xe7\xae\x80\xe4\xbd\x93", "transform": null}], ' ||
  { echo "the Windows packer's list does not show the Chinese button's text"; exit 1; }
echo "same output: ok"
