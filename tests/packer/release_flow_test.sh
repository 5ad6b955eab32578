#!/usr/bin/env bash
# The release flow end to end: create an installer, sign it with a throw-away self-signed
# certificate, check the signature and the structure, extract it, and (given a Wine runner) run
# the signed installer and compare what it extracted. A flipped payload byte must break the
# signature.
#
# Usage: release_flow_test.sh WORK_DIR STUB QJXPACK [ARG...]
#   QJXPACK [ARG...] is the packer's command (e.g. "wine_run.sh qjxpack.exe").
#   QJX_RUN_STUB=path/to/wine_run.sh also runs the signed installer under Wine.
set -euo pipefail
work=$1
stub=$2
shift 2
qjxpack=("$@")
run_stub=${QJX_RUN_STUB:-}

if [ ! -f "$stub" ]; then
  echo "no stub at $stub: build the win32 tree first"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A payload like the shipped one, plus a folder tree.
mkdir -p dist/docs/empty
head -c 300000 /dev/urandom >dist/Velmora.msi
echo German >dist/Velmora_German.mst
echo Japanese >dist/Velmora_Japanese.mst
: >dist/docs/empty.txt
echo readme >dist/docs/readme.txt

"${qjxpack[@]}" create -o Setup.exe --stub "$stub" --quiet dist/.
"${qjxpack[@]}" verify Setup.exe

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=QJX test signing" >/dev/null 2>&1
osslsigncode sign -certs cert.pem -key key.pem -n "QJX test" -in Setup.exe -out Signed.exe \
  >/dev/null
osslsigncode verify -CAfile cert.pem -in Signed.exe >verify.log 2>&1 ||
  fail "osslsigncode verify rejects the signed installer: $(tail -3 verify.log)"

# The certificate table follows the trailer directly: the payload is inside the signed region.
"${qjxpack[@]}" verify Signed.exe >qjx_verify.log || fail "qjxpack verify: $(cat qjx_verify.log)"
grep -q "the payload lies inside the signed region" qjx_verify.log ||
  fail "payload not reported inside the signed region: $(cat qjx_verify.log)"
"${qjxpack[@]}" list --json Signed.exe >list.json
read -r payload_offset table_offset < <(python3 -c '
import json, sys
listing = json.load(open("list.json"))
print(listing["trailer"]["payload_offset"], listing["signature"]["table_offset"])')
[ "$table_offset" -eq "$(($(stat -c %s Setup.exe)))" ] ||
  fail "certificate table at $table_offset, not right after the trailer"

"${qjxpack[@]}" extract Signed.exe extracted >/dev/null
diff -r dist extracted || fail "qjxpack extract differs from the input"

# Extracting again meets every name: refused, the file left as it is, unless overwriting. A
# symbolic link in a folder's place (under Wine: a reparse point) leads nowhere.
echo changed >extracted/docs/readme.txt
"${qjxpack[@]}" extract Signed.exe extracted >/dev/null 2>again.log && fail "a second extract succeeded"
tr -d '\r' <again.log | grep -q "exists already" || fail "second extract: $(cat again.log)"
[ "$(cat extracted/docs/readme.txt)" = changed ] || fail "a refused file was written"
"${qjxpack[@]}" extract --overwrite Signed.exe extracted >/dev/null
diff -r dist extracted || fail "qjxpack extract --overwrite differs from the input"
mkdir -p linked outside
ln -s ../outside linked/docs
"${qjxpack[@]}" extract Signed.exe linked >/dev/null 2>linked.log && fail "extracted through a link"
[ -z "$(ls -A outside)" ] || fail "files went through the link: $(ls -A outside)"

# One flipped payload byte breaks the signature.
cp Signed.exe Flipped.exe
python3 - "$((payload_offset + 100))" <<'PY'
import sys
offset = int(sys.argv[1])
with open("Flipped.exe", "r+b") as f:
    f.seek(offset)
    byte = f.read(1)[0]
    f.seek(offset)
    f.write(bytes([byte ^ 0x01]))
PY
if osslsigncode verify -CAfile cert.pem -in Flipped.exe >/dev/null 2>&1; then
  fail "osslsigncode verify accepts a flipped payload byte"
fi
# On Windows, verify also asks the system's signature check, which the stub obeys.
if grep -q "the system's signature check answers" qjx_verify.log; then
  grep -q "answers 0x00000000" qjx_verify.log || fail "intact installer: $(cat qjx_verify.log)"
  if "${qjxpack[@]}" verify Flipped.exe >flipped_verify.log 2>&1; then
    fail "qjxpack verify accepts a flipped payload byte: $(cat flipped_verify.log)"
  fi
  grep -q "the signature does not match the contents" flipped_verify.log ||
    fail "flipped byte not reported: $(cat flipped_verify.log)"
fi

if [ -n "$run_stub" ]; then
  # The signed installer, run quietly, extracts into a new folder under Wine's %TEMP%.
  temp_windows=$("$run_stub" cmd /c echo %TEMP% </dev/null | tr -d '\r')
  temp=$("$run_stub" winepath -u "$temp_windows" </dev/null | tr -d '\r')
  ls -d "$temp"/QJX* 2>/dev/null | sort >before.txt || true
  status=0
  timeout 120 "$run_stub" ./Signed.exe </dev/null >/dev/null 2>&1 || status=$?
  [ "$status" -eq 1 ] || fail "the signed installer exited with $status, not 1"
  ls -d "$temp"/QJX* 2>/dev/null | sort >after.txt || true
  created=$(comm -13 before.txt after.txt)
  [ "$(wc -l <<<"$created")" -eq 1 ] && [ -n "$created" ] ||
    fail "expected one new folder in $temp, found: $created"
  diff -r dist "$created" || fail "the stub's extraction differs from the input"
  rm -rf "$created"
fi
echo "release flow: ok"
