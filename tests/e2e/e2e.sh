#!/usr/bin/env bash
# End-to-end scenarios of the stub under Wine in Xvfb. Each builds a real installer from real
# files, runs the real stub with its own %TEMP% and checks what a user sees: windows, message
# boxes, extracted files, the recorded installer command line, the exit code.
#
# Usage: e2e.sh CASE   (environment from tests/e2e/CMakeLists.txt: QJX_BIN, QJX_E2E_BIN,
#                       QJX_WORK, QJX_SOURCE; the tree's wine_env.sh gives the Wine prefix and
#                       loader; DISPLAY from the test run)
set -euo pipefail
case_name=${1:?usage: e2e.sh CASE}
source "${QJX_BIN:?}/wine_env.sh"
: "${DISPLAY:?the scenarios need an X display (scripts/xvfb.sh)}"

stub=$QJX_BIN/startup/qjxsea.exe
title=Velmora  # the progress window's title: the product name
tools=$QJX_E2E_BIN
support=$QJX_BIN/tests/support
recorder_script=$QJX_SOURCE/tests/support/msiexec_recorder.sh
work=$QJX_WORK/$case_name
rm -rf "$work"
mkdir -p "$work/temp"
cd "$work"

fail() {
    echo "FAIL [$case_name]: $*" >&2
    exit 1
}

# Cleanup runs on every exit: a failed scenario must not leave its stub's window behind for the
# next one to find, nor the prefix changed.
cleanups=()
on_exit() {
    local step
    if [ -n "${stub_pid:-}" ] && kill -0 "$stub_pid" 2>/dev/null; then
        for _ in 1 2 3 4 5; do
            drive message-box 0 >/dev/null 2>&1 || true
            drive close "$title" >/dev/null 2>&1 || true
            kill -0 "$stub_pid" 2>/dev/null || break
            sleep 0.5
        done
    fi
    for step in "${cleanups[@]}"; do eval "$step" || true; done
}
trap on_exit EXIT
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }

# Windows path of a Unix path (the prefix maps / to Z:).
winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
drive() { wine "$support/qjxdrive.exe" "$@" </dev/null | tr -d '\r'; }
wine_tool() { wine "$tools/$1.exe" "${@:2}" </dev/null; }

# mkinstaller OUT [--quiet] ENTRY...: the stub followed by a payload of the given entries.
mkinstaller() { wine_tool mkinstaller "$1" "$(winpath "$stub")" "${@:2}" >/dev/null; }

# start_stub SETUP [ARGUMENTS]: runs the installer in the background with %TEMP% = ./temp; the
# stub's command line is the quoted program path, then ARGUMENTS exactly as given.
start_stub() {
    # The driver finds windows by title: another stub's window must not be taken for this one.
    # Asked twice: a driver that Wine failed to start at all answers at once, as a window would.
    drive wait-gone Velmora 10000 >/dev/null || drive wait-gone Velmora 10000 >/dev/null ||
        fail "a Velmora window is open already"
    rm -f "$work/exit_code.txt"
    local line="\"$(winpath "$1")\""
    [ -n "${2:-}" ] && line+=" $2"
    # stub_temp_win: a Windows path taken as it is, links unresolved.
    wine "$tools/with_temp.exe" "${stub_temp_win:-$(winpath "${stub_temp:-temp}")}\\" "$line" </dev/null >/dev/null 2>&1 &
    stub_pid=$!
}
# wait_stub [CODE]: waits for the stub and checks the exit code: 1 without switches, as always.
# Started through with_temp, the whole code comes from its file; Linux sees only the low byte.
export QJX_EXIT_CODE_FILE
QJX_EXIT_CODE_FILE=$(winpath "$work/exit_code.txt")
wait_stub() {
    local code=0
    wait "$stub_pid" || code=$?
    if [ -f "$work/exit_code.txt" ]; then
        code=$(tr -d '\r\n' <"$work/exit_code.txt")
        rm -f "$work/exit_code.txt"
    fi
    expect_eq "$code" "${1:-1}" "exit code"
}

# wait_quiet_stub [CODE]: only error boxes may show in quiet mode; a clean run shows nothing.
wait_quiet_stub() {
    while kill -0 "$stub_pid" 2>/dev/null; do
        if drive wait-window Velmora 0 >/dev/null; then fail "the progress window opened"; fi
        if drive message-box 0 >/dev/null 2>&1; then fail "a message box appeared"; fi
    done
    wait_stub "${1:-1}"
}

# expect_message_box CAPTION TEXT: a message box shows exactly this; the driver presses OK.
expect_message_box() {
    local seen
    seen=$(drive message-box 20000) || fail "no message box (wanted \"$2\")"
    expect_eq "$seen" "$1|$2" "message box"
}

# screenshot FILE: the progress window as it shows now.
screenshot() {
    # A repaint requested by the worker can be lost under Wine: repaint before the picture.
    sleep 1
    drive repaint "$title" >/dev/null
    sleep 0.5
    local left top width height
    read -r left top width height < <(drive window-rect "$title")
    import -window root -crop "${width}x${height}+$left+$top" +repage "$1" || fail "screenshot"
}

# The folders the stub created under ./temp.
created_folders() { find temp -mindepth 1 -maxdepth 1 -type d -printf '%f\n' | sort; }
# The one folder the stub created; its name is "QJX" and at most five lowercase hex digits.
created_folder() {
    local folders
    folders=$(created_folders)
    [ "$(wc -l <<<"$folders")" -eq 1 ] && [ -n "$folders" ] || fail "expected one folder, got [$folders]"
    [[ "$folders" =~ ^QJX[0-9a-f]{1,5}$ ]] || fail "folder name $folders"
    echo "temp/$folders"
}
expect_no_folder() { expect_eq "$(created_folders)" "" "folders created"; }

# Files with content that shows misplaced or dropped bytes.
make_file() { head -c "$2" /dev/urandom >"$1"; }

# The language buttons replace Cancel once the extraction succeeded.
wait_language_buttons() {
    for _ in $(seq 1 100); do
        drive controls "$title" | grep -qE "^1004 Button .* 1 1( |$)" && return 0
    done
    fail "no language buttons"
}

# cancel_mid_run: presses Cancel once the progress bar has moved, before the buttons show.
cancel_mid_run() {
    drive wait-window Velmora >/dev/null || fail "no progress window"
    local position=0 controls
    while [ "$position" -eq 0 ]; do
        controls=$(drive controls Velmora)
        position=$(awk '$1 == 1010 {print $9}' <<<"$controls")
        [ -n "$position" ] || fail "no progress bar"
    done
    [ "$position" -lt 100 ] || fail "the payload was extracted before Cancel could be pressed"
    grep -qE '^1004 Button .* 0 0( |$)' <<<"$controls" || fail "language buttons shown: $controls"
    drive click Velmora 2 >/dev/null || fail "click Cancel"
}

use_recorder() {
    bash "$recorder_script" install "$support/msiexec_recorder.exe"
    cleanups+=('bash "$recorder_script" restore')
    record=$(bash "$recorder_script" record)
    record_done=$(bash "$recorder_script" done)
}
# The parameters the recorder received: its command line without its own program name.
recorded_parameters() {
    # The stub does not wait for the installer, so the record may come a little later.
    for _ in $(seq 1 100); do [ -s "$record" ] && break; sleep 0.1; done
    [ -f "$record" ] || fail "the installer was not started"
    [ "$(wc -l <"$record")" -eq 1 ] || fail "the installer was started $(wc -l <"$record") times"
    sed -E 's/^("[^"]*"|[^ ]*) //' "$record" | tr -d '\n'
}

