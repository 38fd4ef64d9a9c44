# The add-in registration rewrite in Wine's real registry.

# Sorted by name, as addin_values lists them.
REGISTRATION="CommandLineSafe REG_DWORD 0x0
Description REG_SZ Kestrin Software Add-In Engine
FriendlyName REG_SZ Kestrin Software Add-In Engine
LoadBehavior REG_DWORD 0x3"

CLASS_KEY='HKCR\CLSID\{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}'

# Each edition's registration in its own view, its components registered by
# its own regsvr32 (a 64-bit test component loads only into a 64-bit one),
# and nothing created in the view of the other edition.
test_reset_creates_the_registration_under_hklm_only() {
    local edition other
    for edition in $EDITIONS; do
        use_edition "$edition"
        other=/reg:64
        [ "$VIEW" = /reg:32 ] || other=/reg:32
        forget_addin
        forget_calls
        local view
        for view in /reg:32 /reg:64; do
            win_reg delete "HKLM\\$ADDIN_KEY" /f "$view" >/dev/null 2>&1 || true
            win_reg delete "$CLASS_KEY" /f "$view" >/dev/null 2>&1 || true
        done
        seed_components KROutlook.dll Grid.ocx
        reset_once >/dev/null
        expect_eq "$REGISTRATION" "$(addin_values HKLM)" "the $edition edition"
        if addin_key_exists HKCU; then log "HKCU was written in a normal run"; return 1; fi
        if addin_key_exists HKLM "$other"; then log "the $edition edition was registered in $other"; return 1; fi
        wait_for_calls 4
        check_call_order "$(calls)" KROutlook.dll Grid.ocx
        expect_line "    (Default)    REG_SZ    $ADDIN_WIN\\KROutlook.dll" \
            "$(win_reg query "$CLASS_KEY\\InprocServer32" "$VIEW")" "the $edition edition's class"
        if win_reg query "$CLASS_KEY" "$other" >/dev/null 2>&1; then log "a class in $other"; return 1; fi
        forget_addin
    done
}

test_reset_keeps_the_addins_own_settings() {
    forget_addin
    local key="HKLM\\$ADDIN_KEY"
    win_reg add "$key" /v LoadBehavior /t REG_DWORD /d 2 /f "$VIEW" >/dev/null
    win_reg add "$key" /v FriendlyName /t REG_SZ /d "Old name" /f "$VIEW" >/dev/null
    win_reg add "$key" /v ServerName /t REG_SZ /d "mail.kestrin.test" /f "$VIEW" >/dev/null
    win_reg add "$key" /v SyncMinutes /t REG_DWORD /d 15 /f "$VIEW" >/dev/null
    win_reg add "$key\\Profiles\\Default" /v Colour /t REG_SZ /d blue /f "$VIEW" >/dev/null
    reset_once >/dev/null
    expect_eq "$REGISTRATION
ServerName REG_SZ mail.kestrin.test
SyncMinutes REG_DWORD 0xf" "$(addin_values HKLM)"
    expect_line "Colour REG_SZ blue" "$(win_reg query "$key\\Profiles\\Default" "$VIEW" | sed -n 's/^    \([^ ]*\)    \(REG_[A-Z_]*\)    \(.*\)$/\1 \2 \3/p')"
    forget_addin
}

test_nothing_is_written_while_outlook_runs() {
    forget_addin
    start_outlook "$OUTLOOK_SLEEPER" "$OUTLOOK_DIR" "$OUTLOOK_WIN"
    start_tool
    probe click "$TITLE" "&Reset" >/dev/null
    probe dismiss-box "$OUTLOOK_TITLE" 20000 >/dev/null
    probe wait-gone "$TITLE" 10000 >/dev/null
    stop_outlook
    if addin_key_exists HKLM || addin_key_exists HKCU; then log "the registry was written under Outlook"; return 1; fi
}

# A library whose DllUnregisterServer deletes the add-in's registration, and
# whose DllRegisterServer does not write it back: the four values are
# written again once it is registered.
test_a_registration_the_unregistering_removed_is_written_again() {
    forget_addin
    forget_calls
    seed_components KROutlook.dll
    win_reg add 'HKCU\Software\KestrinTest' /v DropRegistration /t REG_DWORD /d 1 /f >/dev/null
    reset_once >/dev/null
    wait_for_calls 2
    expect_eq "$REGISTRATION" "$(addin_values HKLM)"
    win_reg delete 'HKCU\Software\KestrinTest' /v DropRegistration /f >/dev/null
    forget_addin
}
