# Sourced by test.sh and demo.sh after build.sh: one Xvfb display, the Wine prefix of the
# architecture in use (scripts/wine_arch.sh) and one live wineserver for the whole run, stopped
# again on exit. Needs $build (the build folder) and the Windows tree QJX_WIN_TREE built there.
read -r display xvfb_pid < <("$(dirname "${BASH_SOURCE[0]}")/xvfb.sh")
export DISPLAY=$display
# shellcheck source=/dev/null
source "$build/$QJX_WIN_TREE/wine_env.sh"
wine_session_end() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap wine_session_end EXIT
"$(dirname "${BASH_SOURCE[0]}")/wine_prefix.sh" "$WINEPREFIX"
wineserver -p 2>/dev/null || true # may already be running for this prefix
# Start Wine's services and desktop now, with no pipe of ours inherited: a service started by a
# test program would hold the test's output pipe open and make CTest wait for it.
wine cmd /c ver >/dev/null 2>&1 </dev/null
if [ -f "$build/$QJX_WIN_TREE/tests/support/keepalive.exe" ]; then
  (wine "$build/$QJX_WIN_TREE/tests/support/keepalive.exe" >/dev/null 2>&1 </dev/null &)
fi
