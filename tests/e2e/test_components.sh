# Component re-registration with Wine's real regsvr32.

MISSING_LIBRARY='Warning: File KROutlook.dll has not been found.  Please contact support@kestrinsoftware.com about this problem.\r\nContinuing anyway...'
# The boxes of a reset whose folder lacks KROutlook.dll. The x86 edition's
# folder warns and ends in the failure box; for a 64-bit Outlook it is its
# edition that is missing, and nothing of the folder is started.
missing_main_library_boxes() {
    if [ "$EDITION" = x64 ]; then
        echo "box title=$TITLE text=Kestrin Software add-ins were reset, but Outlook will not load them:\r\n- Outlook is 64-bit, and the add-in's 64-bit edition is not installed\r\n\r\nPlease contact support@kestrinsoftware.com about this problem. buttons=OK icon=no owner=$TITLE"
        return
    fi
    echo "box title=$TITLE text=$MISSING_LIBRARY buttons=OK icon=no owner=$TITLE
box title=$TITLE text=Kestrin Software add-ins were not fully reset:\r\n- KROutlook.dll was not found in $ADDIN_WIN\r\n- the add-in's component KestrinSoftware.Connect is not registered\r\n\r\nPlease run this program as an administrator, or contact support@kestrinsoftware.com about this problem. buttons=OK icon=no owner=$TITLE"
}