# A typical payload: the package, both transforms, a folder with a file, an empty file.
make_sample_payload() {
    mkdir -p files
    make_file files/package 70001
    make_file files/german 5120
    make_file files/japanese 5121
    make_file files/nested 1
    : >files/empty
    sample_entries=('\Velmora.msi=files/package' '\Velmora_German.mst=files/german'
        '\Velmora_Japanese.mst=files/japanese' '\Docs/' '\Docs\Liesmich.txt=files/nested'
        '\leer.dat=files/empty')
}
expect_sample_files() {
    local folder=$1
    cmp files/package "$folder/Velmora.msi" || fail "Velmora.msi differs"
    cmp files/german "$folder/Velmora_German.mst" || fail "Velmora_German.mst differs"
    cmp files/japanese "$folder/Velmora_Japanese.mst" || fail "Velmora_Japanese.mst differs"
    cmp files/nested "$folder/Docs/Liesmich.txt" || fail "Docs\\Liesmich.txt differs"
    cmp files/empty "$folder/leer.dat" || fail "leer.dat differs"
}

case_quiet_flag() {
    use_recorder
    make_sample_payload
    mkinstaller Setup.exe --quiet "${sample_entries[@]}"
    # Waiting changes nothing here: the folder stays, and success is 0 once a switch is given.
    start_stub Setup.exe "/qb /SeaWait"
    wait_quiet_stub 0
    expect_sample_files "$(created_folder)"
    sleep 1  # a started installer would record itself a moment after the stub's end
    [ ! -f "$record" ] || fail "quiet mode started the installer: $(cat "$record")"

    # A %TEMP% reached through a link, which its owner may point elsewhere at any time while the
    # package waits for the installer: an elevated run (every run under Wine) extracts into the
    # system's temporary folder instead.
    mkdir real_temp
    ln -s "$work/real_temp" linked_temp
    stub_temp_win="Z:$(pwd | tr / '\\')\\linked_temp" start_stub Setup.exe "/SeaWait \"/SeaLog:$(winpath .)\\linked.log\""
    wait_quiet_stub 0
    expect_eq "$(ls real_temp)" "" "what the linked temporary folder holds"
    local system_folder
    system_folder=$(sed -nE 's/^.*folder: C:\\windows\\Temp\\(QJX[0-9a-f]{1,5})\\\r?$/\1/Ip' linked.log)
    [ -n "$system_folder" ] || fail "log: $(cat linked.log)"
    system_folder="$WINEPREFIX/drive_c/windows/temp/$system_folder"
    cleanups+=("rm -rf '$system_folder'")
    expect_sample_files "$system_folder"
}

# Without a trailer the probe answers no: the progress window opens, then the job's message.
case_no_trailer() {
    cp "$stub" Setup.exe
    start_stub Setup.exe
    drive wait-window Velmora >/dev/null || fail "no progress window"
    expect_message_box "QJX Error" "This is not a valid QJX SEA file!"
    wait_stub
    expect_no_folder
    # Unattended, the same damage is a code a deployment tool tells apart, and nothing shows.
    start_stub Setup.exe "/SeaQuiet /qn"
    wait_quiet_stub 1620
    # Branded by the packer, the message box carries the product's name.
    title="Korrin Tools"
    wine "$QJX_BIN/tools/qjxpack.exe" brand -o Branded.exe --stub "$(winpath "$stub")" \
        --product-name "$title" </dev/null >/dev/null
    start_stub Branded.exe
    drive wait-window "$title" >/dev/null || fail "no branded progress window"
    expect_message_box "$title" "This is not a valid QJX SEA file!"
    wait_stub
    expect_no_folder
}

# Trailers with the magic whose payload lies outside the file or over the trailer.
case_damaged_trailer() {
    make_file data 10000
    mkinstaller Good.exe '\data.bin=data'
    local size trailer
    size=$(stat -c %s Good.exe)
    trailer=$((size - 32))
    for damage in beyond-end over-trailer offset-beyond-end; do
        cp Good.exe Setup.exe
        case $damage in
            beyond-end) printf '\xff\xff\xff\x7f' | dd of=Setup.exe bs=1 seek=$((trailer + 16)) conv=notrunc status=none ;;
            over-trailer) # payload_size reaching one byte into the trailer
                local offset
                offset=$(od -An -tu4 -j $((trailer + 8)) -N4 Good.exe | tr -d ' ')
                python3 -c "import struct,sys; sys.stdout.buffer.write(struct.pack('<Q', $trailer - $offset + 1))" |
                    dd of=Setup.exe bs=1 seek=$((trailer + 16)) conv=notrunc status=none ;;
            offset-beyond-end) printf '\xf0\xff\xff\x7f' | dd of=Setup.exe bs=1 seek=$((trailer + 8)) conv=notrunc status=none ;;
        esac
        start_stub Setup.exe
        expect_message_box "QJX Error" "This is not a valid QJX SEA file!"
        wait_stub
        expect_no_folder
    done
}

# A signed installer damaged after signing (one flipped payload byte, as a bad download would
# have it): the system's signature check tells, and even a quiet stub refuses with a message
# flip_payload_byte IN OUT: OUT is IN with one byte flipped 40000 bytes into the payload, which
# starts where Setup.exe's trailer says (a signature after it leaves that offset alone).
flip_payload_byte() {
    local offset byte
    offset=$(($(od -An -tu4 -j $(($(stat -c %s Setup.exe) - 32 + 8)) -N4 Setup.exe) + 40000))
    byte=$(od -An -tu1 -j "$offset" -N1 "$1")
    cp "$1" "$2"
    printf "\\x$(printf %02x $((byte ^ 1)))" | dd of="$2" bs=1 seek="$offset" conv=notrunc status=none
    [ "$(cmp -l "$1" "$2" | wc -l)" -eq 1 ] || fail "not one byte flipped"
}

# before it creates a folder. The same installer intact extracts.
case_damaged_signature() {
    make_sample_payload
    # The packer puts the trailer where the certificate table follows it directly.
    wine "$QJX_BIN/tools/qjxpack.exe" create -o Setup.exe --stub "$(winpath "$stub")" --quiet \
        files/. </dev/null >/dev/null
    openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
        -subj "/CN=QJX test signing" >/dev/null 2>&1
    osslsigncode sign -certs cert.pem -key key.pem -in Setup.exe -out Signed.exe >/dev/null
    start_stub Signed.exe
    wait_quiet_stub
    cmp files/package "$(created_folder)/package" || fail "the intact signed installer"

    rm -rf temp && mkdir temp
    flip_payload_byte Signed.exe Damaged.exe
    start_stub Damaged.exe
    expect_message_box "QJX Error" \
        "The installer is damaged: its signature does not match its contents. Download it again."
    wait_stub
    expect_no_folder
}

