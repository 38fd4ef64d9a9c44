# Why Outlook turned the add-in off, from Outlook's own records in Wine's
# real registry: the window's final box, the check and its JSON give the
# same lines; Wine's event log, whose reads always end at once, gives none,
# and no line says the add-in was not turned off.

REASON_STOP="Outlook had turned the add-in off because it made Outlook stop."
REASON_SHUTDOWN="Outlook had turned the add-in off because it was slow when Outlook closed; the user has since chosen to always enable it."
REASON_STARTS="Its last 5 starts took 1,204 ms in the middle: Outlook may turn it off again."
REASON_LOGGING="Outlook's add-in logging is turned off by policy, so no event of Outlook's can say more."
DO_NOT_DISABLE='16.0\Outlook\Resiliency\DoNotDisableAddinList'
LOAD_TIMES='16.0\Outlook\AddInLoadTimes'
LOGGING_POLICY='HKCU\Software\Policies\Microsoft\Office\16.0\Outlook\Options\Logging'

# The add-in's records beside another add-in's, which give no line.
seed_outlooks_records() {
    seed_record '16.0\Outlook\Resiliency\DisabledItems' ours "$(record_hex "$OUR_PATH" 'Kestrin Software Add-In Engine')"
    win_reg add "$OFFICE_KEY\\$DO_NOT_DISABLE" /v KestrinSoftware.Connect /t REG_DWORD /d 8 /f /reg:32 >/dev/null
    win_reg add "$OFFICE_KEY\\$DO_NOT_DISABLE" /v Other.Connect /t REG_DWORD /d 3 /f /reg:32 >/dev/null
    seed_record "$LOAD_TIMES" KestrinSoftware.Connect "$(le32 5)$(le32 900)$(le32 1204)$(le32 1300)$(le32 1100)$(le32 2000)"
    seed_record "$LOAD_TIMES" Other.Connect "$(le32 5)$(le32 9000)$(le32 9000)$(le32 9000)$(le32 9000)$(le32 9000)"
    win_reg add "$LOGGING_POLICY" /v DisableAddinLogging /t REG_DWORD /d 1 /f /reg:32 >/dev/null
}

test_outlooks_reasons_in_the_box_the_check_and_json() {
    forget_addin
    forget_calls
    seed_components KROutlook.dll
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null 2>&1 || true
    seed_outlooks_records
    local times; times=$(record_of "$LOAD_TIMES" KestrinSoftware.Connect)

    local out rc
    out=$(cd "$TOOL_DIR" && WINEDEBUG=+eventlog $WINE "$CMD_WIN" check 2>"$E2E_WORK/cmd-stderr") && rc=0 || rc=$?
    out=${out//$'\r'/}
    expect_eq 1 "$rc" "a check"
    expect_eq "What Outlook's own records say of the add-in:
$REASON_STOP
$REASON_SHUTDOWN
$REASON_STARTS
$REASON_LOGGING
Please write to support@kestrinsoftware.com with these lines." "$(sed -n '/^What Outlook/,/^Please write/p' <<<"$out")"
    expect_eq "A reset of Kestrin Software add-ins is needed." "$(tail -1 <<<"$out")"
    # The check asked Wine's event log, which had nothing: no line of an event.
    grep -q 'ReadEventLogA' "$E2E_WORK/cmd-stderr" || { log "Wine's event log was never read: $(grep -i eventlog "$E2E_WORK/cmd-stderr" | head -3)"; return 1; }
    expect_no_match ' on 20[0-9][0-9]-|not turned|was never' "$out"

    local json; json=$(run_cmd check --json) || true
    expect_eq "disabledAfterCrash:crash alwaysEnabled:shutdown slowStarts:start loggingOff:" \
        "$(json_of '" ".join(r["code"] + ":" + r.get("moment", "") for r in o["reasons"])' "$json")"
    expect_eq "1204 1000" "$(json_of '" ".join(str(r[k]) for r in o["reasons"] if r["code"] == "slowStarts" for k in ("takenMs", "thresholdMs"))' "$json")"
    expect_eq "1 True" "$(json_of 'o["exitCode"], o["needsReset"]' "$json" | tr -d '(),')"

    local box; box=$(reset_once | tail -1)
    expect_eq "box title=$TITLE text=$SUCCESS$REASONS$REASON_STOP\\r\\n$REASON_SHUTDOWN\\r\\n$REASON_STARTS\\r\\n$REASON_LOGGING$WRITE_TO_SUPPORT buttons=OK icon=no owner=$TITLE" "$box"
    # Read only: what the reset does not remove stays as Outlook wrote it.
    expect_eq "$times" "$(record_of "$LOAD_TIMES" KestrinSoftware.Connect)" "the load times after the reset"
    expect_line "    KestrinSoftware.Connect    REG_DWORD    0x8" "$(win_reg query "$OFFICE_KEY\\$DO_NOT_DISABLE" /reg:32)"
    local record="$WINEPREFIX/drive_c/ProgramData/Kestrin Software/Add-Ins Reset/AddinsReset.log"
    local entries; entries=$(tr -d '\r' <"$record" | sed -n 's/^<!\[LOG\[\(.*\)\]LOG\]!>.*/\1/p')
    expect_line "$REASON_STARTS" "$entries"
    expect_no_match "Outlook's events" "$entries"

    # The Disabled Items record is gone; the rest still says why.
    out=$(run_cmd check) && rc=0 || rc=$?
    expect_eq 0 "$rc" "a check after the reset"
    expect_eq "$REASON_SHUTDOWN" "$(sed -n '/^What Outlook/{n;p;}' <<<"$out")"
    expect_eq "Kestrin Software add-ins need no reset." "$(tail -1 <<<"$out")"
    win_reg delete 'HKCU\Software\Policies\Microsoft' /f /reg:32 >/dev/null
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null
    forget_addin
}
