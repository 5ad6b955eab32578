#!/usr/bin/env bash
# The release artifacts as a user gets them. scripts/release.sh builds them twice from this
# source and fails on any difference; then: both archives hold exactly the packer, stripped, the
# two stubs (each of its architecture) and their documents (the zip in one folder
# qjxpack-VERSION with the licence, a readme and the third parties' notices; the Debian package
# with its copyright file, changelog and manual page, compressed without name or time), with
# the commit's time, owner root and the usual modes; lintian, where installed, finds nothing to
# report; and the packer of the Debian package, unpacked anywhere, finds its stubs with --arch
# and names where it looked when one is missing (no path of the build machine among them).
# The zip's qjxpack.exe is x86 and is not run here; its lookup is the unit tests' (under Wine).
# Usage: release_artifacts_test.sh SOURCE BUILD_DIR WORK
set -euo pipefail
source_dir=${1:?source} build_dir=${2:?build folder} work=${3:?work folder}
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

QJX_RELEASE_DIR="$work/release" BUILD_DIR="$build_dir" "$source_dir/scripts/release.sh" \
  >release.log 2>&1 || fail "release.sh: $(tail -20 release.log)"
(cd release && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
while read -r line; do
  grep -qxF "$line" release.log || fail "release.sh did not print: $line"
done <release/SHA256SUMS
deb=$(echo release/*.deb)
zip=$(echo release/*.zip)

# Names, machines, times, owners and modes, as the archives hold them, and the documents each
# carries: the licence, the third parties' notices, the changelog and the manual page.
/usr/bin/python3 - "$deb" "$zip" "$(git -C "$source_dir" log -1 --format=%ct)" "$source_dir" \
  <<'PY' ||
import gzip, io, re, struct, subprocess, sys, tarfile, time, zipfile
deb, zip_path, epoch, source = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
I386, AMD64 = 0x14C, 0x8664
version = re.search(r"qjxpack_([^_]+)_amd64\.deb$", deb).group(1)

def read(name):
    with open(source + "/" + name, "rb") as f:
        return f.read()

def machine(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
    return struct.unpack_from("<H", data, pe + 4)[0]

def pe_stripped(data):
    """No COFF symbol table and no section with a long name (.debug_*, which need it)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    symbols, count = struct.unpack_from("<II", data, pe + 12)
    sections, header = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from(
        "<H", data, pe + 20)[0]
    names = [data[pe + 24 + header + 40 * i:][:8].rstrip(b"\0") for i in range(sections)]
    return symbols == 0 and count == 0 and not any(
        n.startswith(b"/") or n.startswith(b".debug") for n in names)

def elf_stripped(data):
    """No .symtab and no .debug_* section."""
    shoff, = struct.unpack_from("<Q", data, 0x28)
    size, count, names_index = struct.unpack_from("<HHH", data, 0x3A)
    def header(i):
        return struct.unpack_from("<IIQQQQ", data, shoff + i * size)
    names_at = header(names_index)[4]
    names = [data[names_at + header(i)[0]:].split(b"\0")[0] for i in range(count)]
    return b".symtab" not in names and not any(n.startswith(b".debug") for n in names)

def plain_gzip(where, data):
    """gzip -n: no name, no time, so that two builds compress alike."""
    check(where, "gzip header", (data[:3], data[3] & 0x08, data[4:8]),
          (b"\x1f\x8b\x08", 0, b"\0\0\0\0"))
    return gzip.decompress(data).decode()

def check(where, mode, got, want):
    assert got == want, "%s: %s is %r, not %r" % (where, mode, got, want)

tar = tarfile.open(fileobj=io.BytesIO(subprocess.run(
    ["dpkg-deb", "--fsys-tarfile", deb], check=True, capture_output=True).stdout))
files = {}
for member in tar.getmembers():
    name = member.name.lstrip("./")
    for field, want in (("owner", (0, 0, "root", "root")), ("time", epoch),
                        ("mode", 0o755 if member.isdir() or name == "usr/bin/qjxpack" else 0o644)):
        got = {"owner": (member.uid, member.gid, member.uname, member.gname),
               "time": member.mtime, "mode": member.mode}[field]
        check("deb " + name, field, got, want)
    if member.isfile():
        files[name] = tar.extractfile(member).read()
check("deb", "the file list", sorted(files), [
    "usr/bin/qjxpack", "usr/lib/qjxpack/x64/qjxsea.exe", "usr/lib/qjxpack/x86/qjxsea.exe",
    "usr/share/doc/qjxpack/changelog.gz", "usr/share/doc/qjxpack/copyright",
    "usr/share/man/man1/qjxpack.1.gz"])
check("deb usr/bin/qjxpack", "stripped", elf_stripped(files["usr/bin/qjxpack"]), True)
check("deb", "copyright", files["usr/share/doc/qjxpack/copyright"],
      read("packaging/debian/copyright"))
changelog = plain_gzip("deb changelog", files["usr/share/doc/qjxpack/changelog.gz"])
check("deb changelog", "newest entry", changelog.split(")")[0], "qjxpack (" + version)
page = plain_gzip("deb manual page", files["usr/share/man/man1/qjxpack.1.gz"])
check("deb manual page", "title", re.search(r'^\.TH QJXPACK 1 "[^"]+" "qjxpack ([^"]+)"', page,
                                            re.M).group(1), version)

dos_time = time.gmtime(epoch - epoch % 2)[:6]
archive = zipfile.ZipFile(zip_path)
top = "qjxpack-%s/" % version
check("zip", "the name list", sorted(archive.namelist()), [top] + [top + name for name in (
    "LICENSE", "README.txt", "THIRD-PARTY-NOTICES.txt", "qjxpack.exe", "x64/", "x64/qjxsea.exe",
    "x86/", "x86/qjxsea.exe")])
for info in archive.infolist():
    check("zip " + info.filename, "time", info.date_time, dos_time)
    check("zip " + info.filename, "mode", info.external_attr >> 16,
          0o40755 if info.is_dir() else 0o100755 if info.filename == top + "qjxpack.exe" else
          0o100644)
    extra, owner = info.extra, None
    while extra:
        kind, size = struct.unpack_from("<HH", extra)
        if kind == 0x7875:  # Unix owner: version, then size and value of uid and of gid
            owner = extra[4:4 + size]
        extra = extra[4 + size:]
    check("zip " + info.filename, "owner", owner, bytes([1, 4, 0, 0, 0, 0, 4, 0, 0, 0, 0]))

# Texts for Notepad: CRLF line ends throughout.
check("zip LICENSE", "text", archive.read(top + "LICENSE"),
      read("LICENSE").replace(b"\n", b"\r\n"))
readme = archive.read(top + "README.txt")
notices = archive.read(top + "THIRD-PARTY-NOTICES.txt")
for name, text in (("README.txt", readme), ("THIRD-PARTY-NOTICES.txt", notices)):
    check("zip " + name, "bare line feeds", text.count(b"\n"), text.count(b"\r\n"))
check("zip README.txt", "first line", readme.split(b"\r\n")[0],
      b"qjxpack %s for Windows" % version.encode())
for part in (b"CLI11", b"stb_image", b"winpthreads", b"MinGW-w64 runtime"):
    check("zip THIRD-PARTY-NOTICES.txt", b"names " + part, part in notices, True)

packer = archive.read(top + "qjxpack.exe")
check("zip qjxpack.exe", "machine", machine(packer), I386)
check("zip qjxpack.exe", "stripped", pe_stripped(packer), True)
for arch, want in (("x86", I386), ("x64", AMD64)):
    stub = archive.read(top + arch + "/qjxsea.exe")
    check("zip " + arch, "machine", machine(stub), want)
    check("deb " + arch, "stub", files["usr/lib/qjxpack/%s/qjxsea.exe" % arch] == stub, True)
PY
  fail "the archives' contents"

# Debian's own check of the package, errors and warnings alike, where lintian is installed.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --tag-display-limit 0 "$deb" >lintian.log 2>&1 ||
    fail "lintian: $(grep -v 'root privileges' lintian.log)"
  lintian_note="lintian clean"
else
  lintian_note="lintian not installed"
fi

# The Debian package unpacked into a folder of its own: its packer finds the stubs beside it.
dpkg-deb -x "$deb" unpacked
qjxpack=$work/unpacked/usr/bin/qjxpack
mkdir dist
# The package and the transforms its buttons start: create refuses a payload without them.
for name in Velmora.msi Velmora_German.mst Velmora_Japanese.mst; do echo "$name" >"dist/$name"; done
for arch in x86 x64; do
  stub=unpacked/usr/lib/qjxpack/$arch/qjxsea.exe
  "$qjxpack" create --arch "$arch" -o "$arch.exe" dist/. >create.log 2>&1 ||
    fail "create --arch $arch: $(cat create.log)"
  # The installer's stub is the shipped one apart from the payload's digest and the checksum.
  "$qjxpack" verify --stub "$stub" "$arch.exe" >verify.log 2>&1 ||
    fail "$arch.exe is not made of $stub: $(cat verify.log)"
done
"$qjxpack" create -o default.exe dist/. >create.log 2>&1 || fail "create: $(cat create.log)"
cmp default.exe x86.exe || fail "the default stub is not the x86 one"

rm unpacked/usr/lib/qjxpack/x64/qjxsea.exe
status=0
"$qjxpack" create --arch x64 -o none.exe dist/. >create.log 2>&1 || status=$?
places="$work/unpacked/usr/bin/x64/qjxsea.exe, $work/unpacked/usr/lib/qjxpack/x64/qjxsea.exe"
if [ "$status" -ne 1 ] || [ -e none.exe ]; then fail "create without the x64 stub: exit $status"; fi
grep -qxF "qjxpack: error: no x64 stub came with qjxpack (looked for $places); name one with --stub" \
  create.log || fail "create without the x64 stub said: $(cat create.log)"
echo "release artifacts: ok, $lintian_note ($(tail -2 release.log | tr '\n' ' '))"
