# Sourced by test.sh and demo.sh after build.sh: one Xvfb display for the whole run and, for each
# Windows tree in wine_session_trees (default: QJX_WIN_TREE, from scripts/wine_arch.sh), its own
# Wine prefix with a live wineserver and a keep-alive window, all stopped again on exit. Needs
# $build (the build folder) and those trees built there. Each tree's programs take their Wine
# environment from the tree's own wine_env.sh (its test runner and scripts source it), so
# nothing of one architecture's environment leaks into the other's.
read -r display xvfb_pid < <("$(dirname "${BASH_SOURCE[0]}")/xvfb.sh")
export DISPLAY=$display
wine_session_trees=${wine_session_trees:-$QJX_WIN_TREE}
wine_session_end() {
  local tree
  for tree in $wine_session_trees; do
    # shellcheck source=/dev/null
    (source "$build/$tree/wine_env.sh" && wineserver -k 2>/dev/null) || true
  done
  kill "$xvfb_pid" 2>/dev/null || true
}
trap wine_session_end EXIT
for wine_session_tree in $wine_session_trees; do
  (
    # shellcheck source=/dev/null
    source "$build/$wine_session_tree/wine_env.sh"
    "$(dirname "${BASH_SOURCE[0]}")/wine_prefix.sh" "$WINEPREFIX"
    wineserver -p 2>/dev/null || true # may already be running for this prefix
    # Start Wine's services and desktop now, with no pipe of ours inherited: a service started by
    # a test program would hold the test's output pipe open and make CTest wait for it.
    wine cmd /c ver >/dev/null 2>&1 </dev/null
    if [ -f "$build/$wine_session_tree/tests/support/keepalive.exe" ]; then
      (wine "$build/$wine_session_tree/tests/support/keepalive.exe" >/dev/null 2>&1 </dev/null &)
    fi
  )
done
unset wine_session_tree
