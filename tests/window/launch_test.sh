#!/usr/bin/env bash
# The installer launch for real: the prefix's msiexec.exe is swapped for a recorder that writes
# its command line to a file, window_app is started with an exact command line, a language is
# clicked, and the recorded line is compared byte for byte.
# Usage: launch_test.sh CASE. Holds the CTest resource lock "msiexec"; always restores.
set -euo pipefail
source "$(dirname "$0")/window_lib.sh"
: "${QJX_RECORDER:?}" "${QJX_RECORDER_SCRIPT:?}" "${WINEPREFIX:?}"

case_name=${1:?case}
recorder() { "$QJX_RECORDER_SCRIPT" "$@"; }
trap 'recorder restore; cleanup_app' EXIT
recorder install "$QJX_RECORDER"
record=$(recorder record)
program=$(recorder program)

drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/qjxw" "$drive_c/qjx dir"
cp "$QJX_WINDOW_APP" "$drive_c/qjxw/window_app.exe"
cp "$QJX_WINDOW_APP" "$drive_c/qjx dir/window app.exe"
export QJX_TEST_WORKER=success
folder='C:\qjxtmp\QJX1A2B\'
export QJX_TEST_FOLDER=$folder
system_msiexec='C:\windows\system32\msiexec.exe'
msiexec="\"$system_msiexec\" "

# run_app COMMAND_LINE [LAST_BUTTON]: window_app with exactly that command line, up to the
# language choice. The program of a run before is ended first: each run waits for its own window
# only.
run_app() {
  if [ -n "$win_pid" ]; then drive end "$win_pid"; fi
  rm -f "$work/pid"
  win_pid=
  # Not through drive's pipe: the program would hold it open.
  "$QJX_WINE_RUN" "$QJX_DRIVE" run "$1" "$(winpath "$work/pid")" >/dev/null 2>&1 </dev/null ||
    fail "cannot start $1"
  win_pid=$(tr -d '\r\n' <"$work/pid")
  [ -n "$win_pid" ] || fail "no process id for $1"
  win=pid:$win_pid
  drive wait-window "$win" >/dev/null || fail "no window of process $win_pid"
  wait_for_languages "${2:-1005}"
}

# launch COMMAND_LINE BUTTON [LAST_BUTTON]: runs window_app, clicks BUTTON.
launch() {
  run_app "$1" "${3:-1005}"
  drive click "$win" "$2"
  drive wait-gone "$win" || fail "the window did not close"
}

# expect_record PROGRAM LINE: the recorder ran once, as PROGRAM, with exactly LINE.
expect_record() {
  local i
  for i in $(seq 1 100); do
    [ -s "$record" ] && break
    sleep 0.1
  done
  [ -s "$record" ] || fail "msiexec was not started"
  sleep 0.3  # a second, unexpected start would have written by now
  expect_eq "$1" "$(tr -d '\r' <"$program")" "started program"
  expect_eq "$2" "$(cat "$record")" "recorded command line"
  [ "$(wc -l <"$record")" -eq 1 ] || fail "more than one start recorded"
}

