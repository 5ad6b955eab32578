#!/usr/bin/env bash
# The command line: --help everywhere, --version, exit code 2 and one line on stderr for a bad command line,
# exit code 1 and one line for a bad input file.
# Usage: cli_test.sh WORK_DIR QJXPACK [ARG...]
set -uo pipefail
work=$1
shift
qjxpack=("$@")
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
failures=0

# expect STATUS ARGS...: runs the packer and checks its exit code; for failures, that stderr is
# one line starting with "qjxpack: error: ".
expect() {
  local want=$1
  shift
  local status=0
  "${qjxpack[@]}" "$@" >out.txt 2>err.txt </dev/null || status=$?
  tr -d '\r' <err.txt >err_lf.txt
  if [ "$status" -ne "$want" ]; then
    echo "FAIL: qjxpack $* exited $status, expected $want: $(cat err_lf.txt)"
    failures=$((failures + 1))
  elif [ "$want" -ne 0 ] && { [ "$(wc -l <err_lf.txt)" -ne 1 ] || ! grep -q '^qjxpack: error: ' err_lf.txt; }; then
    echo "FAIL: qjxpack $*: not one error line: $(cat err_lf.txt)"
    failures=$((failures + 1))
  fi
}

for command in "" create brand list verify extract; do
  # shellcheck disable=SC2086
  expect 0 $command --help
  grep -q "Usage:" out.txt || { echo "FAIL: no usage for '$command --help'"; failures=$((failures + 1)); }
done
expect 0 --help
tr -d '\r' <out.txt | grep -q "^  2  a bad command line" || { echo "FAIL: no exit codes in --help"; failures=$((failures + 1)); }
expect 0 --version
tr -d '\r' <out.txt | grep -qxE 'qjxpack [0-9]+\.[0-9]+(\.[0-9]+){0,2}' ||
  { echo "FAIL: --version printed: $(cat out.txt)"; failures=$((failures + 1)); }
expect 2
expect 2 frobnicate
expect 2 create in.txt
expect 2 create -o out.exe
expect 2 create --arch arm64 -o out.exe in.txt
expect 2 create --arch x64 --stub stub.exe -o out.exe in.txt
expect 2 list
expect 2 list a.exe b.exe
expect 2 verify --bogus a.exe
expect 2 extract a.exe
expect 2 brand --product-name X
expect 2 create -o out.exe --transform fr=X.mst in.txt
expect 2 create -o out.exe --transform de= in.txt
# says STRING: the last command's error line holds STRING.
says() {
  grep -qF -- "$1" err_lf.txt || { echo "FAIL: expected \"$1\" in: $(cat err_lf.txt)"; failures=$((failures + 1)); }
}
expect 2 pack in.txt
says "pack is not a command"
# A bad value is a bad command line, found before any file is read.
expect 2 create -o out.exe --version 3.2 missing.txt
says "--version 3.2: give four numbers"
expect 2 create -o out.exe --package "a b.msi" missing.txt
expect 2 create -o out.exe --product-name "" missing.txt
says "--product-name: the value is empty"
expect 2 brand -o out.exe --company ""
# A bad language value is a bad command line too (each refusal's text: the packer's units).
expect 2 create -o out.exe --language fr missing.txt
says "--language fr: give CODE=TEXT"
expect 2 brand -o out.exe --caption-colour red
says "--caption-colour red: give six hexadecimal digits"

echo "not an installer" >text.exe
# --transform takes one value: what follows is an input again.
expect 1 create -o out.exe --stub text.exe --transform ja=K_ja.mst text.exe
says "stub text.exe is not a Windows program"
expect 1 create -o out.exe --stub text.exe --language en=English --caption Hi text.exe
says "stub text.exe is not a Windows program"
# A link in a packed folder is refused, on Windows as a reparse point (Wine shows a folder link
# as one).
mkdir -p linked/real
echo x >linked/real/f.txt
ln -s real linked/alias
expect 1 create -o out.exe --stub text.exe linked/.
says "alias is a symbolic link"
expect 1 list text.exe
expect 1 list --json missing.exe
expect 1 verify text.exe
expect 1 extract text.exe out
expect 1 create -o Setup.exe --stub text.exe text.exe
# A subcommand's --version is the product's version, not the packer's.
expect 1 create -o Setup.exe --stub text.exe --version 1.2.3.4 text.exe
expect 1 brand -o Branded.exe --stub text.exe --product-name X
expect 2 brand -o Branded.exe --stub text.exe
[ ! -e out ] || { echo "FAIL: extract created its folder for a bad installer"; failures=$((failures + 1)); }
[ ! -e Setup.exe ] || { echo "FAIL: a failed create left Setup.exe"; failures=$((failures + 1)); }
[ ! -e Branded.exe ] || { echo "FAIL: a failed brand left Branded.exe"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "command line: ok"
exit $((failures != 0))
