#!/usr/bin/env bash
# scripts/setup.sh against a mirror mid-sync, simulated: wrappers first on PATH stand in for
# apt-get, dpkg, dpkg-query and sudo, so nothing on the machine changes. apt-get update fails
# with the mirror's message, wine32:i386 cannot be installed, everything else is there or
# installs. Set-up must go on, say what it could not install, and not repeat it within the hour.
set -euo pipefail
setup=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
log="$work/calls.log"

cat >"$work/bin/apt-get" <<W
#!/bin/sh
echo "apt-get \$*" >>"$log"
case "\$*" in
  *update*)
    echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    exit 100 ;;
  *wine32:i386*)
    echo "Some packages could not be installed."
    echo "E: Unable to correct problems, you have held broken packages." >&2
    exit 100 ;;
  *install*) for last; do :; done; echo "\$last" >>"$work/installed" ;;
esac
exit 0
W
cat >"$work/bin/dpkg-query" <<W
#!/bin/sh
for last; do :; done
grep -qx "\$last" "$work/installed" 2>/dev/null && { printf 'install ok installed'; exit 0; }
case "\$last" in
  wine32:i386 | nsis) exit 1 ;;
esac
printf 'install ok installed'
W
cat >"$work/bin/dpkg" <<W
#!/bin/sh
echo "dpkg \$*" >>"$log"
exit 0
W
cat >"$work/bin/sudo" <<'W'
#!/bin/sh
exec "$@"
W
chmod +x "$work/bin/"*

run() {
  PATH="$work/bin:$PATH" BUILD_DIR="$work/build" QJX_SETUP_UPDATE_PAUSE=0 "$@" bash "$setup" \
    >"$work/out" 2>&1
}
fail() { echo "FAIL: $*"; cat "$work/out"; exit 1; }

env=(env)
run "${env[@]}" || fail "set-up failed on a mirror mid-sync"
grep -q 'binary-i386/Packages.xz' "$work/out" || fail "the failed index is not named"
grep -q 'optional package wine32:i386: not installed: E: Unable to correct problems' "$work/out" ||
  fail "the missing optional package is not reported with apt's error"
grep -q 'x64 path' "$work/out" || fail "no word of the x64 path"
[ "$(grep -c 'apt-get update' "$log")" -ge 2 ] || fail "the update was not retried"
grep -q 'apt-get install .*nsis' "$log" || fail "the other optional package was not installed"

: >"$log"
run "${env[@]}" || fail "the second call failed"
! grep -q 'apt-get' "$log" || fail "the second call within the hour ran apt-get again: $(cat "$log")"
grep -q 'wine32:i386.*QJX_SETUP_RETRY=1' "$work/out" || fail "the second call does not say why"

run env QJX_SETUP_RETRY=1 || fail "the retry failed"
grep -q 'apt-get update' "$log" || fail "QJX_SETUP_RETRY=1 did not try again"

# A required package that cannot be installed stops set-up with its name and apt's words.
sed -i 's/wine32:i386 | nsis/wine32:i386 | nsis | osslsigncode/' "$work/bin/dpkg-query"
sed -i 's/\*wine32:i386\*)/*wine32:i386* | "install -y -qq --no-install-recommends osslsigncode")/' \
  "$work/bin/apt-get"
if run env QJX_SETUP_RETRY=1; then fail "a required package that cannot be installed passed"; fi
grep -q 'required package osslsigncode cannot be installed: E: Unable to correct' "$work/out" ||
  fail "the required package is not named"
echo "setup survives a mirror mid-sync"
