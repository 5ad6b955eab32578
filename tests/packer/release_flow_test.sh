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

# Every file create and brand write carries the checksum of its final bytes, as pefile computes
# it (in 32-bit words, unlike the packer), so that signing tools and loaders find it right.
"${qjxpack[@]}" create -o Branded.exe --stub "$stub" --quiet --product-name "Korrin" dist/. >/dev/null
"${qjxpack[@]}" brand -o BrandedStub.exe --stub "$stub" --product-name "Korrin" >/dev/null
"${qjxpack[@]}" create -o Rebranded.exe --stub BrandedStub.exe --quiet dist/. >/dev/null
python3 - Setup.exe Branded.exe BrandedStub.exe Rebranded.exe <<'PY' || fail "PE checksum"
import struct, sys
def pefile_checksum(data):
    at = struct.unpack_from("<I", data, 0x3C)[0] + 24 + 64
    padded = data + b"\0" * (-len(data) % 4)
    checksum = 0
    for i in range(len(padded) // 4):
        if i == at // 4:
            continue
        checksum = (checksum & 0xFFFFFFFF) + struct.unpack_from("<I", padded, i * 4)[0] + (checksum >> 32)
        if checksum > 2**32:
            checksum = (checksum & 0xFFFFFFFF) + (checksum >> 32)
    checksum = (checksum & 0xFFFF) + (checksum >> 16)
    checksum = (checksum + (checksum >> 16)) & 0xFFFF
    return checksum + len(data), struct.unpack_from("<I", data, at)[0]
bad = 0
for name in sys.argv[1:]:
    want, stored = pefile_checksum(open(name, "rb").read())
    if want != stored:
        print(f"{name}: CheckSum 0x{stored:x}, its bytes give 0x{want:x}")
        bad = 1
sys.exit(bad)
PY

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

# flip FILE OFFSET: changes one bit of one byte.
flip() {
  python3 - "$1" "$2" <<'PY'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(int(sys.argv[2]))
    byte = f.read(1)[0]
    f.seek(int(sys.argv[2]))
    f.write(bytes([byte ^ 0x01]))
PY
}
# One flipped payload byte breaks the signature.
cp Signed.exe Flipped.exe
flip Flipped.exe "$((payload_offset + 100))"
if osslsigncode verify -CAfile cert.pem -in Flipped.exe >/dev/null 2>&1; then
  fail "osslsigncode verify accepts a flipped payload byte"
fi
if grep -q "the system's signature check answers" qjx_verify.log; then
  # On Windows, verify asks the system's signature check, which the stub obeys.
  grep -q "answers 0x00000000" qjx_verify.log || fail "intact installer: $(cat qjx_verify.log)"
  if "${qjxpack[@]}" verify Flipped.exe >flipped_verify.log 2>&1; then
    fail "qjxpack verify accepts a flipped payload byte: $(cat flipped_verify.log)"
  fi
  grep -q "the signature does not match the contents" flipped_verify.log ||
    fail "flipped byte not reported: $(cat flipped_verify.log)"
else
  # Elsewhere qjxpack checks the digests itself: SHA-256 and SHA-1, a nested signature, the
  # signer's own signature, and with --ca the chain.
  grep -q "signature 1: SHA256 image hash matches, the signer's signature verifies" qjx_verify.log ||
    fail "signature not checked: $(cat qjx_verify.log)"
  osslsigncode sign -h sha1 -certs cert.pem -key key.pem -in Setup.exe -out Sha1.exe >/dev/null
  osslsigncode sign -nest -h sha256 -certs cert.pem -key key.pem -in Sha1.exe -out Dual.exe \
    >/dev/null
  "${qjxpack[@]}" verify --ca cert.pem Dual.exe >dual.log 2>&1 || fail "dual signature: $(cat dual.log)"
  grep -q "signature 1: SHA1 image hash matches" dual.log &&
    grep -q "signature 1, nested signature 1: SHA256 image hash matches.*leads to cert.pem" dual.log ||
    fail "dual signature: $(cat dual.log)"
  # The CheckSum field lies outside the hash: changing it keeps the signature.
  cp Signed.exe Checksum.exe
  flip Checksum.exe "$(python3 -c 'import struct; print(struct.unpack_from("<I", open("Setup.exe","rb").read(64), 0x3C)[0] + 88)')"
  "${qjxpack[@]}" verify Checksum.exe >/dev/null 2>&1 || fail "a changed CheckSum breaks verify"

  # refused STATUS_TEXT FILE [OPTION...]: verify and extract both refuse it with that text.
  refused() {
    local text=$1 file=$2
    shift 2
    "${qjxpack[@]}" verify "$@" "$file" >/dev/null 2>refused.log && fail "verify accepts $file"
    grep -q "$text" refused.log || fail "$file: $(cat refused.log)"
    rm -rf refused_out
    "${qjxpack[@]}" extract "$@" "$file" refused_out >/dev/null 2>refused.log &&
      fail "extract accepts $file"
    grep -q "nothing extracted: .*$text" refused.log || fail "$file: $(cat refused.log)"
    [ -z "$(ls -A refused_out 2>/dev/null)" ] || fail "$file: files were extracted"
  }
  refused "SHA256 image hash is not the signed one: damaged after signing" Flipped.exe
  cp Sha1.exe Sha1Flipped.exe
  flip Sha1Flipped.exe "$((payload_offset + 100))"
  refused "SHA1 image hash is not the signed one: damaged after signing" Sha1Flipped.exe
  # A byte of the DOS header's message: the headers are signed too.
  cp Signed.exe Header.exe
  flip Header.exe 80
  refused "damaged after signing" Header.exe
  # The signer's signature value, the last bytes of the PKCS#7 structure.
  cp Signed.exe Signer.exe
  flip Signer.exe "$(python3 -c '
import struct
data = open("Signed.exe", "rb").read()
der = '"$table_offset"' + 8
print(der + 4 + struct.unpack_from(">H", data, der + 2)[0] - 5)')"
  refused "the signer's signature over its attributes does not verify" Signer.exe
  openssl req -x509 -newkey rsa:2048 -nodes -keyout other_key.pem -out other.pem -days 2 \
    -subj "/CN=QJX other" >/dev/null 2>&1
  refused "does not lead to a certificate in other.pem" Signed.exe --ca other.pem
  # Data appended after signing lies outside what the signature covers.
  cp Signed.exe Appended.exe
  head -c 5000 /dev/urandom >>Appended.exe
  "${qjxpack[@]}" verify Appended.exe >/dev/null 2>appended.log && fail "verify accepts appended data"
  "${qjxpack[@]}" extract Appended.exe appended_out >/dev/null 2>>appended.log &&
    fail "extract accepts appended data"
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