# qjxpack_create OUT FOLDER: a quiet installer of the folder's contents, bound to its payload.
qjxpack_create() {
    wine "$QJX_BIN/tools/qjxpack.exe" create -o "$1" --stub "$(winpath "$stub")" --quiet "$2/." \
        </dev/null >/dev/null || fail "qjxpack create $1"
}

# One byte of the payload changed after create: the digest in the stub's image no longer
# matches, so nothing is created, with a message in a windowed run and 1620 in an unattended
# one, whose log names the reason. The intact installer extracts.
case_changed_payload() {
    make_sample_payload
    qjxpack_create Setup.exe files
    flip_payload_byte Setup.exe Changed.exe
    start_stub Changed.exe
    expect_message_box "QJX Error" \
        "The installer is damaged: its contents are not what it was made with. Download it again."
    wait_stub
    expect_no_folder
    start_stub Changed.exe "/SeaQuiet \"/SeaLog:$(winpath run.log)\""
    wait_quiet_stub 1620
    expect_no_folder
    grep -q "payload: does not match the digest in the program" run.log || fail "log: $(cat run.log)"
    start_stub Setup.exe "/SeaQuiet \"/SeaLog:$(winpath intact.log)\""
    wait_quiet_stub 0
    cmp files/package "$(created_folder)/package" || fail "the intact installer"
    grep -q "payload: matches the digest in the program" intact.log || fail "log: $(cat intact.log)"
}

# The program renamed while its run is suspended (mapped, none of its code run yet), and another
# installer put at its path, as anyone who can write its folder can do: the run opens the other
# file, but the digest comes from the image that runs, so it extracts nothing and exits 1620.
# Unswapped, the same suspended run extracts.
case_swapped_program() {
    make_sample_payload
    qjxpack_create Setup.exe files
    mkdir other && echo planted >other/planted.txt
    qjxpack_create Other.exe other
    local round
    for round in intact swapped; do
        rm -rf out pid.txt pid.txt.go
        wine "$tools/with_temp.exe" "$(winpath temp)\\" \
            "\"$(winpath "$support/qjxdrive.exe")\" run-suspended \"$(winpath "$work/Setup.exe") /SeaExtract:$(winpath "$work/out")\" $(winpath "$work/pid.txt")" \
            </dev/null >/dev/null 2>&1 &
        stub_pid=$!
        for _ in $(seq 600); do [ -s pid.txt ] && break; sleep 0.1; done
        [ -s pid.txt ] || fail "the suspended run did not start"
        if [ $round = swapped ]; then
            mv Setup.exe Renamed.exe
            cp Other.exe Setup.exe
        fi
        touch pid.txt.go
        if [ $round = intact ]; then
            wait_stub 0
            cmp files/package out/package || fail "the unswapped run"
        else
            wait_stub 1620
            [ ! -e out ] || fail "the swapped run wrote: $(find out)"
        fi
    done
    expect_no_folder
}

# A program file the stub cannot open for reading: another program holds it without sharing.
case_unreadable_program() {
    make_sample_payload
    mkinstaller Setup.exe "${sample_entries[@]}"
    wine "$tools/with_temp.exe" "$(winpath temp)\\" "\"$(winpath Setup.exe)\"" "$(winpath Setup.exe)" \
        </dev/null >/dev/null 2>&1 &
    stub_pid=$!
    expect_message_box "$(winpath Setup.exe)" "Error: Could not open the file for reading."
    wait_stub
    expect_no_folder
}

case_entry_path_too_long() {
    make_sample_payload
    # Folder and name together reach 260 bytes even for the shortest folder name, "QJX" and one
    # digit: the name is refused, earlier entries stay.
    local shortest_folder name
    shortest_folder=$(($(winpath temp | wc -c) - 1 + 1 + 5))
    name='\'$(printf 'n%.0s' $(seq 1 $((260 - shortest_folder - 1))))
    mkinstaller Setup.exe '\Velmora.msi=files/package' "$name=files/nested"
    start_stub Setup.exe
    drive wait-window Velmora >/dev/null || fail "no progress window"
    expect_message_box "$name" $'Filename exceeds maximum length.\nTry decrypting to the root of a volume.'
    drive wait-gone Velmora 5000 >/dev/null || fail "the window stayed after the message"
    wait_stub
    cmp files/package "$(created_folder)/Velmora.msi" || fail "earlier entry lost"
}

case_output_file_not_created() {
    make_sample_payload
    # A file in a folder that has no entry of its own cannot be created.
    mkinstaller Setup.exe '\Velmora.msi=files/package' '\missing\file.txt=files/nested'
    start_stub Setup.exe
    drive wait-window Velmora >/dev/null || fail "no progress window"
    local seen folder
    seen=$(drive message-box 20000) || fail "no message box"
    folder=$(created_folder)
    expect_eq "$seen" "$(winpath "$folder")\\missing\\file.txt|Error decoding file" "message box"
    drive wait-gone Velmora 5000 >/dev/null || fail "the window stayed after the message"
    wait_stub
    cmp files/package "$folder/Velmora.msi" || fail "earlier entry lost"
}

# Stubs started in the same second once drew the same names, and anyone could compute them from
# the clock. Quiet runs, four at a time, each extract into a folder of their own, and the names do
# not follow the runtime's generator seeded with the start second (its first 32 draws, as the
# old stub retried). At 20 bits one match by chance is allowed.
case_same_second_names() {
    make_sample_payload
    mkinstaller Setup.exe --quiet "${sample_entries[@]}"
    local first last round pid code names clock_names matches
    local pids=()
    first=$(date +%s)
    for round in 1 2 3 4; do
        pids=()
        for _ in 1 2 3 4; do
            wine "$tools/with_temp.exe" "$(winpath temp)\\" "\"$(winpath Setup.exe)\"" </dev/null >/dev/null 2>&1 &
            pids+=($!)
        done
        for pid in "${pids[@]}"; do
            code=0
            wait "$pid" || code=$?
            expect_eq "$code" 1 "exit code"
        done
    done
    last=$(date +%s)
    names=$(created_folders)
    expect_eq "$(wc -l <<<"$names")" 16 "folders created"
    while read -r name; do
        [[ "$name" =~ ^QJX[0-9a-f]{1,5}$ ]] || fail "folder name $name"
        expect_sample_files "temp/$name"
    done <<<"$names"
    clock_names=$(wine_tool first_names $((first - 1)) $((last - first + 3)) 32 | tr -d '\r' | sort -u)
    [ "$(wc -l <<<"$clock_names")" -ge 64 ] || fail "too few clock names computed"
    matches=$(comm -12 <(echo "$names") <(echo "$clock_names"))
    [ "$(grep -c . <<<"$matches")" -le 1 ] || fail "names follow the clock: $matches"
}

