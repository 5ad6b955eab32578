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
# The program's window, by its Windows process id (pid:N): a window that another test left
# behind is never taken for this one. Set by start_app and run_app.
win=
win_pid=

# Ends what the test started, so that one failure stays one failure.
cleanup_app() {
  if [ -n "$win_pid" ]; then drive end "$win_pid" || true; fi
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

# start_app WORKER [COMMAND_LINE_TAIL...]: window_app (QJX_APP, if set, names another build of
# it) in the background; waits for its window unless the worker ends it by itself.
start_app() {
  local worker=$1 i
  shift
  rm -f "$app_out" # a run before left its process id there
  QJX_TEST_WORKER=$worker "$QJX_WINE_RUN" "${QJX_APP:-$QJX_WINDOW_APP}" "$@" >"$app_out" 2>&1 &
  app_pid=$!
  win_pid=
  for i in $(seq 1 300); do
    win_pid=$(sed -n 's/^pid \([0-9]*\)\r*$/\1/p' "$app_out" 2>/dev/null || true)  # not written yet
    [ -n "$win_pid" ] && break
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$win_pid" ] || fail "window_app did not say its process id"
  win=pid:$win_pid
  case "$worker" in
    fail | close-early) ;;
    *) drive wait-window "$win" >/dev/null || fail "no window of process $win_pid" ;;
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

# wait_for_languages [LAST_ID]: until the last language button (the stock Japanese one unless
# given) shows, enabled.
wait_for_languages() {
  local i last=${1:-1005}
  for i in $(seq 1 150); do
    drive controls "$win" | grep -q "^$last Button .* 1 1\$" && return 0
    sleep 0.1
  done
  fail "the language buttons did not appear"
}

# screenshot NAME: the client area after a forced repaint (a repaint the worker asked for can be
# lost under Wine), kept as QJX_ARTIFACTS/NAME.png; prints the BMP's path.
screenshot() {
  local bmp=$work/$1.bmp
  drive repaint "$win"
  drive screenshot "$win" "$(winpath "$bmp")" || fail "screenshot $1"
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

# differing_pixels SHOT LEFT TOP PICTURE: how many pixels of PICTURE (a BMP, compressed or not) differ
# from the screenshot's at LEFT, TOP.
differing_pixels() {
  /usr/bin/python3 -c 'import sys; from PIL import Image
shot = Image.open(sys.argv[1]).convert("RGB"); l, t = int(sys.argv[2]), int(sys.argv[3])
picture = Image.open(sys.argv[4]).convert("RGB"); w, h = picture.size
part = shot.crop((l, t, l + w, t + h))
print(sum(1 for x in range(w) for y in range(h) if part.getpixel((x, y)) != picture.getpixel((x, y))))' "$@"
}

# count_colour FILE "R G B": how many pixels of the screenshot have that colour.
count_colour() {
  /usr/bin/python3 -c 'import sys; from PIL import Image
colour = tuple(map(int, sys.argv[2].split()))
print(sum(n for n, c in Image.open(sys.argv[1]).convert("RGB").getcolors(1 << 24) if c == colour))' "$@"
}

# set_dpi DPI: the display scale that every program started from now on gets (Wine 8 reads it
# at start-up); restore_dpi goes back to the prefix's default.
set_dpi() {
  "$QJX_WINE_RUN" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    >/dev/null 2>&1 || fail "cannot set LogPixels to $1"
}
restore_dpi() {
  "$QJX_WINE_RUN" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
}

# expect_scaled_layout DPI: the client area is the background times the scale, and every control
# lies within one pixel of its 96-DPI place times the scale, inside the client area.
expect_scaled_layout() {
  local dpi=$1 size
  size=$(((256 * dpi + 48) / 96))
  expect_eq "$size $size" "$(drive client-size "$win")" "client area at $dpi DPI"
  /usr/bin/python3 -c 'import sys
dpi, size = int(sys.argv[1]), int(sys.argv[2])
base = {2: (93, 184, 70, 25), 1010: (10, 158, 236, 15), 1006: (0, 184, 256, 15),
        1003: (17, 209, 68, 22), 1004: (94, 209, 68, 22), 1005: (170, 209, 68, 22)}
seen = set()
for line in sys.argv[3].splitlines():
    f = line.split()
    if int(f[0]) not in base:
        continue
    seen.add(int(f[0]))
    rect = [int(v) for v in f[2:6]]
    want = [v * dpi / 96 for v in base[int(f[0])]]
    if any(abs(g - w) > 1 for g, w in zip(rect, want)):
        sys.exit("control %s at %s, not within a pixel of %s" % (f[0], rect, want))
    l, t, w, h = rect
    if l < 0 or t < 0 or l + w > size or t + h > size:
        sys.exit("control %s at %s is clipped by the %d x %d client area" % (f[0], rect, size, size))
if seen != set(base):
    sys.exit("controls missing: %s" % sorted(set(base) - seen))' "$dpi" "$size" \
    "$(drive controls "$win")" || fail "layout at $dpi DPI"
}
