#!/usr/bin/env bash
# The progress window for real, under Wine in the test run's Xvfb display: window_app runs
# RunProgressWindow with a test worker and qjxdrive looks at it and drives it.
# Usage: gui_test.sh CASE (see the case statement); environment from tests/window/CMakeLists.txt.
set -euo pipefail
source "$(dirname "$0")/window_lib.sh"

case_name=${1:?case}

field_colour="177 188 214"

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

  *) fail "unknown case $case_name" ;;
esac
echo "ok: $case_name"
