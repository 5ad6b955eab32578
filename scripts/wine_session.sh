# Sourced by test.sh and demo.sh: one Xvfb display, the project's Wine prefix and one live
# wineserver for the whole run, stopped again on exit. Needs $build (the build folder).
read -r display xvfb_pid < <("$(dirname "${BASH_SOURCE[0]}")/xvfb.sh")
export DISPLAY=$display
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all
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
if [ -f "$build/win32/tests/support/keepalive.exe" ]; then
  (wine "$build/win32/tests/support/keepalive.exe" >/dev/null 2>&1 </dev/null &)
fi
