# The administrators' "restore" against Wine's real registry and regsvr32:
# for each shape, what a reset may change is exported, the reset runs, its
# backup is restored, and the export after is the export before.

RESTORE_CLSID='{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}'

# The keys of the shapes as the 64-bit reg.exe shows them in both views.
restore_snapshot() {
    local key view
    for view in /reg:32 /reg:64; do
        for key in 'HKLM\Software\Microsoft\Office' 'HKCU\Software\Microsoft\Office' \
            'HKLM\Software\Classes\KestrinSoftware.Connect' 'HKCU\Software\Classes\KestrinSoftware.Connect' \
            "HKLM\\Software\\Classes\\CLSID\\$RESTORE_CLSID" "HKCU\\Software\\Classes\\CLSID\\$RESTORE_CLSID"; do
            echo "== $key $view"
            win_reg query "$key" /s "$view" 2>&1 || true
        done
    done
}

# A key of the machine's in the edition's view, as the 64-bit regedit names it.
machine_key() {
    if [ "$VIEW" = /reg:32 ]; then echo "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\${1#Software\\}"; else echo "HKEY_LOCAL_MACHINE\\$1"; fi
}

# Lines of the NT line's .reg form imported with regedit, for what reg.exe cannot write.
import_lines() {
    local file="$WINEPREFIX/drive_c/kestrin-shape.reg"
    { printf '\xff\xfe'; printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n' "$1" | iconv -f UTF-8 -t UTF-16LE; } >"$file"
    $WINE regedit /s 'C:\kestrin-shape.reg' >/dev/null 2>&1
    rm -f "$file"
}

# The add-in's settings in every type: text outside the code page, a line
# break in a text, several texts, a path to expand, bytes, a quadword, a
# number, and a subkey of them.
restore_settings() {
    local key
    key=$(machine_key "$ADDIN_KEY")
    import_lines "[$key]
\"LoadBehavior\"=dword:00000002
\"FriendlyName\"=\"東京 \\\"Kestrin\\\" C:\\\\x\"
\"Banner\"=hex(1):74,00,77,00,6f,00,0d,00,0a,00,6c,00,69,00,6e,00,65,00,73,00,00,00
\"Paths\"=hex(7):61,00,00,00,e9,00,00,00,00,00
\"Home\"=hex(2):25,00,41,00,50,00,50,00,44,00,41,00,54,00,41,00,25,00,00,00
\"Blob\"=hex:00,01,02,fe,ff
\"Big\"=hex(b):01,02,03,04,05,06,07,08
\"SyncMinutes\"=dword:0000000f"
    # Wine's regedit makes no key two levels below a Wow6432Node key that is not there.
    win_reg add "HKLM\\$ADDIN_KEY\\Profiles\\Default" /v Colour /d blue /f "$VIEW" >/dev/null
}

# A restore of the newest backup ends with 0 and leaves the export as $1
# was. $2 names the shape.
expect_restored_to() {
    local out rc after
    out=$(run_cmd restore) && rc=0 || rc=$?
    expect_eq 0 "$rc" "the restore of $2: $out"
    after=$(restore_snapshot)
    if [ "$1" != "$after" ]; then
        log "the restore of $2 left differences:"
        diff <(echo "$1") <(echo "$after") | head -40 >&2
        return 1
    fi
}

# Exports, resets, restores, exports: nothing differs. $1 names the shape.
expect_round_trip() {
    local before
    before=$(restore_snapshot)
    run_cmd reset >/dev/null || true
    expect_restored_to "$before" "$1"
}

test_a_restore_puts_back_what_a_reset_changed_in_every_shape() {
    forget_everything
    seed_components KROutlook.dll Grid.ocx
    restore_settings
    expect_round_trip "settings of every type" || return 1

    forget_everything
    seed_components KROutlook.dll Grid.ocx
    restore_settings
    win_reg add 'HKCU\Software\KestrinTest' /v DropRegistration /t REG_DWORD /d 1 /f /reg:32 >/dev/null
    win_reg add 'HKCU\Software\KestrinTest' /v WriteRegistration /t REG_DWORD /d 1 /f /reg:32 >/dev/null
    expect_round_trip "a component that deletes the registration key" || return 1
    # The reset itself kept every setting through that component.
    run_cmd reset >/dev/null || true
    expect_line "SyncMinutes REG_DWORD 0xf" "$(addin_values HKLM)"
    expect_line "    Colour    REG_SZ    blue" "$(win_reg query "HKLM\\$ADDIN_KEY\\Profiles\\Default" "$VIEW")"

    forget_everything
    seed_components KROutlook.dll
    win_reg add "HKLM\\$ADDIN_KEY" /v LoadBehavior /t REG_DWORD /d 3 /f "$VIEW" >/dev/null
    win_reg add "HKLM\\Software\\Classes\\CLSID\\$RESTORE_CLSID\\InprocServer32" /ve /d 'C:\Kestrin Old\KROutlook.dll' /f "$VIEW" >/dev/null
    win_reg add 'HKLM\Software\Classes\KestrinSoftware.Connect\CLSID' /ve /d "$RESTORE_CLSID" /f "$VIEW" >/dev/null
    expect_round_trip "a component that rewrites the add-in's class" || return 1

    forget_everything
    seed_components KROutlook.dll
    expect_round_trip "no registration before the reset" || return 1

    forget_everything
    seed_components KROutlook.dll
    restore_settings
    local c2r="Software\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software\\"
    [ "$VIEW" = /reg:64 ] || c2r+="Wow6432Node\\"
    win_reg add "HKLM\\${c2r}Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect" /v LoadBehavior /t REG_DWORD /d 0 /f /reg:64 >/dev/null
    win_reg add "HKCU\\Software\\Classes\\CLSID\\$RESTORE_CLSID\\InprocServer32" /ve /d 'C:\Kestrin Old\KROutlook.dll' /f "$VIEW" >/dev/null
    win_reg add 'HKCU\Software\Classes\KestrinSoftware.Connect\CLSID' /ve /d "$RESTORE_CLSID" /f "$VIEW" >/dev/null
    expect_round_trip "Click-to-Run's copy and a user's class" || return 1
    win_reg delete "HKLM\\Software\\Microsoft\\Office\\ClickToRun" /f /reg:64 >/dev/null 2>&1 || true
    win_reg delete 'HKCU\Software\Classes\KestrinSoftware.Connect' /f "$VIEW" >/dev/null 2>&1 || true
    win_reg delete "HKCU\\Software\\Classes\\CLSID\\$RESTORE_CLSID" /f "$VIEW" >/dev/null 2>&1 || true
    forget_everything
}

# A reset killed while its components unregister: the restore brings back
# every key, the add-in's class and ProgID among them, which regsvr32 had
# already taken; the log shows how far the reset came.
test_a_restore_after_a_killed_reset_brings_every_key_back() {
    forget_everything
    seed_components KROutlook.dll Slow1.dll Slow2.dll Slow3.dll Slow4.dll
    restore_settings
    win_reg add "HKLM\\Software\\Classes\\CLSID\\$RESTORE_CLSID\\InprocServer32" /ve /d "$ADDIN_WIN\\KROutlook.dll" /f "$VIEW" >/dev/null
    win_reg add 'HKLM\Software\Classes\KestrinSoftware.Connect\CLSID' /ve /d "$RESTORE_CLSID" /f "$VIEW" >/dev/null
    local before
    before=$(restore_snapshot)
    run_cmd reset >/dev/null 2>&1 &
    local started=$! _
    for _ in $(seq 1 100); do
        grep -aq 'regsvr32 /u /s .*KROutlook.dll' "$RECORD_DIR/AddinsReset.log" 2>/dev/null && break
        sleep 0.1
    done
    $WINE taskkill /f /im AddinsResetCmd.exe >/dev/null 2>&1 || true
    wait "$started" 2>/dev/null || true
    $WINE taskkill /f /im regsvr32.exe >/dev/null 2>&1 || true
    grep -aq 'regsvr32 /u /s .*KROutlook.dll.: exit code 0' "$RECORD_DIR/AddinsReset.log" || {
        log "the log does not show the run that ended before the kill"; return 1
    }
    if grep -aq 'Exit code' "$RECORD_DIR/AddinsReset.log"; then
        log "the killed reset ran to its end"; return 1
    fi
    expect_restored_to "$before" "a killed reset" || return 1
    forget_everything
}

# Nothing but a backup of the record's own folder is restored.
test_a_restore_refuses_a_file_elsewhere() {
    forget_everything
    seed_components KROutlook.dll
    run_cmd reset >/dev/null || true
    local backup out rc
    backup=$(basename "$(ls "$RECORD_DIR"/AddinsReset-*.reg | tail -1)")
    cp "$RECORD_DIR/$backup" "$WINEPREFIX/drive_c/$backup"
    out=$(run_cmd restore "C:\\$backup") && rc=0 || rc=$?
    expect_eq 87 "$rc" "a restore of a copy elsewhere: $out"
    out=$(run_cmd restore --json "$backup") && rc=0 || rc=$?
    expect_eq 0 "$rc" "a restore by the backup's name: $out"
    expect_line '"command":"restore","exitCode":0' "$(grep -o '"command":"restore","exitCode":0' <<<"$out")"
    rm -f "$WINEPREFIX/drive_c/$backup"
    forget_everything
}
