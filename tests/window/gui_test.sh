#!/usr/bin/env bash
# The progress window for real, under Wine in the test run's Xvfb display: window_app runs
# RunProgressWindow with a test worker and qjxdrive looks at it and drives it.
# Usage: gui_test.sh CASE (see the case statement); environment from tests/window/CMakeLists.txt.
set -euo pipefail
source "$(dirname "$0")/window_lib.sh"

case_name=${1:?case}

field_colour="177 188 214"
# A vendor's eight languages (window_app's QJX_TEST_LANGUAGES), one name far wider than the stock
# picture, and a Chinese and an Arabic one.
eight_languages='en=&English|fr=&Fran\u00E7ais|de=&Deutsch|es=E&spa\u00F1ol|pt-BR=&Portugu\u00EAs (Brasil)|pl=Pols&ki|zh-Hans=\u7B80\u4F53\u4E2D\u6587|ar=\u0627\u0644\u0639\u0631\u0628\u064A\u0629'
border_colour="16 36 120"

# expect_language_layout COUNT PER_ROW: the vendor's buttons 1040 on, visible and enabled, of one
# size, PER_ROW to a row (the last row may hold fewer), none overlapping another or the caption,
# all inside the client area, which is the background's height plus the further rows; the stock
# three gone. Prints "width height client_height".
expect_language_layout() {
  /usr/bin/python3 -c 'import sys
count, per_row = int(sys.argv[1]), int(sys.argv[2])
cw, ch = map(int, sys.argv[3].split())
rects, caption = {}, None
for line in sys.argv[4].splitlines():
    f = line.split()
    i = int(f[0])
    if i in (1003, 1004, 1005):
        sys.exit("the stock button %d is still there" % i)
    if i == 1006:
        caption = [int(v) for v in f[2:6]]
    if 1040 <= i < 1048:
        if f[6:8] != ["1", "1"]:
            sys.exit("button %d is hidden or disabled: %s" % (i, line))
        rects[i - 1040] = [int(v) for v in f[2:6]]
if sorted(rects) != list(range(count)):
    sys.exit("buttons %s, not 0 to %d" % (sorted(rects), count - 1))
sizes = {(r[2], r[3]) for r in rects.values()}
if len(sizes) != 1:
    sys.exit("buttons of several sizes: %s" % sizes)
bw, bh = sizes.pop()
tops = sorted({r[1] for r in rects.values()})
rows = [[i for i in range(count) if rects[i][1] == t] for t in tops]
want = [list(range(k, min(k + per_row, count))) for k in range(0, count, per_row)]
if rows != want:
    sys.exit("rows %s, not %s" % (rows, want))
for i, (l, t, w, h) in rects.items():
    if l < 0 or t < 0 or l + w > cw or t + h > ch:
        sys.exit("button %d at %s leaves the %d x %d client area" % (i, rects[i], cw, ch))
    if t < caption[1] + caption[3]:
        sys.exit("button %d at %s overlaps the caption %s" % (i, rects[i], caption))
    for j, (l2, t2, w2, h2) in rects.items():
        if j < i and l < l2 + w2 and l2 < l + w and t < t2 + h2 and t2 < t + h:
            sys.exit("buttons %d and %d overlap" % (j, i))
print(bw, bh, ch)' "$1" "$2" "$(drive client-size "$win")" "$(drive controls "$win")" ||
    fail "the vendor's buttons"
}

# crop_difference SHOT RECT_A RECT_B: how many pixels of two equal rectangles ("L T W H") differ
# clearly (by more than 96 in their sum of channels).
crop_difference() {
  /usr/bin/python3 -c 'import sys; from PIL import Image
img = Image.open(sys.argv[1]).convert("RGB")
a = [int(v) for v in sys.argv[2].split()]; b = [int(v) for v in sys.argv[3].split()]
n = 0
for y in range(a[3]):
    for x in range(a[2]):
        p = img.getpixel((a[0] + x, a[1] + y)); q = img.getpixel((b[0] + x, b[1] + y))
        n += sum(abs(u - v) for u, v in zip(p, q)) > 96
print(n)' "$@"
}

