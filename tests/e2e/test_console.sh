# The administrators' program, AddinsResetCmd.exe, as a script or a fleet tool runs it.

# A disabled add-in: a check tells it with exit code 1 and changes nothing;
# a reset repairs it with the window's success text; a check afterwards
# finds nothing to do. Help and unknown arguments change nothing either.
test_check_then_reset_from_the_command_line() {
    forget_addin
    forget_calls
    seed_components KROutlook.dll Grid.ocx
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null 2>&1 || true
    win_reg add "HKLM\\$ADDIN_KEY" /v LoadBehavior /t REG_DWORD /d 2 /f "$VIEW" >/dev/null
    win_reg add "HKCU\\$ADDIN_KEY" /v LoadBehavior /t REG_DWORD /d 2 /f /reg:32 >/dev/null
    local items='16.0\Outlook\Resiliency\DisabledItems' record
    record=$(record_hex "$OUR_PATH" 'Kestrin Software Add-In Engine')
    seed_record "$items" ours "$record"
    local before; before=$(addin_values HKLM; addin_values HKCU)

    local out rc
    out=$(run_cmd check) && rc=0 || rc=$?
    expect_eq 1 "$rc" "a check of a disabled add-in"
    expect_line "- the add-in's registration has LoadBehavior 2" "$out"
    expect_line "- a per-user registration gives the add-in LoadBehavior 2" "$out"
    expect_line "- Outlook has disabled the add-in" "$out"
    expect_eq "A reset of Kestrin Software add-ins is needed." "$(tail -1 <<<"$out")"
    expect_eq "$before" "$(addin_values HKLM; addin_values HKCU)" "the registration after a check"
    expect_eq "$record" "$(record_of "$items" ours)" "the record after a check"
    sleep 1
    expect_eq 0 "$(call_count)" "components started by a check"

    out=$(run_cmd reset) && rc=0 || rc=$?
    expect_eq 0 "$rc" "a reset"
    expect_eq "$SUCCESS

What Outlook's own records say of the add-in:
Outlook had turned the add-in off because it made Outlook stop.
Please write to support@kestrinsoftware.com with these lines." "$out"
    expect_eq "$REGISTRATION" "$(addin_values HKLM)"
    expect_eq absent "$(record_of "$items" ours)"
    wait_for_calls 4
    check_call_order "$(calls)" KROutlook.dll Grid.ocx

    out=$(run_cmd check) && rc=0 || rc=$?
    expect_eq 0 "$rc" "a check after the reset"
    expect_eq "Kestrin Software add-ins need no reset." "$out"

    out=$(run_cmd /?) && rc=0 || rc=$?
    expect_eq 0 "$rc" "help"
    expect_eq "Kestrin Software Add-Ins Reset for administrators" "$(head -1 <<<"$out")"
    forget_calls
    local arguments
    for arguments in "" "reset now" "--reset"; do
        # shellcheck disable=SC2086 # each word an argument
        out=$(run_cmd $arguments) && rc=0 || rc=$?
        expect_eq 87 "$rc" "the arguments [$arguments]"
        expect_eq "" "$out" "standard output of [$arguments]"
        expect_line "Usage: AddinsResetCmd check | reset | restore [FILE] [--json] | help" "$(tr -d '\r' <"$E2E_WORK/cmd-stderr")"
    done
    expect_eq 0 "$(call_count)" "components started for a wrong argument"
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null 2>&1 || true
    forget_addin
}

# The console's reset refuses as the window's does, and writes nothing; its
# check still reads while Outlook runs.
test_command_line_reset_refuses_while_outlook_runs() {
    forget_addin
    seed_components KROutlook.dll
    start_outlook "$OUTLOOK_SLEEPER" "$OUTLOOK_DIR" "$OUTLOOK_WIN"
    local out rc
    out=$(run_cmd reset) && rc=0 || rc=$?
    local checked; checked=$(run_cmd check) || true
    stop_outlook
    expect_eq 1 "$rc" "a reset while Outlook runs"
    expect_eq "$WARNING" "$out"
    if addin_key_exists HKLM || addin_key_exists HKCU; then log "the registry was written under Outlook"; return 1; fi
    expect_line "- the add-in's registration is missing" "$checked"
}