# A %TEMP% so long that "QJX", five digits and "\" would not fit the 260-byte folder buffer:
# 251 characters with its final backslash. The system itself would still create that folder.
case_long_temp() {
    make_sample_payload
    mkinstaller Setup.exe --quiet "${sample_entries[@]}"
    local deep=temp length
    length() { local path; path=$(winpath "$1"); echo ${#path}; }
    while [ $(($(length "$deep") + 60)) -lt 250 ]; do deep+=/dddddddddddddddddddddddddddddd; done
    deep+=/$(head -c $((250 - $(length "$deep") - 1)) /dev/zero | tr '\0' e)
    mkdir -p "$deep"
    expect_eq "$(length "$deep")" 250 "temp path length"
    wine "$tools/with_temp.exe" "$(winpath "$deep")\\" "\"$(winpath Setup.exe)\"" </dev/null >/dev/null 2>&1 &
    stub_pid=$!
    expect_message_box "QJX Error" "Error: Could not create the temporary folder."
    wait_stub
    stub_temp=$deep start_stub Setup.exe "/SeaQuiet"
    wait_quiet_stub 1632
    [ -z "$(find temp -name 'QJX*')" ] || fail "a folder was created: $(find temp -name 'QJX*')"
}

# A program path of 260 characters or more comes back from the system cut (and on older systems
# unterminated): the stub names the cut path and opens nothing.
case_long_program_path() {
    make_sample_payload
    local deep=deep
    while [ ${#deep} -lt 300 ]; do deep+=/dddddddddddddddddddddddddddddd; done
    mkdir -p "$deep"
    mkinstaller "$deep/Setup.exe" --quiet "${sample_entries[@]}"
    local path
    path=$(winpath "$deep/Setup.exe")
    [ ${#path} -ge 260 ] || fail "the path is only ${#path} characters long"
    # Wine cannot start it by CreateProcess (error 123), but from its Unix path.
    wine "$work/$deep/Setup.exe" </dev/null >/dev/null 2>&1 &
    stub_pid=$!
    expect_message_box "${path:0:259}" "Error: Could not open the file for reading."
    wait_stub
}

# A user whose profile folder has letters outside the ANSI code page (1252 here) gets '?' for
# them from GetTempPathA. The stub extracts into that folder through its short form, and the
# installer gets short paths that name the extracted files.
case_non_ansi_temp() {
    use_recorder
    make_sample_payload
    mkinstaller Setup.exe "${sample_entries[@]}"
    stub_temp="temp/Пользователь"
    mkdir -p "$stub_temp"
    start_stub Setup.exe
    drive wait-window Velmora >/dev/null || fail "no progress window"
    wait_language_buttons
    drive click Velmora 1004 >/dev/null || fail "click German"
    wait_stub
    local folder parameters
    folder=$(find "$stub_temp" -mindepth 1 -maxdepth 1 -type d -printf '%f\n')
    [[ "$folder" =~ ^QJX[0-9a-f]{1,5}$ ]] || fail "created: [$folder]"
    expect_sample_files "$stub_temp/$folder"
    parameters=$(recorded_parameters)
    [[ "$parameters" =~ ^/I\ ([^\ \"]+)\ transforms=\"([^\"]+)\"\ $ ]] ||
        fail "installer parameters [$parameters]"
    # Wine's short names are not Windows' own; here they must name the extracted files.
    cmp files/package "$(winepath -u "${BASH_REMATCH[1]}")" || fail "package path ${BASH_REMATCH[1]}"
    cmp files/german "$(winepath -u "${BASH_REMATCH[2]}")" || fail "transform path ${BASH_REMATCH[2]}"
}

# The window, the progress, the three buttons, and each language starting the installer with
# the parameters built from the created folder and the stub's own arguments.
case_windowed_languages() {
    use_recorder
    make_sample_payload
    mkdir -p "Down loads"
    mkinstaller "Down loads/Setup.exe" "${sample_entries[@]}"
    local screen_w screen_h
    read -r screen_w screen_h < <(drive screen-size)
    local button transform arguments
    for button in 1003 1004 1005; do
        case $button in
            1003) transform="" arguments="" ;;
            # A value outside the ANSI code page reaches the installer as given.
            1004) transform=Velmora_German.mst arguments='/qb "TARGETDIR=C:\My Apps" INSTALLDIR="C:\製品"' ;;
            1005) transform=Velmora_Japanese.mst arguments='  /l*v log.txt' ;;
        esac
        rm -rf temp && mkdir temp && rm -f "$record"
        start_stub "Down loads/Setup.exe" "$arguments"
        drive wait-window Velmora >/dev/null || fail "no progress window"
        # Centred by its client area, which the background picture sizes.
        local left top width height
        read -r left top _ _ < <(drive window-rect Velmora)
        read -r width height < <(drive client-size Velmora)
        expect_eq "$left $top" "$(((screen_w - width) / 2)) $(((screen_h - height) / 2))" "window position"
        drive wait-progress Velmora 1010 100 20000 >/dev/null || fail "the progress bar did not reach 100"
        local controls
        for _ in $(seq 1 100); do
            controls=$(drive controls Velmora)
            grep -qE "^1005 Button .* 1 1( |$)" <<<"$controls" && break
        done
        for id in 1003 1004 1005; do
            grep -qE "^$id Button .* 1 1( |$)" <<<"$controls" || fail "button $id not shown: $controls"
        done
        grep -qE "^2 Button .* 0 0( |$)" <<<"$controls" || fail "Cancel still shown: $controls"
        local folder
        folder=$(created_folder)
        expect_sample_files "$folder"
        drive click Velmora $button >/dev/null || fail "click $button"
        wait_stub
        local win_folder expected
        win_folder=$(winpath "$folder")\\
        expected="/I ${win_folder}Velmora.msi"
        [ -n "$transform" ] && expected+=" transforms=\"$win_folder$transform\""
        expected+=" "
        [ -n "$arguments" ] && expected+=" $arguments"
        expect_eq "$(recorded_parameters)" "$expected" "installer parameters for $button"
    done
}

# Cancel while a large payload extracts: the window hides at once, the job stops, nothing is
# started, and what was extracted so far stays. Many files make the extraction last seconds.
case_cancel() {
    use_recorder
    make_sample_payload
    make_file files/part 4096
    mkinstaller Setup.exe '\Velmora.msi=files/package' --copies 2000 '\part=files/part' \
        '\Velmora_German.mst=files/german'
    start_stub Setup.exe
    cancel_mid_run
    drive wait-gone Velmora 0 >/dev/null || fail "the window did not hide at once"
    wait_stub
    local folder parts
    folder=$(created_folder)
    cmp files/package "$folder/Velmora.msi" || fail "Velmora.msi differs"
    parts=$(find "$folder" -name 'part*' | wc -l)
    [ "$parts" -gt 0 ] && [ "$parts" -lt 2000 ] || fail "$parts of 2000 parts extracted"
    [ ! -e "$folder/Velmora_German.mst" ] || fail "extraction went on after Cancel"
    sleep 1  # a started installer would record itself a moment after the stub's end
    [ ! -f "$record" ] || fail "the installer was started: $(cat "$record")"
}

# The program's own path and the entry names beyond ASCII: on the NT family through UTF-16, on
# the 9x family (Wine's per-program win98 version) through the ANSI code page.
non_ascii_paths() { # FOLDER
    make_sample_payload
    mkdir -p "$1"
    mkinstaller "$1/Setup.exe" --quiet '\Velmora.msi=files/package' '\Größe.txt=files/nested'
    start_stub "$1/Setup.exe"
    wait_quiet_stub
    local created
    created=$(created_folder)
    cmp files/package "$created/Velmora.msi" || fail "Velmora.msi differs"
    cmp files/nested "$created/Größe.txt" || fail "Größe.txt differs"
}
case_non_ascii_paths() { non_ascii_paths "ダウンロード Ü"; }
case_non_ascii_paths_9x() {
    wine reg add 'HKCU\Software\Wine\AppDefaults\Setup.exe' /v Version /d win98 /f >/dev/null 2>&1
    cleanups+=("wine reg delete 'HKCU\Software\Wine\AppDefaults\Setup.exe' /f >/dev/null 2>&1")
    non_ascii_paths "Übertragung"
}

# On the 9x family names reach the system in the ANSI code page, where best-fit mapping turns a
# fullwidth "．．＼" into "..\\" after the name check passed it: such a name is a damaged
# payload, and nothing lands beside or above the run's folder.
case_fullwidth_dots_9x() {
    wine reg add 'HKCU\Software\Wine\AppDefaults\Setup.exe' /v Version /d win98 /f >/dev/null 2>&1
    cleanups+=("wine reg delete 'HKCU\Software\Wine\AppDefaults\Setup.exe' /f >/dev/null 2>&1")
    make_sample_payload
    mkinstaller Setup.exe --quiet '\Velmora.msi=files/package' '\．．＼pwn.txt=files/nested'
    start_stub Setup.exe "/SeaQuiet"
    wait_quiet_stub 1620
    [ ! -e temp/pwn.txt ] && [ ! -e pwn.txt ] || fail "the name climbed out of the folder"
    find temp -name 'pwn.txt' | grep -q . && fail "pwn.txt was written: $(find temp)"
    true
}

# Unattended: no window and no message box, the language from the switch, the stand-in installer
# waited for and its exit code returned, the stub's switches kept from it, the log written, and
# nothing left in %TEMP%.
case_unattended_quiet() {
    use_recorder
    make_sample_payload
    mkinstaller Setup.exe "${sample_entries[@]}"
    export QJX_MSIEXEC_EXIT=3010 QJX_MSIEXEC_PAUSE_MS=1500
    mkdir "log dir"
    start_stub Setup.exe "/SeaQuiet /SeaLang:de /qn \"/SeaLog:$(winpath "log dir")\\setup.log\" INSTALLDIR=\"C:\\製品\" /norestart"
    wait_quiet_stub 3010
    [ -f "$record_done" ] || fail "the stub ended before the installer"
    local parameters
    parameters=$(recorded_parameters)
    [[ "$parameters" =~ ^/I\ (.*\\)Velmora.msi\ transforms=\"(.*\\)Velmora_German.mst\"\ \ /qn\ INSTALLDIR=\"C:\\製品\"\ /norestart$ ]] ||
        fail "installer parameters [$parameters]"
    expect_no_folder
    local log="log dir/setup.log"
    grep -q "MSIExec exit code: 3010" "$log" || fail "log: $(cat "$log")"
    grep -q "entry: .*Velmora_German.mst" "$log" || fail "no entries in the log"
    grep -q "exit code: 3010" "$log" || fail "no exit code in the log"
    # A misspelt switch stops the run before anything is made, and never reaches the installer.
    rm -f "$record"
    start_stub Setup.exe "/SeaQiet /qn"
    wait_quiet_stub 1639
    expect_no_folder
    [ ! -f "$record" ] || fail "the installer was started: $(cat "$record")"
    # Not even the log, nor its folders.
    start_stub Setup.exe "/SeaQiet \"/SeaLog:$(winpath "bad log/new")\\setup.log\""
    wait_quiet_stub 1639
    [ ! -e "bad log" ] || fail "a bad switch made the log: $(find "bad log")"

    # While the installer runs, someone who can write the program's folder puts another file in
    # its place whose entries climb out of the run's folder: the clean-up reads the file it
    # extracted, which it held all along, and deletes nothing outside.
    rm -f "$record" "$record_done"
    echo victim >victim.txt
    echo victim >temp/victim.txt
    export QJX_MSIEXEC_PAUSE_MS=4000
    start_stub Setup.exe "/SeaQuiet /qn"
    for _ in $(seq 1 200); do [ -s "$record" ] && break; sleep 0.1; done
    [ -s "$record" ] || fail "the installer was not started"
    mv Setup.exe Setup.orig
    mkinstaller Setup.exe '\..\victim.txt=files/nested' '\..\..\victim.txt=files/nested' \
        '\..\..\victim.txt=files/nested' '\..\..\victim.txt=files/nested' \
        '\..\..\victim.txt=files/nested' '\..\..\victim.txt=files/nested'
    wait_quiet_stub 3010
    [ -f "$record_done" ] || fail "the stub ended before the installer"
    [ -f victim.txt ] && [ -f temp/victim.txt ] || fail "the clean-up deleted files outside its folder"
    rm temp/victim.txt
    expect_no_folder

    # A payload that ends inside an entry is a damaged installer (1620) and leaves nothing
    # behind; a %TEMP% that fills up is an installation failure (1603) that leaves the volume
    # empty, with the file and the system's reason in the log, and no box.
    mv -f Setup.orig Setup.exe
    local trailer
    trailer=$(($(stat -c %s Setup.exe) - 32))
    # payload_size cut to end inside the package's data
    python3 -c "import struct,sys; sys.stdout.buffer.write(struct.pack('<Q', 5000))" |
        dd of=Setup.exe bs=1 seek=$((trailer + 16)) conv=notrunc status=none
    start_stub Setup.exe "/SeaQuiet /qn"
    wait_quiet_stub 1620
    expect_no_folder

    mkdir small
    if ! mount -t tmpfs -o size=1m tmpfs small 2>/dev/null; then
        echo "SKIPPED: the full-disk part needs a tmpfs mount (not allowed here)" >&2
        return 0
    fi
    cleanups+=("umount '$work/small'")
    make_file files/package 3000000
    mkinstaller Big.exe "${sample_entries[@]}"
    stub_temp=small start_stub Big.exe "/SeaQuiet \"/SeaLog:$(winpath .)\\full.log\""
    wait_quiet_stub 1603
    expect_eq "$(find small -mindepth 1 | wc -l)" 0 "what the full volume holds"
    grep -qE "failure: writing a file failed: .*Velmora.msi \(system error 112: .+\)" full.log ||
        fail "log: $(cat full.log)"
}

# Waiting behind the window: the buttons still choose and /SeaKeep keeps the folder; Cancel is
# 1602 and takes what was extracted so far; /SeaLang takes its language without a click.
case_unattended_windowed() {
    use_recorder
    make_sample_payload
    mkinstaller Setup.exe "${sample_entries[@]}"
    export QJX_MSIEXEC_EXIT=1603 QJX_MSIEXEC_PAUSE_MS=500
    start_stub Setup.exe "-seawait /SeaKeep /qb"
    drive wait-window Velmora >/dev/null || fail "no progress window"
    wait_language_buttons
    drive click Velmora 1005 >/dev/null || fail "click Japanese"
    wait_stub 1603
    [[ "$(recorded_parameters)" == *"Velmora_Japanese.mst\"  /qb" ]] || fail "parameters $(recorded_parameters)"
    expect_sample_files "$(created_folder)"

    rm -rf temp && mkdir temp && rm -f "$record"
    make_file files/part 4096
    mkinstaller Large.exe '\Velmora.msi=files/package' --copies 2000 '\part=files/part'
    start_stub Large.exe "/SeaWait"
    cancel_mid_run
    wait_stub 1602
    expect_no_folder

    export QJX_MSIEXEC_EXIT=0
    start_stub Setup.exe "/SeaLang:1041 /SeaWait"
    wait_stub 0
    [[ "$(recorded_parameters)" == *"Velmora_Japanese.mst\" " ]] || fail "parameters $(recorded_parameters)"
    expect_no_folder
}

# language_installer OUT FOLDER OPTION...: an installer of FOLDER's files, made by the packer
# from the stock stub with the given options (--language CODE=TEXT, --transform CODE=NAME).
language_installer() {
    wine "$QJX_BIN/tools/qjxpack.exe" create -o "$1" --stub "$(winpath "$stub")" "${@:3}" \
        "$(winpath "$2")\\." </dev/null >create.txt 2>&1 || fail "create: $(cat create.txt)"
}
# set_languages OUT FILE: the stock stub with FILE's bytes as its list of languages.
set_languages() {
    wine_tool set_resource "$(winpath "$stub")" "$(winpath "$1")" 203 "$(winpath "$2")" ||
        fail "set_resource $1"
}
# expect_transform NAME: the installer was started on the package with the transform NAME
# ("" for none), then the rest of the command line as /qn.
expect_transform() {
    local parameters expected='^/I (.*\\)Velmora.msi  /qn$'
    [ -z "$1" ] || expected="^/I (.*\\\\)Velmora.msi transforms=\"(.*\\\\)$1\"  /qn\$"
    parameters=$(recorded_parameters)
    [[ "$parameters" =~ $expected ]] || fail "installer parameters [$parameters], wanted $1"
    rm -f "$record"
}

# A vendor's languages taken by /SeaLang without a window: by code in any case, by a language
# id, the first without the switch; an unknown code ends before anything is made and names the
# codes the installer has. Behind the window, the code is taken without asking.
case_language_switch() {
    use_recorder
    make_sample_payload
    mkdir payload
    cp files/package payload/Velmora.msi
    cp files/german payload/Korrin_fr.mst
    cp files/japanese payload/Korrin_zh.mst
    language_installer Setup.exe payload --language en=English --language fr=Français \
        --transform fr=Korrin_fr.mst --language zh-Hans=简体中文 --transform zh-Hans=Korrin_zh.mst
    start_stub Setup.exe "/SeaQuiet /SeaLang:FR \"/SeaLog:$(winpath fr.log)\" /qn"
    wait_quiet_stub 0
    expect_transform Korrin_fr.mst
    grep -q "languages: en, fr, zh-Hans" fr.log || fail "log: $(cat fr.log)"
    grep -q "language: fr " fr.log || fail "log: $(cat fr.log)"
    # 2052 is zh-CN, which Simplified Chinese serves.
    start_stub Setup.exe "/SeaQuiet /SeaLang:2052 /qn"
    wait_quiet_stub 0
    expect_transform Korrin_zh.mst
    start_stub Setup.exe "/SeaQuiet /qn"
    wait_quiet_stub 0
    expect_transform ""
    expect_no_folder

    start_stub Setup.exe "/SeaLang:de /SeaQuiet \"/SeaLog:$(winpath unknown.log)\" /qn"
    wait_quiet_stub 1639
    expect_no_folder
    [ ! -f "$record" ] || fail "the installer was started: $(cat "$record")"
    grep -q 'unknown language "de"; this installer has: en, fr, zh-Hans' unknown.log ||
        fail "log: $(cat unknown.log)"
    grep -q "exit code: 1639" unknown.log || fail "log: $(cat unknown.log)"

    start_stub Setup.exe "/SeaLang:fr /SeaWait /qn"
    wait_stub 0
    expect_transform Korrin_fr.mst
}

# german_user_installers: Setup.exe with the vendor's English, French and German (each with a
# transform but English), and Stock.exe with the stock three, for runs of a German user.
german_user_installers() {
    use_recorder
    make_sample_payload
    mkdir payload
    cp files/package payload/Velmora.msi
    cp files/japanese payload/Korrin_fr.mst
    cp files/german payload/Korrin_de.mst
    language_installer Setup.exe payload --language en=English --language fr=Français \
        --transform fr=Korrin_fr.mst --language de=Deutsch --transform de=Korrin_de.mst
    mkinstaller Stock.exe "${sample_entries[@]}"
    [ -f "$QJX_LOCALE_DIR/de_DE.UTF-8/LC_CTYPE" ] || fail "no compiled de_DE locale"
}
# german COMMAND...: runs COMMAND as a German user would (Wine takes the Unix locale).
german() { LOCPATH=$QJX_LOCALE_DIR LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 "$@"; }

# /SeaLang:auto for a German user (Wine takes the user's language from the Unix locale): the
# German transform, of a vendor's list and of the stock three; for a user of the C locale
# (English) the vendor's English, which installs the package as it is. Asked with the buttons,
# the German user's button has the focus.
case_language_auto() {
    german_user_installers
    german start_stub Setup.exe "/SeaQuiet /SeaLang:auto \"/SeaLog:$(winpath auto.log)\" /qn"
    wait_quiet_stub 0
    expect_transform Korrin_de.mst
    grep -q "language: de (the user's is de-DE)" auto.log || fail "log: $(cat auto.log)"
    german start_stub Stock.exe "/SeaQuiet /SeaLang:auto /qn"
    wait_quiet_stub 0
    [[ "$(recorded_parameters)" == *'Velmora_German.mst"  /qn' ]] ||
        fail "installer parameters $(recorded_parameters)"
    rm -f "$record"
    LC_ALL=C start_stub Setup.exe "/SeaQuiet /SeaLang:auto /qn"
    wait_quiet_stub 0
    expect_transform ""
    # Asked with the buttons, the same user finds the vendor's German button focused, and Enter
    # takes it; the stock three keep English focused.
    local setup focus
    for setup in Setup.exe Stock.exe; do
        [ $setup = Setup.exe ] && focus=1042 || focus=1003
        german start_stub $setup "/qn"
        drive wait-window Velmora >/dev/null || fail "no progress window"
        for _ in $(seq 1 100); do
            drive controls Velmora | grep -qE "^$focus Button .* 1 1( |$)" && break
        done
        drive wait-focus Velmora $focus || fail "$setup: button $focus did not take the focus"
        drive key Velmora 0x0D
        wait_stub
        if [ $setup = Setup.exe ]; then
            expect_transform Korrin_de.mst
        else
            [[ "$(recorded_parameters)" == *'Velmora.msi  /qn' ]] ||
                fail "installer parameters $(recorded_parameters)"
            rm -f "$record"
        fi
        rm -rf temp && mkdir temp
    done
}


# A list of languages that is there but does not read whole (here, nine languages) is a damaged
# installer: 1620 with the reason in the log, never the stock three in its place, and the
# damaged-installer message in a windowed run. Nothing is extracted, whatever /SeaLang asks.
case_damaged_languages() {
    make_sample_payload
    printf 'QJXL\001\000\011\000\377\377\377\377\000\000\000\000' >damaged.bin
    set_languages Damaged.exe damaged.bin
    wine_tool mkinstaller Setup.exe "$(winpath Damaged.exe)" "${sample_entries[@]}" >/dev/null
    start_stub Setup.exe "/SeaQuiet /SeaLang:xx \"/SeaLog:$(winpath run.log)\""
    wait_quiet_stub 1620
    expect_no_folder
    grep -q "languages: the list in the program is damaged" run.log || fail "log: $(cat run.log)"
    grep -q "failure: the installer is not valid or is damaged" run.log || fail "log: $(cat run.log)"
    start_stub Setup.exe
    expect_message_box "QJX Error" "This is not a valid QJX SEA file!"
    wait_stub
    expect_no_folder
}

# Taking the files out: into a new nested folder, exactly the payload and nothing started; into
# a folder that exists already, nothing overwritten. Every run under Wine is elevated, and an
# elevated run takes an existing folder only when nobody but SYSTEM, the Administrators and
# TrustedInstaller may change it. Wine reads every folder back with full control for the user, so
# the folder is refused (1603) with the reason in the log. (A folder it may take, holding one of
# the names, ends in exit code 80: the extractor's and the exit codes' unit tests hold that.)
case_extract_only() {
    make_sample_payload
    mkinstaller Setup.exe "${sample_entries[@]}"
    start_stub Setup.exe "\"/SeaExtract:$(winpath "out dir/nested")\" /SeaWait /SeaLang:de"
    wait_quiet_stub 0
    expect_sample_files "out dir/nested"
    expect_eq "$(find "out dir/nested" | wc -l)" 7 "entries extracted"
    expect_no_folder
    rm -r "out dir/nested"/*
    echo "keep me" >"out dir/nested/Velmora_German.mst"
    start_stub Setup.exe "/SeaExtract=\"$(winpath "out dir/nested")\" \"/SeaLog:$(winpath .)\\existing.log\""
    wait_quiet_stub 1603
    expect_eq "$(cat "out dir/nested/Velmora_German.mst")" "keep me" "the existing file"
    expect_eq "$(ls "out dir/nested")" "Velmora_German.mst" "what the existing folder holds"
    grep -q "failure: the folder is a link, .* or others than SYSTEM and the Administrators may change it: .*nested" existing.log ||
        fail "log: $(cat existing.log)"
    # A folder that is a link (made in advance by someone who can write its parent) is refused
    # and named in the log; nothing is written through it.
    mkdir elsewhere
    ln -s "$work/elsewhere" linked
    start_stub Setup.exe "/SeaExtract:Z:$(pwd | tr / '\\\\')\\linked \"/SeaLog:$(winpath "logs/new")\\extract.log\""
    wait_quiet_stub 1603
    expect_eq "$(ls elsewhere)" "" "files written through the link"
    grep -q "failure: the folder is a link.*linked" logs/new/extract.log ||
        fail "log: $(cat logs/new/extract.log)"
}

# A RichEd20.dll planted next to the stub must not be loaded. The prefix first has to let a
# native RichEd20.dll win over Wine's own, and a program that asks by bare name must load it.
case_dll_planting() {
    wine reg add 'HKCU\Software\Wine\DllOverrides' /v riched20 /d native,builtin /f >/dev/null 2>&1
    cleanups+=("wine reg delete 'HKCU\Software\Wine\DllOverrides' /v riched20 /f >/dev/null 2>&1")
    mkdir downloads
    cp "$tools/RichEd20.dll" downloads/RichEd20.dll
    cp "$tools/load_riched20.exe" downloads/
    wine downloads/load_riched20.exe </dev/null || fail "the planted DLL could not be loaded at all"
    [ -f downloads/RichEd20.dll.loaded ] || fail "the prefix does not let a planted DLL win"
    rm downloads/RichEd20.dll.loaded
    make_sample_payload
    # Windowed: quiet runs do not load the rich-edit library at all.
    mkinstaller downloads/Setup.exe "${sample_entries[@]}"
    start_stub downloads/Setup.exe
    drive wait-window Velmora >/dev/null || fail "no progress window"
    wait_language_buttons
    drive close Velmora >/dev/null
    wait_stub
    expect_sample_files "$(created_folder)"
    [ ! -f downloads/RichEd20.dll.loaded ] || fail "the stub loaded the planted RichEd20.dll"
}

# The stub of tests/release/branded_build.sh: its window and version resource carry the product
# name, and the German button starts the installer on the branded package and transform.
case_branded() {
    stub=$QJX_BRANDED/branded/startup/qjxsea.exe
    [ -f "$stub" ] || fail "no branded stub (run e2e.branded_build)"
    cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$QJX_BRANDED/branded/CMakeCache.txt"; }
    title=$(cache_value QJX_PRODUCT_NAME)
    local package german japanese
    package=$(cache_value QJX_PACKAGE_NAME)
    german=$(cache_value QJX_GERMAN_TRANSFORM)
    japanese=$(cache_value QJX_JAPANESE_TRANSFORM)
    [ "$title" != Velmora ] && [ "$package" != Velmora.msi ] || fail "the stub is not branded"
    use_recorder
    make_sample_payload
    mkinstaller Setup.exe "\\$package=files/package" "\\$german=files/german" \
        "\\$japanese=files/japanese"
    wine "$QJX_BIN/tools/qjxpack.exe" list Setup.exe </dev/null | tr -d '\r' >list.txt
    grep -qx "  ProductName: $title" list.txt || fail "list: $(cat list.txt)"
    start_stub Setup.exe "/qb"
    drive wait-window "$title" >/dev/null || fail "no window titled $title"
    wait_language_buttons
    screenshot branded_window.png
    local folder
    folder=$(created_folder)
    cmp files/package "$folder/$package" || fail "$package differs"
    drive click "$title" 1004 >/dev/null || fail "click German"
    wait_stub
    local win_folder recorded
    win_folder=$(winpath "$folder")\\
    recorded=$(recorded_parameters)
    expect_eq "$recorded" "/I ${win_folder}$package transforms=\"$win_folder$german\"  /qb" \
        "installer parameters"
    echo "msiexec parameters: $recorded"
    echo "screenshot: $work/branded_window.png"
}

# The released stub branded at pack time by the Windows packer (no toolchain): another title,
# company, version, icon, pictures, package and transforms, then signed. The system reads the
# new version resource, the icon group holds the given images, the signed installer passes
# osslsigncode and the stub's own check, shows the new title and pictures, and German starts
# the new package with the new transform.
case_packed_branding() {
    title="Korrin Suite"
    /usr/bin/python3 "$QJX_SOURCE/tests/packer/make_pictures.py" "$QJX_SOURCE" vendor 222,204,170
    make_sample_payload
    mkdir payload
    cp files/package payload/Korrin.msi
    cp files/german payload/Korrin_de.mst
    cp files/japanese payload/Korrin_ja.mst
    wine "$QJX_BIN/tools/qjxpack.exe" create -o Setup.exe --stub "$(winpath "$stub")" \
        --product-name "$title" --company "Korrin Läbs" --copyright "© 2026 Korrin" \
        --version 2.3.4.5 --icon vendor/qjxsea.ico --pictures vendor --package Korrin.msi \
        --transform de=Korrin_de.mst --transform ja=Korrin_ja.mst payload/. </dev/null \
        >create.txt 2>&1 || fail "create: $(cat create.txt)"
    wine "$QJX_BIN/tools/qjxpack.exe" verify --stub "$(winpath "$stub")" Setup.exe </dev/null \
        2>&1 | tr -d '\r' >verify.txt || fail "verify: $(cat verify.txt)"
    grep -q "apart from its resources" verify.txt || fail "verify --stub: $(cat verify.txt)"

    openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
        -subj "/CN=QJX test signing" >/dev/null 2>&1
    osslsigncode sign -certs cert.pem -key key.pem -in Setup.exe -out Signed.exe >/dev/null
    osslsigncode verify -CAfile cert.pem -in Signed.exe >osslsigncode.txt 2>&1 ||
        fail "osslsigncode verify: $(cat osslsigncode.txt)"

    wine_tool version_info "$(winpath Signed.exe)" CompanyName ProductName FileDescription \
        LegalCopyright FileVersion | tr -d '\r' >version.txt || fail "GetFileVersionInfo"
    expect_eq "$(cat version.txt)" "fixed file version: 2.3.4.5
fixed product version: 2.3.4.5
CompanyName: Korrin Läbs
ProductName: $title
FileDescription: $title Setup
LegalCopyright: © 2026 Korrin
FileVersion: 2.3.4.5" "version resource"
    # The icon group, rebuilt into an .ico by icoutils, is the vendor's file (wrestool may add
    # bytes after it).
    wrestool -x -t 14 -n 99 Signed.exe >group.ico || fail "no icon group 99"
    cmp -n "$(stat -c %s vendor/qjxsea.ico)" group.ico vendor/qjxsea.ico || fail "icon images"
    use_recorder
    start_stub Signed.exe "/qb"
    drive wait-window "$title" >/dev/null || fail "no window titled $title"
    wait_language_buttons
    screenshot packed_branding.png
    # The vendor's field colour fills most of the window; the stock one shows nowhere.
    local colours
    colours=$(convert packed_branding.png -format %c histogram:info:- | sort -rn)
    grep -q "(222,204,170)" <<<"$(head -1 <<<"$colours")" || fail "field colour: $(head -3 <<<"$colours")"
    ! grep -q "(177,188,214)" <<<"$colours" || fail "the stock picture shows"
    local folder
    folder=$(created_folder)
    cmp files/package "$folder/Korrin.msi" || fail "Korrin.msi differs"
    drive click "$title" 1004 >/dev/null || fail "click German"
    wait_stub
    local win_folder
    win_folder=$(winpath "$folder")\\
    expect_eq "$(recorded_parameters)" \
        "/I ${win_folder}Korrin.msi transforms=\"${win_folder}Korrin_de.mst\"  /qb" \
        "installer parameters"
    echo "screenshot: $work/packed_branding.png"
}

# A real install: the sample package from wixl and two real transforms packed into a stub, German
# clicked, Wine's own msiexec installs, and the German transform's value lands in the registry.
# With QJX_DEMO=1 (scripts/demo.sh) the product stays installed and a screenshot is kept.
velmora_key='HKLM\Software\Dravik\Velmora'
# The sample is a 32-bit package: on x64 Windows its values land in the registry's 32-bit view.
velmora_view=$([ "$QJX_TREE_ARCH" = x64 ] && echo /reg:32 || true)
velmora_value() {
    wine reg query "$velmora_key" /v "$1" $velmora_view </dev/null 2>/dev/null | tr -d '\r' |
        sed -nE "s/^ *$1 +REG_SZ +//p" || true
}
uninstall_velmora() {
    local msi=$1
    for _ in $(seq 1 60); do
        wine msiexec /x "$msi" /qn </dev/null >/dev/null 2>&1 || true
        [ -z "$(velmora_value Language)" ] && return 0
        sleep 0.5
    done
    fail "the product could not be uninstalled"
}
# A %TEMP% with a blank in it, as under a user name with one: the package path must still reach
# the installer whole.
case_real_install_blank_in_temp() {
    stub_temp="user temp"
    mkdir -p "$stub_temp"
    case_real_install
}

# The unattended install a deployment tool makes, with Wine's own msiexec: German, exit code 0,
# and no folder left behind; from an installer branded at pack time, whose buttons start the
# renamed package and transform.
case_real_install_unattended() {
    brand=${brand:-Korrin Suite} unattended=1 case_real_install
}

case_real_install() {
    local msi=$QJX_E2E_BIN/Velmora.msi
    [ -f "$msi" ] || fail "no sample package (wixl missing?)"
    # Branded, the sample ships under another product name, with its package and transforms
    # renamed to match, packed by the packer from the stock stub: no compiler in between.
    local package=Velmora.msi german=Velmora_German.mst japanese=Velmora_Japanese.mst
    [ -z "${brand:-}" ] || { title=$brand package=Korrin.msi german=Korrin_de.mst japanese=Korrin_ja.mst; }
    mkdir -p dist
    cp "$msi" "dist/$package"
    uninstall_velmora "$(winpath "dist/$package")"
    wine_tool make_transform "$(winpath "dist/$german")" LANGUAGE_NAME Deutsch || fail "German transform"
    wine_tool make_transform "$(winpath "dist/$japanese")" LANGUAGE_NAME 日本語 || fail "Japanese transform"
    if [ -n "${brand:-}" ]; then
        wine "$QJX_BIN/tools/qjxpack.exe" create -o Setup.exe --stub "$(winpath "$stub")" \
            --product-name "$brand" --company "Korrin Labs" --package "$package" \
            --transform "de=$german" --transform "ja=$japanese" "$(winpath dist)\\." \
            </dev/null >create.txt 2>&1 || fail "create: $(cat create.txt)"
    else
        mkinstaller Setup.exe "\\$package=dist/$package" "\\$german=dist/$german" \
            "\\$japanese=dist/$japanese"
    fi
    [ "${QJX_DEMO:-0}" = 1 ] || cleanups+=("uninstall_velmora \"\$(winpath 'dist/$package')\"")

    if [ -n "${unattended:-}" ]; then
        start_stub Setup.exe "/SeaQuiet /SeaLang:de /qn"
        wait_quiet_stub 0
        expect_no_folder
        echo "unattended: Setup.exe /SeaQuiet /SeaLang:de /qn exited 0 and left no folder in %TEMP%"
    else
        start_stub Setup.exe "/qn"
        drive wait-window "$title" >/dev/null || fail "no progress window titled $title"
        wait_language_buttons
        screenshot language_phase.png
        drive click "$title" 1004 >/dev/null || fail "click German"
        wait_stub
    fi

    local language
    for _ in $(seq 1 120); do
        language=$(velmora_value Language)
        [ -n "$language" ] && break
        sleep 0.5
    done
    expect_eq "$language" "Deutsch" "installed language"
    local install_dir unix_dir
    install_dir=$(velmora_value InstallDir)
    unix_dir=$(winepath -u "$install_dir" 2>/dev/null)
    for _ in $(seq 1 60); do [ -f "$unix_dir/readme.txt" ] && break; sleep 0.5; done
    cmp "$QJX_SOURCE/samples/velmora/readme.txt" "$unix_dir/readme.txt" || fail "readme.txt not installed"
    echo "installed: $install_dir ($unix_dir), language $language"
    [ -n "${unattended:-}" ] || echo "screenshot: $work/language_phase.png"
}

"case_$case_name"
echo "PASS [$case_name]"
