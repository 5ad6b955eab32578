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
    expect_eq "256 256" "$(drive client-size Velmora)" "client area"
    read -r sw sh < <(drive screen-size)
    read -r left top _ _ < <(drive window-rect Velmora)
    expect_eq "$(((sw - 256) / 2)) $(((sh - 256) / 2))" "$left $top" "window centred"
    controls=$(drive controls Velmora)
    expect_line "$controls" "2 Button 93 184 70 25 1 1"
    expect_line "$controls" "1010 msctls_progress32 10 158 236 15 1 1 *"
    expect_line "$controls" "1003 Button 17 209 68 22 0 0"
    expect_line "$controls" "1004 Button 94 209 68 22 0 0"
    expect_line "$controls" "1005 Button 170 209 68 22 0 0"
    drive click Velmora 2
    expect_app_result -11987
    ;;

  keys)
    # Enter (Cancel is the default button) and Esc both act as Cancel while the worker runs.
    for key in 0x0D 0x1B; do
      start_app progress
      drive wait-progress Velmora 1010 37 >/dev/null
      drive key Velmora "$key"
      drive wait-gone Velmora
      expect_app_result -11987
    done
    ;;

  progress)
    # Two values between ticks: the later one reaches the bar. Screenshot of the progress phase.
    start_app progress
    drive wait-progress Velmora 1010 37
    shot=$(screenshot progress_phase)
    expect_eq "$field_colour" "$(pixel "$shot" 5 245)" "background field below the controls"
    filled=$(pixel "$shot" 14 165)
    empty=$(pixel "$shot" 240 165)
    [ "$filled" != "$empty" ] || fail "the bar shows no progress ($filled / $empty)"
    # The arrow of the picture is green.
    read -r r g b < <(pixel "$shot" 122 20)
    [ "$g" -gt $((r + 60)) ] && [ "$g" -gt $((b + 60)) ] || fail "no green arrow at (122, 20): $r $g $b"
    drive click Velmora 2
    expect_app_result -11987
    ;;

  success)
    # The worker succeeds: three enabled language buttons, Cancel hidden and disabled, caption
    # painted. Screenshot of the language phase. Esc then closes the window (it would otherwise
    # stay hidden for ever, with nothing left to end it).
    start_app success
    wait_for_languages
    controls=$(drive controls Velmora)
    expect_line "$controls" "2 Button 93 184 70 25 0 0"
    expect_line "$controls" "1003 Button 17 209 68 22 1 1"
    expect_line "$controls" "1004 Button 94 209 68 22 1 1"
    expect_line "$controls" "1005 Button 170 209 68 22 1 1"
    if drive click Velmora 2 2>/dev/null; then fail "the hidden Cancel button took a click"; fi
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
    drive key Velmora 0x1B
    drive wait-gone Velmora
    # Leaving at the language choice is a cancel, not a success.
    expect_app_result -11987
    ;;

  pressed)
    # Holding a language button down shows its darker pressed picture; releasing restores it.
    start_app success
    wait_for_languages
    normal=$(pixel "$(screenshot german_normal)" 100 213)
    drive set-state Velmora 1004 1
    pressed=$(pixel "$(screenshot german_pressed)" 100 213)
    drive set-state Velmora 1004 0
    released=$(pixel "$(screenshot german_released)" 100 213)
    read -r nr _ < <(echo "$normal")
    read -r pr _ < <(echo "$pressed")
    [ "$pr" -lt $((nr - 20)) ] || fail "pressed face $pressed is not darker than $normal"
    expect_eq "$normal" "$released" "face after release"
    drive close Velmora
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
    drive wait-progress Velmora 1010 37 >/dev/null
    drive close Velmora
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

  *) fail "unknown case $case_name" ;;
esac
echo "ok: $case_name"