# Whatever the lines, standard output stays within the 2,048 characters a
# fleet tool keeps: the longest run of lines of one kind is shortened where
# it stands, and the first line and the closing advice stay.
test_command_line_output_is_capped() {
    forget_addin
    seed_components KROutlook.dll
    local i name
    for i in 1 2 3 4 5 6 7 8 9; do
        name="Broken $i $(printf 'x%.0s' $(seq 1 180)).dll"
        echo "not a library" >"$ADDIN_DIR/$name"
    done
    local out rc
    out=$(run_cmd reset) && rc=0 || rc=$?
    expect_eq 2 "$rc" "a reset with libraries that cannot be registered"
    local characters; characters=$(( $(wc -c <<<"$out") + $(wc -l <<<"$out") ))
    log "the capped output: $characters characters with its line breaks, ending: $(tail -1 <<<"$out")"
    [ "$characters" -le 2048 ] || { log "standard output passed 2,048 characters"; return 1; }
    expect_eq "Kestrin Software add-ins were not fully reset:" "$(head -1 <<<"$out")"
    expect_eq "Please run this program as an administrator, or contact support@kestrinsoftware.com about this problem." \
        "$(tail -1 <<<"$out")"
    grep -qxE -- '- \.\.\. and [0-9]+ more like these' <<<"$out" ||
        { log "no line says what was left out: $out"; return 1; }
    forget_addin
}

# One field of the JSON line given, by a Python expression over it as "o".
json_of() { python3 -c 'import json, sys; o = json.loads(sys.argv[2]); print(eval(sys.argv[1]))' "$1" "$2"; }

# Every trace of the add-in, its class and the tool's record, gone: a computer it was never installed on.
forget_everything() {
    forget_addin
    local view
    for view in /reg:32 /reg:64; do
        win_reg delete 'HKLM\Software\Classes\KestrinSoftware.Connect' /f "$view" >/dev/null 2>&1 || true
        win_reg delete 'HKLM\Software\Classes\CLSID\{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}' /f "$view" >/dev/null 2>&1 || true
    done
    win_reg delete 'HKCU\Software\KestrinTest' /f /reg:32 >/dev/null 2>&1 || true
    rm -rf "$ADDIN_DIR" "$RECORD_DIR"
}

RECORD_DIR="$WINEPREFIX/drive_c/ProgramData/Kestrin Software/Add-Ins Reset"

# What a fleet runs on every computer: check, reset, check. A check asks for
# a reset only where a reset changes its answer: not for a KROutlook.dll that
# regsvr32 cannot register, nor for a registration the library wrote itself.
test_check_and_reset_agree_on_every_shape() {
    local other=$X64_BUILD shape library setting codes got command rc
    [ "$EDITION" = x86 ] || other=$WINDOWS_BUILD
    while IFS='|' read -r shape library setting codes; do
        forget_everything
        seed_components KROutlook.dll
        cp "$library" "$ADDIN_DIR/KROutlook.dll"
        [ -z "$setting" ] || win_reg add 'HKCU\Software\KestrinTest' /v "$setting" /t REG_DWORD /d 1 /f /reg:32 >/dev/null
        got=
        for command in check reset check; do
            run_cmd "$command" >"$E2E_WORK/cmd-out" && rc=0 || rc=$?
            got="$got $rc"
        done
        expect_eq "$codes" "${got# }" "$shape: check, reset, check" || { cat "$E2E_WORK/cmd-out" >&2; return 1; }
    done <<SHAPES
KROutlook.dll lacks a run-time|$EDITION_BUILD/tests/comserver-needs-runtime.dll||1 2 0
KROutlook.dll is built for the other processor|$other/tests/comserver.dll||1 2 0
KROutlook.dll exports no DllRegisterServer|$EDITION_BUILD/tests/runtime/kestrinrt.dll||1 2 0
KROutlook.dll writes a registration of its own|$EDITION_BUILD/tests/comserver.dll|WriteRegistration|1 0 0
SHAPES
    forget_everything
}