case "$case_name" in
  english | german | japanese)
    # Each language with and without forwarded arguments, by a plain and by a quoted program
    # name with blanks (skipped whole). Nothing after the name: the parameters end in the
    # single blank; arguments follow that blank with their own, so two blanks stand before them.
    case "$case_name" in
      english) button=1003 mst= ;;
      german) button=1004 mst=Velmora_German.mst ;;
      japanese) button=1005 mst=Velmora_Japanese.mst ;;
    esac
    # transform FOLDER: the transforms part for this language, if any.
    transform() { [ -z "$mst" ] || echo " transforms=\"$1$mst\""; }
    expected="$msiexec/I ${folder}Velmora.msi$(transform "$folder") "
    args=' /l*v "C:\my log.txt" TARGETDIR="C:\x y"'
    for name in 'C:\qjxw\window_app.exe' '"C:\qjx dir\window app.exe"'; do
      for tail in '' ' /qb' "$args"; do
        rm -f "$record" "$program"
        launch "$name$tail" "$button"
        expect_record "$system_msiexec" "$expected$tail"
      done
    done
    # A folder with a blank (a user name with one): the package path is quoted, or the
    # installer would take it for several arguments. The transform is quoted anyway.
    blank='C:\qjx tmp\QJX1A2B\'
    rm -f "$record" "$program"
    QJX_TEST_FOLDER=$blank launch 'C:\qjxw\window_app.exe' "$button"
    expect_record "$system_msiexec" "$msiexec/I \"${blank}Velmora.msi\"$(transform "$blank") "
    ;;

  planted)
    # An MSIExec.exe beside the program and in the current folder. First prove that a start by
    # bare name would take it, then that the window starts the system's msiexec.exe.
    cp "$QJX_RECORDER" "$drive_c/qjxw/MSIExec.exe"
    cd "$drive_c/qjxw"
    drive shell-open MSIExec probe
    expect_record 'C:\qjxw\MSIExec.exe' '"MSIExec" probe'
    rm -f "$record" "$program"
    launch 'C:\qjxw\window_app.exe' 1003
    expect_record "$system_msiexec" "$msiexec/I ${folder}Velmora.msi "
    ;;

  refused)
    # No msiexec.exe at all: the refusal is reported with the parameters as the caption.
    recorder remove
    run_app 'C:\qjxw\window_app.exe'
    drive click "$win" 1003
    # The shell shows its own error first (no mask flags ask it not to), then ours follows.
    box=$(drive message-box)
    [[ $box != "Error|"* ]] || box=$(drive message-box)
    expect_eq "/I ${folder}Velmora.msi |Could not start MSIExec. Error #2." "$box" "message box"
    drive wait-gone "$win"
    ;;

  too-long)
    # A folder too long for the transform path: a message instead of an overflow, no start.
    long="C:\\$(printf 'x%.0s' $(seq 1 245))\\"
    export QJX_TEST_FOLDER=$long
    run_app 'C:\qjxw\window_app.exe'
    drive click "$win" 1005
    expect_eq "$long|Could not start MSIExec. Error #206." "$(drive message-box)" "message box"
    drive wait-gone "$win"
    sleep 0.5
    [ ! -e "$record" ] || fail "msiexec was started: $(cat "$record")"
    ;;

  keyboard)
    # A person installs by keyboard alone. English takes the focus when the languages appear;
    # Tab moves to German and Enter chooses it.
    german="$msiexec/I ${folder}Velmora.msi transforms=\"${folder}Velmora_German.mst\" "
    japanese="$msiexec/I ${folder}Velmora.msi transforms=\"${folder}Velmora_Japanese.mst\" "
    rm -f "$record" "$program"
    run_app 'C:\qjxw\window_app.exe'
    drive wait-focus "$win" 1003 || fail "English did not take the focus"
    drive key "$win" 0x09
    drive wait-focus "$win" 1004 || fail "Tab did not move to German"
    drive key "$win" 0x0D
    drive wait-gone "$win" || fail "Enter did not choose German"
    expect_record "$system_msiexec" "$german"
    # Alt+J, the Japanese button's mnemonic, chooses it wherever the focus is.
    rm -f "$record" "$program"
    run_app 'C:\qjxw\window_app.exe'
    drive wait-focus "$win" 1003 || fail "English did not take the focus"
    drive alt-key "$win" 0x4A
    drive wait-gone "$win" || fail "Alt+J did not choose Japanese"
    expect_record "$system_msiexec" "$japanese"
    # The arrow keys stay within the languages, and Space chooses the focused one.
    rm -f "$record" "$program"
    run_app 'C:\qjxw\window_app.exe'
    drive wait-focus "$win" 1003 || fail "English did not take the focus"
    drive key "$win" 0x25 # left, round to Japanese
    drive wait-focus "$win" 1005 || fail "Left did not move round to Japanese"
    drive key "$win" 0x27 # right, round to English
    drive wait-focus "$win" 1003 || fail "Right did not move round to English"
    drive key "$win" 0x20
    drive wait-gone "$win" || fail "Space did not choose English"
    expect_record "$system_msiexec" "$msiexec/I ${folder}Velmora.msi "
    # Esc at the choice closes without starting anything.
    rm -f "$record" "$program"
    run_app 'C:\qjxw\window_app.exe'
    drive key "$win" 0x1B
    drive wait-gone "$win" || fail "Esc did not close the window"
    sleep 0.5
    [ ! -e "$record" ] || fail "Esc started msiexec: $(cat "$record")"
    ;;

  languages)
    # A vendor's list: French (the second language, with its transform) by click, by Tab and
    # Enter, by its mnemonic, and by Enter alone where it is the user's language; a language
    # without a transform installs the package as it is; a language chosen beforehand starts
    # without the buttons.
    export QJX_TEST_LANGUAGES='en=&English|fr=&Fran\u00E7ais=Velmora_fr.mst|de=&Deutsch=Velmora_de.mst'
    french="$msiexec/I ${folder}Velmora.msi transforms=\"${folder}Velmora_fr.mst\" "
    rm -f "$record" "$program"
    launch 'C:\qjxw\window_app.exe' 1041 1042
    expect_record "$system_msiexec" "$french"
    rm -f "$record" "$program"
    launch 'C:\qjxw\window_app.exe' 1040 1042
    expect_record "$system_msiexec" "$msiexec/I ${folder}Velmora.msi "
    rm -f "$record" "$program"
    run_app 'C:\qjxw\window_app.exe' 1042
    drive wait-focus "$win" 1040 || fail "the first language did not take the focus"
    drive key "$win" 0x09
    drive wait-focus "$win" 1041 || fail "Tab did not move to French"
    drive key "$win" 0x0D
    drive wait-gone "$win" || fail "Enter did not choose French"
    expect_record "$system_msiexec" "$french"
    # The arrows go round all of them: Left from the first reaches the last.
    rm -f "$record" "$program"
    run_app 'C:\qjxw\window_app.exe' 1042
    drive key "$win" 0x25
    drive wait-focus "$win" 1042 || fail "Left did not move round to the last language"
    drive alt-key "$win" 0x46 # Alt+F
    drive wait-gone "$win" || fail "Alt+F did not choose French"
    expect_record "$system_msiexec" "$french"
    rm -f "$record" "$program"
    QJX_TEST_FOCUS=1 run_app 'C:\qjxw\window_app.exe' 1042
    drive wait-focus "$win" 1041 || fail "the user's language did not take the focus"
    drive key "$win" 0x0D
    drive wait-gone "$win" || fail "Enter did not choose the user's language"
    expect_record "$system_msiexec" "$french"
    rm -f "$record" "$program" "$work/pid"
    drive end "$win_pid"
    QJX_TEST_CHOSEN=1 "$QJX_WINE_RUN" "$QJX_DRIVE" run 'C:\qjxw\window_app.exe' \
      "$(winpath "$work/pid")" >/dev/null 2>&1 </dev/null || fail "cannot start window_app"
    win_pid=$(tr -d '\r\n' <"$work/pid")
    expect_record "$system_msiexec" "$french"
    ;;

  *) fail "unknown case $case_name" ;;
esac
echo "ok: $case_name"
