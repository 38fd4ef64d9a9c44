# Re-enabling the add-in wherever Outlook disabled it, and the failure box.

NOT_FULLY_RESET='Kestrin Software add-ins were not fully reset:'
RUN_AS_ADMIN='\r\n\r\nPlease run this program as an administrator, or contact support@kestrinsoftware.com about this problem.'
WILL_NOT_LOAD='Kestrin Software add-ins were reset, but Outlook will not load them:'
POLICY="- your organization's policy keeps the add-in disabled; please ask your administrator"
NEW_OUTLOOK='- Outlook is set to use the new Outlook, which cannot load this add-in; switch the new Outlook off to use it'
CONTACT='\r\n\r\nPlease contact support@kestrinsoftware.com about this problem.'

# Only its LoadBehavior, as Office's own COM Add-ins dialog writes it.
test_user_override_is_re_enabled_too() {
    forget_addin
    seed_components KROutlook.dll
    win_reg add "HKLM\\$ADDIN_KEY" /v LoadBehavior /t REG_DWORD /d 3 /f "$VIEW" >/dev/null
    win_reg add "HKCU\\$ADDIN_KEY" /v LoadBehavior /t REG_DWORD /d 2 /f /reg:32 >/dev/null
    # Wine has one user: the shell's is the tool's own, so HKEY_CURRENT_USER is repaired.
    local users; users=$(win_reg query HKU)
    # With no record of why: Outlook's reasons say so, and no more.
    local why="Outlook had turned the add-in off without saying why: it could not start it, or someone turned it off."
    expect_eq "box title=$TITLE text=$SUCCESS$REASONS$why$WRITE_TO_SUPPORT buttons=OK icon=no owner=$TITLE" "$(reset_once)" "no other user named"
    expect_eq "$users" "$(win_reg query HKU)" "the hives under HKEY_USERS"
    if win_reg query "HKU\\.Default\\$ADDIN_KEY" /reg:32 >/dev/null 2>&1; then log "written under HKU\\.Default"; return 1; fi
    expect_eq "$REGISTRATION" "$(addin_values HKLM)"
    expect_eq "LoadBehavior REG_DWORD 0x3" "$(addin_values HKCU)" "the per-user key"
    forget_addin
}

test_only_this_addins_disabled_records_are_removed() {
    seed_components KROutlook.dll
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null 2>&1 || true
    local items16='16.0\Outlook\Resiliency\DisabledItems' items15='15.0\Outlook\Resiliency\DisabledItems'
    local other malformed word
    other=$(record_hex 'c:\program files\other\addin.dll' 'Other Add-In')
    malformed="$(le32 1)$(le32 0xFFFFFFFE)$(le32 4)$(utf16_hex "$OUR_PATH")"
    word=$(record_hex "$OUR_PATH" 'Kestrin Software Add-In Engine')
    seed_record "$items16" byPath "$(record_hex "$OUR_PATH" 'kroutlook')"
    seed_record "$items15" byName "$(record_hex 'd:\old\engine.dll' 'Kestrin Software Add-In Engine')"
    seed_record "$items16" other "$other"
    seed_record "$items16" malformed "$malformed"
    seed_record '16.0\Word\Resiliency\DisabledItems' word "$word"
    win_reg add "$OFFICE_KEY\\14.0\\Common" /v Seen /t REG_DWORD /d 1 /f /reg:32 >/dev/null

    reset_once >/dev/null

    expect_eq absent "$(record_of "$items16" byPath)"
    expect_eq absent "$(record_of "$items15" byName)"
    expect_eq "$other" "$(record_of "$items16" other)" "another add-in's record"
    expect_eq "$malformed" "$(record_of "$items16" malformed)" "a malformed record"
    expect_eq "$word" "$(record_of '16.0\Word\Resiliency\DisabledItems' word)" "Word's record"
    if win_reg query "$OFFICE_KEY\\14.0\\Outlook" /reg:32 >/dev/null 2>&1; then
        log "a key appeared under 14.0"; return 1
    fi
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null
    forget_addin
}