test_reset_reregisters_every_listed_component() {
    forget_addin
    forget_calls
    seed_components KROutlook.dll "Engine Helper.dll" "Grid Control.ocx" Calendar.ocx Hidden.dll System.dll readme.txt
    mkdir -p "$ADDIN_DIR/Folder.dll"
    # A plain library beside the add-in, as its run-time: no DllRegisterServer, no component.
    cp "$EDITION_BUILD/tests/runtime/kestrinrt.dll" "$ADDIN_DIR/vcruntime140.dll"
    $WINE attrib +h "$ADDIN_WIN\Hidden.dll" >/dev/null 2>&1
    $WINE attrib +s "$ADDIN_WIN\System.dll" >/dev/null 2>&1

    start_tool
    probe sample "$TITLE" 103 60000 >"$E2E_WORK/progress.txt" &
    local sampler=$! waited=0
    until grep -qs '^text=Progress' "$E2E_WORK/progress.txt" || [ $waited -gt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
    local clicked; clicked=$(now_ms)
    probe click "$TITLE" "&Reset" >/dev/null
    local box; box=$(probe read-box "$TITLE" 60000)
    local finished; finished=$(now_ms)
    expect_eq "box title=$TITLE text=$SUCCESS buttons=OK icon=no owner=$TITLE" "$box" "no other box before it"
    probe dismiss-box "$TITLE" >/dev/null
    probe wait-gone "$TITLE" 10000 >/dev/null
    expect_eq 0 "$(tool_exit_code)"
    wait "$sampler" || true
    wait_for_calls 8

    local seen; seen=$(calls)
    check_call_order "$seen" KROutlook.dll "Engine Helper.dll" "Grid Control.ocx" Calendar.ocx

    local progress; progress=$(cat "$E2E_WORK/progress.txt")
    local text
    # Each file's name stays a second; the step texts flash by too fast to sample reliably.
    for text in "Unregistering KROutlook.dll" "Unregistering Engine Helper.dll" "Unregistering Grid Control.ocx" \
        "Unregistering Calendar.ocx" "Registering KROutlook.dll" "Registering Engine Helper.dll" \
        "Registering Grid Control.ocx" "Registering Calendar.ocx" "$SUCCESS"; do
        expect_line "text=$text" "$progress"
    done
    # Every file named while unregistering before any named while registering.
    local last_unreg first_reg
    last_unreg=$(grep -nE '^text=Unregistering .*\.(dll|ocx)$' <<<"$progress" | tail -1 | cut -d: -f1)
    first_reg=$(grep -nE '^text=Registering .*\.(dll|ocx)$' <<<"$progress" | head -1 | cut -d: -f1)
    [ "$last_unreg" -lt "$first_reg" ] || { log "the label named files out of step order"; return 1; }

    local elapsed=$((finished - clicked)) pauses=8000
    log "reset of 4 files: ${elapsed} ms from the click to the success box, overhead $((elapsed - pauses)) ms beyond the pauses"
    echo "files=4 elapsed_ms=$elapsed pauses_ms=$pauses overhead_ms=$((elapsed - pauses))" >"$E2E_WORK/reset-timing.txt"
    [ "$elapsed" -ge "$pauses" ] || { log "the pauses were not kept"; return 1; }
    [ "$elapsed" -lt $((pauses + 4000)) ] || { log "too slow beyond the pauses"; return 1; }
    forget_addin
}

# Checks the calls against the order of a reset: every file unregistered, then
# every file registered, each step taking libraries before controls and the
# files in the same (Wine's listing) order.
check_call_order() {
    local seen=$1; shift
    local -a unreg reg
    mapfile -t unreg < <(sed -n 's/^unregister //p' <<<"$seen")
    mapfile -t reg < <(sed -n 's/^register //p' <<<"$seen")
    local unreg_then_reg; unreg_then_reg=$(printf 'unregister %s\n' "${unreg[@]}"; printf 'register %s\n' "${reg[@]}")
    expect_eq "$unreg_then_reg" "$seen" "all unregistrations before the registrations"
    expect_eq "$(printf '%s\n' "${unreg[@]}")" "$(printf '%s\n' "${reg[@]}")" "both steps in one order"
    expect_eq "$(printf '%s\n' "${unreg[@]}" | grep '\.dll$'; printf '%s\n' "${unreg[@]}" | grep '\.ocx$')" \
        "$(printf '%s\n' "${unreg[@]}")" "libraries before controls"
    expect_eq "$(printf '%s\n' "$@" | LC_ALL=C sort)" "$(printf '%s\n' "${unreg[@]}" | LC_ALL=C sort)" "the listed files"
}

# A library whose unregistration takes 3 seconds: it must end before the same
# file is registered again, or it undoes that registration after the box.
test_slow_unregistration_cannot_undo_the_registration() {
    forget_calls
    seed_components KROutlook.dll SlowEngine.dll
    local boxes; boxes=$(reset_once)
    expect_eq "box title=$TITLE text=$SUCCESS buttons=OK icon=no owner=$TITLE" "$boxes"
    wait_for_calls 4
    expect_eq "unregister KROutlook.dll
unregister SlowEngine.dll
register KROutlook.dll
register SlowEngine.dll" "$(calls)"
    expect_eq "KROutlook.dll
SlowEngine.dll" "$(registered)" "registered when the run is over"
    forget_addin
}

# A volume that keeps 8.3 names lists backup copies under "*.dll" and "*.ocx"
# too. They are no components: registered after the library, the old copy
# would take its class, and Outlook would load the old version.
test_backup_copies_are_never_registered() {
    forget_calls
    seed_components KROutlook.dll Grid.ocx KROutlook.dll_old KROutlook.dllold Grid.ocx_bak
    expect_eq "box title=$TITLE text=$SUCCESS buttons=OK icon=no owner=$TITLE" "$(reset_once)"
    wait_for_calls 4
    check_call_order "$(calls)" KROutlook.dll Grid.ocx
    expect_line "    (Default)    REG_SZ    $ADDIN_WIN\\KROutlook.dll" \
        "$(win_reg query "$CLASS_KEY\\InprocServer32" "$VIEW")" "the class"
    forget_addin
}

# Exit code 3 where only the x64 edition is missing, 2 where the reset itself failed.
missing_main_library_exit_code() { if [ "$EDITION" = x64 ]; then echo 3; else echo 2; fi; }

test_missing_main_library_is_warned_once_and_ends_in_the_failure_box() {
    forget_calls
    seed_components Engine.dll Grid.ocx
    local boxes; boxes=$(reset_once "$(missing_main_library_exit_code)")
    expect_eq "$(missing_main_library_boxes)" "$boxes"
    local started=4
    [ "$EDITION" = x86 ] || started=0
    wait_for_calls $started
    expect_eq $started "$(call_count)"
    forget_addin
}

test_missing_folder_warns_and_ends_in_the_failure_box() {
    forget_calls
    rm -rf "$ADDIN_DIR"
    local boxes; boxes=$(reset_once "$(missing_main_library_exit_code)")
    expect_eq "$(missing_main_library_boxes)" "$boxes"
    expect_eq 0 "$(call_count)"
    forget_addin
}

test_planted_regsvr32_is_never_run() {
    forget_calls
    seed_components KROutlook.dll
    cp "$TOOL_BUILD/tests/planted.exe" "$TOOL_DIR/regsvr32.exe"
    local downloads="$WINEPREFIX/drive_c/users/Downloads"
    mkdir -p "$downloads"
    cp "$TOOL_BUILD/tests/planted.exe" "$downloads/regsvr32.exe"
    TOOL_CWD="$downloads" reset_once >/dev/null
    wait_for_calls 2
    rm -f "$TOOL_DIR/regsvr32.exe"
    if win_reg query 'HKCU\Software\KestrinTest' /v Planted /reg:32 >/dev/null; then
        log "a planted regsvr32.exe ran"
        return 1
    fi
    expect_eq "unregister KROutlook.dll
register KROutlook.dll" "$(calls)"
    forget_addin
}