# A disabled add-in through --json: one line each (codes 1, 0, 0), nothing
# on standard error, and the reset's log and .reg file on the computer,
# whose import brings back the record the reset removed. Where the add-in
# is not installed, a check says so with 0 and a reset changes nothing with 6.
test_a_fleet_reads_one_json_line_and_the_computer_keeps_a_record() {
    forget_everything
    seed_components KROutlook.dll
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null 2>&1 || true
    win_reg add "HKLM\\$ADDIN_KEY" /v LoadBehavior /t REG_DWORD /d 2 /f "$VIEW" >/dev/null
    local items='16.0\Outlook\Resiliency\DisabledItems' record out rc
    record=$(record_hex "$OUR_PATH" 'Kestrin Software Add-In Engine')
    seed_record "$items" ours "$record"

    out=$(run_cmd check --json) && rc=0 || rc=$?
    expect_eq 1 "$rc" "a check of a disabled add-in"
    expect_eq 1 "$(wc -l <<<"$out")" "lines of the JSON answer"
    expect_eq "check 1 True $EDITION" "$(json_of 'o["command"], o["exitCode"], o["needsReset"], o["edition"]' "$out" | tr -d "(),'")"
    expect_eq "['registrationDisabled', 'disabledItemsRecord', 'classNotRegistered']" \
        "$(json_of '[p["code"] for p in o["problems"]]' "$out")"
    expect_eq 2 "$(json_of 'o["problems"][0]["loadBehavior"]' "$out")"
    [ "$(wc -c <<<"$out")" -le 2048 ] && LC_ALL=C grep -qvP '[^\x20-\x7e]' <<<"$out" ||
        { log "not 2,048 characters of ASCII: $out"; return 1; }

    out=$(run_cmd reset --json) && rc=0 || rc=$?
    expect_eq 0 "$rc" "a reset"
    expect_eq "reset 0 [] []" "$(json_of 'o["command"], o["exitCode"], o["problems"], o["blockers"]' "$out" | tr -d "(),'")"
    expect_eq 'C:\ProgramData\Kestrin Software\Add-Ins Reset\AddinsReset.log' "$(json_of 'o["log"]' "$out")"
    expect_eq "" "$(cat "$E2E_WORK/cmd-stderr")" "standard error with --json"
    out=$(run_cmd check /json) && rc=0 || rc=$?
    expect_eq "0 False" "$rc $(json_of 'o["needsReset"]' "$out")" "a check after the reset"

    local log="$RECORD_DIR/AddinsReset.log" backup
    local entry='^<!\[LOG\[.*\]LOG\]!><time="[0-9:.]+[+-][0-9]+" date="[0-9]{2}-[0-9]{2}-[0-9]{4}" component="AddinsResetCmd" context="" type="[123]" thread="[0-9]+" file="">$'
    [ -f "$log" ] || { log "no log in $RECORD_DIR"; return 1; }
    expect_eq 0 "$(tr -d '\r' <"$log" | grep -cvE "$entry")" "lines of the log that are no CMTrace entry"
    expect_line "<![LOG[Exit code 0]LOG]!>" "$(tr -d '\r' <"$log" | sed 's/<time=.*//')"
    grep -q "Deleted HKEY_CURRENT_USER.*DisabledItems\\\\ours, which was 01 00 00 00" "$log" ||
        { log "the log does not name the record deleted: $(cat "$log")"; return 1; }
    backup=$(ls "$RECORD_DIR"/AddinsReset-*.reg)
    expect_eq 1 "$(wc -l <<<"$backup")" "backups of one reset"
    backup_text "$backup" | grep -qF "[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\$items]" ||
        { log "the backup lacks the record's key: $(backup_text "$backup")"; return 1; }
    expect_eq absent "$(record_of "$items" ours)" "the record after the reset"
    $WINE regedit /s "C:\\ProgramData\\Kestrin Software\\Add-Ins Reset\\$(basename "$backup")"
    expect_eq "$record" "$(record_of "$items" ours)" "the record after the backup's import"
    expect_line "LoadBehavior REG_DWORD 0x2" "$(addin_values HKLM)"

    forget_everything
    out=$(run_cmd check --json) && rc=0 || rc=$?
    expect_eq "0 ['notInstalled'] False" "$rc $(json_of '[b["code"] for b in o["blockers"]], o["needsReset"]' "$out" | tr -d '()' | sed 's/, / /')"
    out=$(run_cmd reset) && rc=0 || rc=$?
    expect_eq 6 "$rc" "a reset where the add-in is not installed"
    expect_eq "Kestrin Software add-ins are not installed on this computer." "$out"
    if addin_key_exists HKLM || [ -e "$RECORD_DIR" ]; then log "a computer without the add-in was changed"; return 1; fi
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null 2>&1 || true
}
