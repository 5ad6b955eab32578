# Helpers for the window GUI and launch scripts (sourced). Environment: QJX_WINE_RUN,
# QJX_WINDOW_APP, QJX_DRIVE, QJX_ARTIFACTS (see tests/window/CMakeLists.txt); DISPLAY comes from
# the test run, the Wine prefix and loader from the tree's wine_env.sh beside QJX_WINE_RUN.
: "${QJX_WINE_RUN:?}" "${QJX_WINDOW_APP:?}" "${QJX_DRIVE:?}" "${QJX_ARTIFACTS:?}"
# shellcheck source=/dev/null
source "$(dirname "$QJX_WINE_RUN")/wine_env.sh"
mkdir -p "$QJX_ARTIFACTS"
work=$(mktemp -d)
app_pid=
app_out=$work/app.out

cleanup_app() {
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup_app EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$app_out" ] && sed 's/^/  app: /' "$app_out" >&2
  exit 1
}

expect_eq() {
  [ "$1" == "$2" ] || fail "$3: expected [$1], got [$2]"
}

# expect_line TEXT PATTERN: some line of TEXT matches the glob PATTERN.
expect_line() {
  local line
  while IFS= read -r line; do
    # shellcheck disable=SC2053
    [[ $line == $2 ]] && return 0
  done <<<"$1"
  fail "no line like [$2] in:
$1"
}

# A Unix path as Wine sees it through drive Z:.
winpath() { echo "Z:${1//\//\\}"; }

drive() { "$QJX_WINE_RUN" "$QJX_DRIVE" "$@" | tr -d '\r'; }

# start_app WORKER [COMMAND_LINE_TAIL...]: window_app in the background; waits for its window
# unless the worker ends it by itself.
start_app() {
  local worker=$1
  shift
  QJX_TEST_WORKER=$worker "$QJX_WINE_RUN" "$QJX_WINDOW_APP" "$@" >"$app_out" 2>&1 &
  app_pid=$!
  case "$worker" in
    fail | close-early) ;;
    *) drive wait-window Velmora >/dev/null || fail "no window \"Velmora\"" ;;
  esac
}

wait_app_exit() {
  local i
  for i in $(seq 1 300); do
    kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid" || true; return 0; }
    sleep 0.1
  done
  fail "window_app did not end"
}

expect_app_line() {
  grep -qx "$1" <(tr -d '\r' <"$app_out") || fail "window_app did not print [$1]"
}

expect_app_result() {
  wait_app_exit
  expect_app_line "result $1"
}

wait_for_languages() {
  local i
  for i in $(seq 1 150); do
    drive controls Velmora | grep -q '^1005 Button .* 1 1$' && return 0
    sleep 0.1
  done
  fail "the language buttons did not appear"
}

# screenshot NAME: the client area after a forced repaint (a repaint the worker asked for can be
# lost under Wine), kept as QJX_ARTIFACTS/NAME.png; prints the BMP's path.
screenshot() {
  local bmp=$work/$1.bmp
  drive repaint Velmora
  drive screenshot Velmora "$(winpath "$bmp")" || fail "screenshot $1"
  convert "$bmp" "$QJX_ARTIFACTS/$1.png"
  echo "$bmp"
}

# pixel FILE X Y: "R G B"
pixel() {
  /usr/bin/python3 -c 'import sys; from PIL import Image
print(*Image.open(sys.argv[1]).convert("RGB").getpixel((int(sys.argv[2]), int(sys.argv[3]))))' "$@"
}

# dark_pixels FILE LEFT TOP RIGHT BOTTOM: how many pixels of the rectangle are nearly black.
dark_pixels() {
  /usr/bin/python3 -c 'import sys; from PIL import Image
img = Image.open(sys.argv[1]).convert("RGB"); l, t, r, b = map(int, sys.argv[2:])
print(sum(1 for x in range(l, r) for y in range(t, b) if sum(img.getpixel((x, y))) < 200))' "$@"
}