# button_rect ID: "left top width height" of a control.
button_rect() { drive controls "$win" | awk -v id="$1" '$1 == id { print $3, $4, $5, $6 }'; }

case "$case_name" in
  layout)
    # Everything the window places itself, in client pixels, for the 256 x 256 background.
    start_app progress
    expect_eq "256 256" "$(drive client-size "$win")" "client area"
    read -r sw sh < <(drive screen-size)
    read -r left top _ _ < <(drive window-rect "$win")
    expect_eq "$(((sw - 256) / 2)) $(((sh - 256) / 2))" "$left $top" "window centred"
    controls=$(drive controls "$win")
    expect_line "$controls" "2 Button 93 184 70 25 1 1"
    expect_line "$controls" "1010 msctls_progress32 10 158 236 15 1 1 *"
    expect_line "$controls" "1003 Button 17 209 68 22 0 0"
    expect_line "$controls" "1004 Button 94 209 68 22 0 0"
    expect_line "$controls" "1005 Button 170 209 68 22 0 0"
    drive click "$win" 2
    expect_app_result -11987
    ;;

  keys)
    # Enter (Cancel is the default button) and Esc both act as Cancel while the worker runs.
    for key in 0x0D 0x1B; do
      start_app progress
      drive wait-progress "$win" 1010 37 >/dev/null
      drive key "$win" "$key"
      drive wait-gone "$win"
      expect_app_result -11987
    done
    ;;

  progress)
    # Two values between ticks: the later one reaches the bar. Screenshot of the progress phase.
    start_app progress
    drive wait-progress "$win" 1010 37
    shot=$(screenshot progress_phase)
    expect_eq "$field_colour" "$(pixel "$shot" 5 245)" "background field below the controls"
    filled=$(pixel "$shot" 14 165)
    empty=$(pixel "$shot" 240 165)
    [ "$filled" != "$empty" ] || fail "the bar shows no progress ($filled / $empty)"
    # The arrow of the picture is green.
    read -r r g b < <(pixel "$shot" 122 20)
    [ "$g" -gt $((r + 60)) ] && [ "$g" -gt $((b + 60)) ] || fail "no green arrow at (122, 20): $r $g $b"
    drive click "$win" 2
    expect_app_result -11987
    ;;

  success)
    # The worker succeeds: three enabled language buttons, Cancel hidden and disabled, caption
    # painted. Screenshot of the language phase. Esc then closes the window (it would otherwise
    # stay hidden for ever, with nothing left to end it).
    start_app success
    wait_for_languages
    controls=$(drive controls "$win")
    expect_line "$controls" "2 Button 93 184 70 25 0 0"
    expect_line "$controls" "1003 Button 17 209 68 22 1 1"
    expect_line "$controls" "1004 Button 94 209 68 22 1 1"
    expect_line "$controls" "1005 Button 170 209 68 22 1 1"
    if drive click "$win" 2 2>/dev/null; then fail "the hidden Cancel button took a click"; fi
    shot=$(screenshot language_phase)
    # The caption is wider than the Cancel button was: dark text left and right of its place.
    dark=$(dark_pixels "$shot" 40 184 92 199)
    [ "$dark" -gt 10 ] || fail "no caption left of centre ($dark dark pixels)"
    dark=$(dark_pixels "$shot" 164 184 216 199)
    [ "$dark" -gt 10 ] || fail "no caption right of centre ($dark dark pixels)"
    # Each button shows its picture: dark blue border, light face with a black label.
    for left in 17 94 170; do
      read -r r g b < <(pixel "$shot" $((left + 34)) 209)
      [ "$b" -gt $((r + 40)) ] || fail "no blue border at ($((left + 34)), 209): $r $g $b"
      [ "$(dark_pixels "$shot" $((left + 8)) 213 $((left + 60)) 228)" -gt 10 ] ||
        fail "no label on the button at $left"
    done
    drive key "$win" 0x1B
    drive wait-gone "$win"
    # Leaving at the language choice is a cancel, not a success.
    expect_app_result -11987
    ;;

  pressed)
    # Holding a language button down shows its darker pressed picture; releasing restores it.
    start_app success
    wait_for_languages
    normal=$(pixel "$(screenshot german_normal)" 100 213)
    drive set-state "$win" 1004 1
    pressed=$(pixel "$(screenshot german_pressed)" 100 213)
    drive set-state "$win" 1004 0
    released=$(pixel "$(screenshot german_released)" 100 213)
    read -r nr _ < <(echo "$normal")
    read -r pr _ < <(echo "$pressed")
    [ "$pr" -lt $((nr - 20)) ] || fail "pressed face $pressed is not darker than $normal"
    expect_eq "$normal" "$released" "face after release"
    drive close "$win"
    expect_app_result -11987
    ;;

  failure)
    # A failing worker closes the window by itself; its code comes back.
    export QJX_TEST_CODE=-11991
    start_app fail
    expect_app_result -11991
    ;;

  close-mid-run)
    # WM_CLOSE while the worker runs: the window ends at once, the worker is told to stop, and
    # the record outlives it. The worker still sends to the UI thread's owner window after the
    # close; RunProgressWindow must serve that while it waits, and return only after the worker.
    start_app close-race
    drive wait-progress "$win" 1010 37 >/dev/null
    drive close "$win"
    expect_app_result -11987
    expect_app_line "worker-done 1"
    expect_app_line "owner-messages 1"
    ;;

  close-early)
    # Closed before the first tick: the worker never starts, and the window reports a cancel.
    start_app close-early
    expect_app_result -11987
    expect_app_line "worker-runs 0"
    ;;

  depth)
    # The background for the screen's depth, on this display and on an 8-bit one: bitmap 105,
    # the only one with a 256-entry table. (Wine's X11 driver falls back to 32 bits on 4- and
    # 1-bit Xvfb screens, so 103 and 104 are checked through BackgroundIdForDepth only.)
    background() { QJX_TEST_WORKER=background "$QJX_WINE_RUN" "$QJX_WINDOW_APP" | tr -d '\r'; }
    expect_line "$(background)" "depth [1-9]* background 256x256 palette 256"
    read -r display8 xvfb8 < <("$(dirname "$0")/../../scripts/xvfb.sh" 640x480x8)
    trap 'kill "$xvfb8" 2>/dev/null || true; cleanup_app' EXIT
    expect_eq "depth 8 background 256x256 palette 256" "$(DISPLAY=$display8 background)" \
      "8-bit screen"
    ;;

  dpi-144 | dpi-192)
    # At 150 % and 200 % (Wine gives the prefix's LogPixels to every new program): the layout
    # scaled, nothing clipped, the pictures complete. At 200 % the double-size pictures are
    # drawn as they are, pixel for pixel.
    dpi=${case_name#dpi-}
    trap 'restore_dpi; cleanup_app' EXIT
    set_dpi "$dpi"
    start_app success
    wait_for_languages
    expect_scaled_layout "$dpi"
    drive wait-focus "$win" 1003 || fail "English did not take the focus"
    shot=$(screenshot "language_phase_$dpi")
    size=$(((256 * dpi + 48) / 96))
    expect_eq "$field_colour" "$(pixel "$shot" 5 $((size - 5)))" "field in the corner"
    if [ "$dpi" = 192 ]; then
      # The picture above the controls, and the unfocused German button, are the 2x files.
      /usr/bin/python3 -c 'import sys; from PIL import Image
Image.open(sys.argv[1]).crop((0, 0, 512, 300)).save(sys.argv[2])' \
        "$QJX_PICTURES/background_8bit_2x.bmp" "$work/top.bmp"
      expect_eq 0 "$(differing_pixels "$shot" 0 0 "$work/top.bmp")" "pixels off the 2x background"
      expect_eq 0 "$(differing_pixels "$shot" 188 419 "$QJX_PICTURES/button_german_normal_2x.bmp")" \
        "pixels off the 2x German button"
      # English has the keyboard, but no key was used yet: no focus mark, as Windows shows a
      # mouse user. The first key shows it.
      expect_eq 0 "$(differing_pixels "$shot" 34 419 "$QJX_PICTURES/button_english_normal_2x.bmp")" \
        "pixels off the 2x English button before any key"
      drive key "$win" 0x10
      sleep 0.3
      shot=$(screenshot "language_phase_${dpi}_keyboard")
      [ "$(differing_pixels "$shot" 34 419 "$QJX_PICTURES/button_english_normal_2x.bmp")" -gt 20 ] ||
        fail "no focus mark on English after a key"
    fi
    # The caption in its scaled place, left and right of the centre.
    row=$((184 * dpi / 96))
    [ "$(dark_pixels "$shot" $((40 * dpi / 96)) "$row" $((92 * dpi / 96)) $((row + 15 * dpi / 96)))" -gt 10 ] ||
      fail "no caption left of centre"
    [ "$(dark_pixels "$shot" $((164 * dpi / 96)) "$row" $((216 * dpi / 96)) $((row + 15 * dpi / 96)))" -gt 10 ] ||
      fail "no caption right of centre"
    drive key "$win" 0x1B
    drive wait-gone "$win"
    expect_app_result -11987
    ;;

  dpi-192-without-2x)
    # A stub whose vendor gave only the 96-DPI set: at 200 % the same window, its pictures
    # scaled from the 96-DPI ones.
    trap 'restore_dpi; cleanup_app' EXIT
    set_dpi 192
    QJX_APP=$QJX_WINDOW_APP_1X start_app success
    wait_for_languages
    expect_scaled_layout 192
    shot=$(screenshot language_phase_192_without_2x)
    expect_eq "$field_colour" "$(pixel "$shot" 5 507)" "field in the corner"
    read -r r g b < <(pixel "$shot" 244 40)
    [ "$g" -gt $((r + 60)) ] && [ "$g" -gt $((b + 60)) ] || fail "no green arrow at (244, 40): $r $g $b"
    [ "$(differing_pixels "$shot" 188 419 "$QJX_PICTURES/button_german_normal_2x.bmp")" -gt 0 ] ||
      fail "the 2x picture was drawn, but the program has none"
    for left in 34 188 340; do
      read -r r g b < <(pixel "$shot" $((left + 68)) 420)
      [ "$b" -gt $((r + 40)) ] || fail "no blue border at ($((left + 68)), 420): $r $g $b"
      [ "$(dark_pixels "$shot" $((left + 16)) 426 $((left + 120)) 456)" -gt 20 ] ||
        fail "no label on the button at $left"
    done
    drive close "$win"
    expect_app_result -11987
    ;;

  dpi-changed)
    # Moved to a monitor of another DPI: the window lays itself out anew for it, centred on
    # the rectangle the system suggests, and back again.
    start_app progress
    drive wait-progress "$win" 1010 37 >/dev/null
    drive dpi-changed "$win" 144 100 50 500 480 || fail "cannot send WM_DPICHANGED"
    expect_scaled_layout 144
    read -r left top width height < <(drive window-rect "$win")
    [ $((left + width / 2 - 300)) -le 1 ] && [ $((300 - left - width / 2)) -le 1 ] &&
      [ $((top + height / 2 - 265)) -le 1 ] && [ $((265 - top - height / 2)) -le 1 ] ||
      fail "window at $left $top $width x $height, not centred on (300, 265)"
    shot=$(screenshot progress_phase_dpi_changed_144)
    expect_eq "$field_colour" "$(pixel "$shot" 5 379)" "field in the corner"
    drive dpi-changed "$win" 96 0 0 300 300 || fail "cannot send WM_DPICHANGED"
    expect_eq "256 256" "$(drive client-size "$win")" "client area back at 96 DPI"
    expect_line "$(drive controls "$win")" "1010 msctls_progress32 10 158 236 15 1 1 *"
    drive click "$win" 2
    expect_app_result -11987
    ;;

  high-contrast)
    # High contrast on (through the program's seam: Wine cannot switch it on): the system's
    # colours, no picture, the buttons plain with their texts. Switched off while open, the
    # window follows.
    export QJX_TEST_HIGH_CONTRAST
    QJX_TEST_HIGH_CONTRAST=$(winpath "$work/high-contrast")
    touch "$work/high-contrast"
    start_app success
    wait_for_languages
    shot=$(screenshot high_contrast)
    expect_eq 0 "$(count_colour "$shot" "$field_colour")" "pixels of the picture's field colour"
    [ "$(dark_pixels "$shot" 40 184 216 199)" -gt 20 ] || fail "no caption in high contrast"
    for left in 17 94 170; do
      [ "$(dark_pixels "$shot" $((left + 8)) 212 $((left + 60)) 228)" -gt 10 ] ||
        fail "no text on the plain button at $left"
    done
    rm "$work/high-contrast"
    drive send "$win" 0x15 # WM_SYSCOLORCHANGE
    shot=$(screenshot high_contrast_off)
    expect_eq "$field_colour" "$(pixel "$shot" 5 245)" "the picture back after high contrast"
    drive key "$win" 0x1B
    drive wait-gone "$win"
    expect_app_result -11987
    ;;

  languages | languages-192)
    # A vendor's eight languages replace the stock three: one size for all, fitted to the widest
    # name, rows of two (three would crowd), further rows below the picture on its bottom colour;
    # drawn at the display's scale (at 200 % the border is twice as thick); the user's language
    # takes the focus; each button's accessible name is its name.
    dpi=96
    if [ "$case_name" = languages-192 ]; then
      dpi=192
      trap 'restore_dpi; cleanup_app' EXIT
      set_dpi 192
    fi
    export QJX_TEST_LANGUAGES=$eight_languages QJX_TEST_FOCUS=6
    start_app success
    wait_for_languages 1047
    layout=$(expect_language_layout 8 2)
    read -r bw bh ch <<<"$layout"
    size=$(((256 * dpi + 48) / 96))
    expect_eq "$((size + 3 * (bh + 6 * dpi / 96)))" "$ch" "client height with three rows below the first"
    [ "$bw" -gt $((68 * dpi / 96)) ] || fail "buttons $bw wide: not fitted to the widest name"
    drive wait-focus "$win" 1046 || fail "the user's language did not take the focus"
    expect_eq "&Français" "$(drive text "$win" 1041)" "French's accessible name"
    expect_eq "简体中文" "$(drive text "$win" 1046)" "Chinese's accessible name"
    shot=$(screenshot "languages_$dpi")
    expect_eq "$field_colour" "$(pixel "$shot" 5 $((ch - 3)))" "the band below the picture"
    scale=$((dpi / 96))
    for id in 1040 1043 1044 1047; do
      read -r l t w h < <(button_rect $id)
      # The border, at the scale's thickness, then the light face.
      expect_eq "$border_colour" "$(pixel "$shot" $((l + w / 2)) $((t + 2 * scale - 1)))" "border of $id"
      read -r r g b < <(pixel "$shot" $((l + w / 2)) $((t + 2 * scale + 1)))
      [ "$r" -gt 200 ] && [ "$g" -gt 200 ] || fail "no light face on $id: $r $g $b"
      [ "$(dark_pixels "$shot" $((l + 4)) $((t + 4)) $((l + w - 4)) $((t + h - 4)))" -gt $((8 * scale)) ] ||
        fail "no name on $id"
    done
    if [ "$dpi" = 96 ]; then
      # Moved to a monitor at 200 %: measured and laid out anew, the rows as before.
      drive dpi-changed "$win" 192 0 0 600 800 || fail "cannot send WM_DPICHANGED"
      layout=$(expect_language_layout 8 2)
      read -r bw2 bh2 ch2 <<<"$layout"
      expect_eq "$((512 + 3 * (bh2 + 12)))" "$ch2" "client height at 192 DPI after the move"
      [ "$bw2" -gt $((bw * 3 / 2)) ] || fail "buttons $bw2 wide at 192 DPI, $bw at 96"
      screenshot languages_96_moved_to_192 >/dev/null
    fi
    drive key "$win" 0x1B
    drive wait-gone "$win"
    expect_app_result -11987
    ;;

  languages-scripts)
    # A Chinese and an Arabic name are drawn with their glyphs: each differs clearly from the
    # same button with a name of as many characters that no font has, which shows boxes and
    # would pass a mere "pixels that are not the face" check.
    export QJX_TEST_LANGUAGES='zh-Hans=\u7B80\u4F53\u4E2D\u6587|ar=\u0627\u0644\u0639\u0631\u0628\u064A\u0629|x-a=\u0378\u0379\u0378\u0379|x-b=\u0378\u0379\u0378\u0379\u0378\u0379\u0378'
    start_app success
    wait_for_languages 1043
    shot=$(screenshot languages_scripts)
    chinese=$(button_rect 1040)
    arabic=$(button_rect 1041)
    boxes4=$(button_rect 1042)
    boxes7=$(button_rect 1043)
    for pair in "$chinese|$boxes4" "$arabic|$boxes7"; do
      read -r l t w h <<<"${pair%%|*}"
      [ "$(dark_pixels "$shot" $((l + 4)) $((t + 4)) $((l + w - 4)) $((t + h - 4)))" -gt 15 ] ||
        fail "no name drawn at ${pair%%|*}"
      diff=$(crop_difference "$shot" "${pair%%|*}" "${pair##*|}")
      [ "$diff" -gt 40 ] || fail "the name at ${pair%%|*} looks like missing glyphs ($diff pixels differ)"
    done
    drive key "$win" 0x1B
    drive wait-gone "$win"
    expect_app_result -11987
    ;;

  languages-9x)
    # The 9x family (Wine's win98 setting for a copy of the program): names are drawn in the
    # ANSI code page; French converts, Chinese does not and shows its code, never question marks.
    cp "$QJX_WINDOW_APP" "$work/window_app_9x.exe"
    key='HKCU\Software\Wine\AppDefaults\window_app_9x.exe'
    "$QJX_WINE_RUN" reg add "$key" /v Version /d win98 /f >/dev/null 2>&1 || fail "cannot set win98"
    trap '"$QJX_WINE_RUN" reg delete "$key" /f >/dev/null 2>&1 || true; cleanup_app' EXIT
    export QJX_TEST_LANGUAGES='fr=Fran\u00E7ais|zh-Hans=\u7B80\u4F53\u4E2D\u6587|en=English'
    export QJX_TEST_CAPTION='\u8BF7\u9009\u62E9'
    QJX_APP=$work/window_app_9x.exe start_app success
    wait_for_languages 1042
    expect_eq "Français" "$(drive text "$win" 1040)" "French on 9x"
    expect_eq "zh-Hans" "$(drive text "$win" 1041)" "Chinese on 9x: its code"
    # The caption cannot be shown either: the stock one.
    expect_eq "Select a Language:" "$(drive text "$win" 1006)" "caption on 9x"
    shot=$(screenshot languages_9x)
    read -r l t w h < <(button_rect 1041)
    [ "$(dark_pixels "$shot" $((l + 4)) $((t + 4)) $((l + w - 4)) $((t + h - 4)))" -gt 15 ] ||
      fail "no code drawn on the Chinese button"
    drive key "$win" 0x1B
    drive wait-gone "$win"
    expect_app_result -11987
    ;;

  caption)
    # A vendor's caption in its colour, drawn as UTF-16: a Chinese one shows its glyphs, unlike
    # a caption of as many characters that no font has (boxes in the same colour).
    export QJX_TEST_LANGUAGES='en=English|fr=Fran\u00E7ais' QJX_TEST_CAPTION_COLOUR=C00000
    for caption in boxes chinese; do
      case $caption in
        boxes) QJX_TEST_CAPTION='\u0378\u0379\u0378\u0379\u0378' ;;
        chinese) QJX_TEST_CAPTION='\u8BF7\u9009\u62E9\u8BED\u8A00' ;;
      esac
      export QJX_TEST_CAPTION
      start_app success
      wait_for_languages 1041
      shot=$(screenshot "languages_caption_$caption")
      cp "$shot" "$work/$caption.bmp"
      red=$(/usr/bin/python3 -c 'import sys; from PIL import Image
img = Image.open(sys.argv[1]).convert("RGB")
print(sum(1 for x in range(40, 216) for y in range(184, 199) if img.getpixel((x, y)) == (192, 0, 0)))' "$shot")
      [ "$red" -gt 20 ] || fail "no $caption caption in the vendor's colour ($red pixels)"
      [ $caption = boxes ] || expect_eq "请选择语言" "$(drive text "$win" 1006)" "the caption's accessible name"
      drive key "$win" 0x1B
      drive wait-gone "$win"
      expect_app_result -11987
    done
    diff=$(/usr/bin/python3 -c 'import sys; from PIL import Image
a, b = (Image.open(f).convert("RGB") for f in sys.argv[1:3])
print(sum(1 for x in range(40, 216) for y in range(184, 199) if a.getpixel((x, y)) != b.getpixel((x, y))))' \
      "$work/boxes.bmp" "$work/chinese.bmp")
    [ "$diff" -gt 40 ] || fail "the Chinese caption looks like missing glyphs ($diff pixels differ)"
    ;;

  language-pictures)
    # A vendor's own pictures per language (the German and Japanese ones stand in): drawn as
    # they are at 96 DPI, the button their size; at 200 % the double-size ones, pixel for pixel.
    trap 'restore_dpi; cleanup_app' EXIT
    export QJX_TEST_LANGUAGES='de=&Deutsch|ja=\u65E5\u672C\u8A9E' QJX_TEST_LANGUAGE_FLAGS=1
    for dpi in 96 192; do
      set_dpi $dpi
      suffix=
      [ $dpi = 96 ] || suffix=_2x
      QJX_APP=$QJX_WINDOW_APP_PICTURES start_app success
      wait_for_languages 1041
      layout=$(expect_language_layout 2 3)
      read -r bw bh _ <<<"$layout"
      expect_eq "$((68 * dpi / 96)) $((22 * dpi / 96))" "$bw $bh" "button size at $dpi DPI"
      shot=$(screenshot "language_pictures_$dpi")
      read -r l t _ _ < <(button_rect 1040)
      expect_eq 0 "$(differing_pixels "$shot" "$l" "$t" "$QJX_PICTURES/button_german_normal$suffix.bmp")" \
        "pixels off the first language's picture at $dpi DPI"
      drive set-state "$win" 1041 1
      shot=$(screenshot "language_pictures_${dpi}_pressed")
      read -r l t _ _ < <(button_rect 1041)
      expect_eq 0 "$(differing_pixels "$shot" "$l" "$t" "$QJX_PICTURES/button_japanese_pressed$suffix.bmp")" \
        "pixels off the second language's pressed picture at $dpi DPI"
      drive close "$win"
      expect_app_result -11987
    done
    ;;

  languages-high-contrast)
    # High contrast: the vendor's buttons plain, in the system's colours, with their names.
    export QJX_TEST_HIGH_CONTRAST
    QJX_TEST_HIGH_CONTRAST=$(winpath "$work/high-contrast")
    touch "$work/high-contrast"
    export QJX_TEST_LANGUAGES='en=English|zh-Hans=\u7B80\u4F53\u4E2D\u6587|x-a=\u0378\u0379\u0378\u0379'
    start_app success
    wait_for_languages 1042
    shot=$(screenshot languages_high_contrast)
    expect_eq 0 "$(count_colour "$shot" "$border_colour")" "pixels of the drawn buttons' border"
    for id in 1040 1041; do
      read -r l t w h < <(button_rect $id)
      [ "$(dark_pixels "$shot" $((l + 4)) $((t + 3)) $((l + w - 4)) $((t + h - 3)))" -gt 10 ] ||
        fail "no name on the plain button $id"
    done
    diff=$(crop_difference "$shot" "$(button_rect 1041)" "$(button_rect 1042)")
    [ "$diff" -gt 40 ] || fail "the Chinese name looks like missing glyphs ($diff pixels differ)"
    drive key "$win" 0x1B
    drive wait-gone "$win"
    expect_app_result -11987
    ;;

  *) fail "unknown case $case_name" ;;
esac
echo "ok: $case_name"