# A file that is no library: the box names it with regsvr32's exit code, the
# good components are still registered and the window still closes.
test_component_that_cannot_register_is_named_in_the_box() {
    forget_calls
    seed_components KROutlook.dll Engine.dll
    echo "not a library" >"$ADDIN_DIR/Broken.dll"
    # What Wine's own regsvr32 of the edition answers for it.
    local regsvr32=('wine' 'C:\windows\syswow64\regsvr32.exe')
    [ "$EDITION" = x86 ] || regsvr32=("$WINE64" 'C:\windows\system32\regsvr32.exe')
    local code; code=$("${regsvr32[@]}" /s "$ADDIN_WIN\Broken.dll" >/dev/null 2>&1; echo $?)
    [ "$code" != 0 ] || { log "regsvr32 accepted a file that is no library"; return 1; }
    # The system regsvr32's codes in words, the number kept.
    local what
    case $code in
        3) what="could not be loaded" ;;
        4) what="has no registration entry point" ;;
        5) what="refused to register" ;;
        *) what="could not be registered" ;;
    esac
    start_tool
    probe click "$TITLE" "&Reset" >/dev/null
    local box; box=$(probe read-box "$TITLE" 60000)
    local label; label=$(probe describe "$TITLE" | sed -n 's/^control id=103 .* text=//p')
    probe dismiss-box "$TITLE" >/dev/null
    probe wait-gone "$TITLE" 10000 >/dev/null
    expect_eq 2 "$(tool_exit_code)"
    expect_eq "Reset finished with errors." "$label"
    expect_eq "box title=$TITLE text=$NOT_FULLY_RESET\\r\\n- Broken.dll $what (error $code)$RUN_AS_ADMIN buttons=OK icon=no owner=$TITLE" "$box"
    wait_for_calls 4
    expect_line "register KROutlook.dll" "$(calls)"
    expect_line "register Engine.dll" "$(calls)"
    forget_addin
}

# What keeps Outlook from loading the add-in is told, never changed: a policy,
# the new Outlook, a 64-bit Outlook without the add-in's 64-bit edition, a
# class whose server is missing. The crash record of this add-in goes;
# another's stays.
test_what_keeps_outlook_from_loading_the_addin_is_told() {
    forget_calls
    seed_components KROutlook.dll
    win_reg delete "HKLM\\$ADDIN_KEY" /f /reg:32 >/dev/null 2>&1 || true
    win_reg delete "HKLM\\$ADDIN_KEY" /f /reg:64 >/dev/null 2>&1 || true
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null 2>&1 || true
    local policy='HKCU\Software\Policies\Microsoft\Office\16.0\Outlook\Resiliency'
    local crashes='16.0\Outlook\Resiliency\CrashingAddinList' other
    other="0000$(utf16_hex 'c:\program files\other\addin.dll')"
    win_reg add "$policy\AddinList" /v KestrinSoftware.Connect /d 0 /f /reg:32 >/dev/null
    win_reg add "$OFFICE_KEY\16.0\Outlook\Preferences" /v UseNewOutlook /t REG_DWORD /d 1 /f /reg:32 >/dev/null
    # The x86 edition stays as it is: a 64-bit Outlook cannot load it.
    use_edition x64
    rm -rf "$ADDIN_DIR"
    local boxes; boxes=$(reset_once 3)
    expect_eq "box title=$TITLE text=$WILL_NOT_LOAD\\r\\n$POLICY\\r\\n$NEW_OUTLOOK\\r\\n- Outlook is 64-bit, and the add-in's 64-bit edition is not installed$CONTACT buttons=OK icon=no owner=$TITLE" "$(tail -1 <<<"$boxes")"
    expect_eq 0 "$(call_count)" "components started"
    if addin_key_exists HKLM /reg:32 || addin_key_exists HKLM /reg:64; then log "a registration was written"; return 1; fi

    use_edition "$DEFAULT_EDITION"
    seed_components KROutlook.dll
    seed_record "$crashes" ours "0700$(utf16_hex "$OUR_PATH")"
    seed_record "$crashes" other "$other"
    win_reg delete "$policy\AddinList" /f /reg:32 >/dev/null
    win_reg add "$policy" /v restricttolist /t REG_DWORD /d 1 /f /reg:32 >/dev/null
    win_reg delete "$OFFICE_KEY\16.0\Outlook\Preferences" /f /reg:32 >/dev/null
    win_reg add 'HKCU\Software\KestrinTest' /v InprocServer32 /d 'C:\Kestrin Gone\KROutlook.dll' /f /reg:32 >/dev/null
    boxes=$(reset_once 2)
    expect_eq "box title=$TITLE text=$NOT_FULLY_RESET\\r\\n- the add-in's component KestrinSoftware.Connect leads to C:\\Kestrin Gone\\KROutlook.dll, not to the add-in's own library\\r\\n\\r\\n$WILL_NOT_LOAD\\r\\n$POLICY$RUN_AS_ADMIN${REASONS}Outlook last stopped while the add-in was running; it may turn the add-in off at its next start.$WRITE_TO_SUPPORT buttons=OK icon=no owner=$TITLE" "$(tail -1 <<<"$boxes")"
    expect_eq absent "$(record_of "$crashes" ours)"
    expect_eq "$other" "$(record_of "$crashes" other)" "another add-in's crash record"

    win_reg add "$policy\AddinList" /v KestrinSoftware.Connect /d 1 /f /reg:32 >/dev/null
    win_reg delete 'HKCU\Software\KestrinTest' /v InprocServer32 /f /reg:32 >/dev/null
    expect_eq "box title=$TITLE text=$SUCCESS buttons=OK icon=no owner=$TITLE" "$(reset_once)" "listed where only those listed may load"
    win_reg delete 'HKCU\Software\Policies\Microsoft' /f /reg:32 >/dev/null
    win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null
    forget_addin
}

