# The add-in registration rewrite in Wine's real registry.

# Sorted by name, as addin_values lists them.
REGISTRATION="CommandLineSafe REG_DWORD 0x0
Description REG_SZ Kestrin Software Add-In Engine
FriendlyName REG_SZ Kestrin Software Add-In Engine
LoadBehavior REG_DWORD 0x3"

test_reset_creates_the_registration_under_hklm_only() {
    forget_addin
    reset_once >/dev/null
    expect_eq "$REGISTRATION" "$(addin_values HKLM)"
    if addin_key_exists HKCU; then log "HKCU was written in a normal run"; return 1; fi
    forget_addin
}

test_reset_keeps_the_addins_own_settings() {
    forget_addin
    local key="HKLM\\$ADDIN_KEY"
    win_reg add "$key" /v LoadBehavior /t REG_DWORD /d 2 /f /reg:32 >/dev/null
    win_reg add "$key" /v FriendlyName /t REG_SZ /d "Old name" /f /reg:32 >/dev/null
    win_reg add "$key" /v ServerName /t REG_SZ /d "mail.kestrin.test" /f /reg:32 >/dev/null
    win_reg add "$key" /v SyncMinutes /t REG_DWORD /d 15 /f /reg:32 >/dev/null
    win_reg add "$key\\Profiles\\Default" /v Colour /t REG_SZ /d blue /f /reg:32 >/dev/null
    reset_once >/dev/null
    expect_eq "$REGISTRATION
ServerName REG_SZ mail.kestrin.test
SyncMinutes REG_DWORD 0xf" "$(addin_values HKLM)"
    expect_line "Colour REG_SZ blue" "$(win_reg query "$key\\Profiles\\Default" /reg:32 | sed -n 's/^    \([^ ]*\)    \(REG_[A-Z_]*\)    \(.*\)$/\1 \2 \3/p')"
    forget_addin
}

test_nothing_is_written_while_outlook_runs() {
    forget_addin
    start_outlook "$WINDOWS_BUILD/tests/sleeper.exe" "$OFFICE32_DIR" "$OFFICE32_WIN"
    start_tool
    probe click "$TITLE" "&Reset" >/dev/null
    probe dismiss-box "$OUTLOOK_TITLE" 20000 >/dev/null
    probe wait-gone "$TITLE" 10000 >/dev/null
    stop_outlook
    if addin_key_exists HKLM || addin_key_exists HKCU; then log "the registry was written under Outlook"; return 1; fi
}
