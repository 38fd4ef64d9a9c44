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
    expect_eq "$SUCCESS" "$out"
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
        expect_line "Usage: AddinsResetCmd check | reset | help" "$(tr -d '\r' <"$E2E_WORK/cmd-stderr")"
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
# fleet tool keeps, and its last line says how many were left out.
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
    grep -qxE '[0-9]+ more lines? (was|were) left out\.' <<<"$(tail -1 <<<"$out")" ||
        { log "the last line does not say what was left out: $(tail -1 <<<"$out")"; return 1; }
    forget_addin
}