# What else keeps Outlook from loading the add-in, in one run: a run-time its
# library needs is missing, so that regsvr32 cannot load it; the Trust Center
# disables every add-in at level 4; and the user's own class, left leading
# to an old copy, outweighs the machine's and goes.
test_a_missing_run_time_the_trust_center_and_an_old_user_class_are_named() {
    forget_calls
    seed_components
    cp "$EDITION_BUILD/tests/comserver-needs-runtime.dll" "$ADDIN_DIR/KROutlook.dll"
    local clsid='{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}' security='HKCU\Software\Policies\Microsoft\Office\16.0\Outlook\Security'
    # The machine's class, registered when the run-time was still there.
    win_reg add 'HKLM\Software\Classes\KestrinSoftware.Connect\CLSID' /ve /d "$clsid" /f "$VIEW" >/dev/null
    win_reg add "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve /d "$ADDIN_WIN\\KROutlook.dll" /f "$VIEW" >/dev/null
    win_reg add 'HKCU\Software\Classes\KestrinSoftware.Connect\CLSID' /ve /d "$clsid" /f "$VIEW" >/dev/null
    win_reg add "HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve /d 'C:\Kestrin Old\KROutlook.dll' /f "$VIEW" >/dev/null
    win_reg add "$security" /v DontTrustInstalledFiles /t REG_DWORD /d 1 /f >/dev/null
    win_reg add "$security" /v Level /t REG_DWORD /d 4 /f >/dev/null
    local boxes; boxes=$(reset_once 2)
    expect_eq "box title=$TITLE text=$NOT_FULLY_RESET\\r\\n- KROutlook.dll could not be loaded (error 3)\\r\\n\\r\\n$WILL_NOT_LOAD\\r\\n- the add-in needs kestrinrt.dll, which is not on this computer\\r\\n- Outlook's Trust Center disables all add-ins; please ask your administrator$CONTACT buttons=OK icon=no owner=$TITLE" "$(tail -1 <<<"$boxes")"
    if win_reg query 'HKCU\Software\Classes\KestrinSoftware.Connect' "$VIEW" >/dev/null 2>&1 ||
        win_reg query "HKCU\\Software\\Classes\\CLSID\\$clsid" "$VIEW" >/dev/null 2>&1; then
        log "the user's old class stayed"; return 1
    fi
    win_reg delete 'HKCU\Software\Policies\Microsoft' /f >/dev/null
    win_reg delete 'HKLM\Software\Classes\KestrinSoftware.Connect' /f "$VIEW" >/dev/null
    win_reg delete "HKLM\\Software\\Classes\\CLSID\\$clsid" /f "$VIEW" >/dev/null
    forget_addin
}
