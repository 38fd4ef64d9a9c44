# What a standard user may prepare against the system's run, as far as Wine
# shows it: Wine runs every program as one user who owns every file, and
# checks no folder's access list but by its Unix modes. A Unix symbolic link
# stands for a junction (Wine shows it as a reparse point by its name), a
# folder of mode 0777 for one that everyone may change, a mutex that denies
# everyone for a lock's name taken first.

prepare() { run_windows "$TOOL_BUILD/tests/prepare.exe" "$@"; }

RECORD_ABOVE="$WINEPREFIX/drive_c/ProgramData/Kestrin Software"
SYSTEM32="$WINEPREFIX/drive_c/windows/system32"

# A file the system needs, where a link would lead the record.
plant_victims() {
    printf 'system' >"$SYSTEM32/AddinsReset.log"
    printf 'system' >"$SYSTEM32/AddinsReset.lo_"
}

victims_untouched() {
    local file
    for file in "$SYSTEM32/AddinsReset.log" "$SYSTEM32/AddinsReset.lo_"; do
        [ "$(cat "$file" 2>/dev/null)" = system ] || { log "$file was changed: $(head -c 200 "$file" 2>/dev/null)"; return 1; }
    done
    if ls "$SYSTEM32"/AddinsReset-*.reg >/dev/null 2>&1; then log "a backup was made in system32"; return 1; fi
}

# The record's own folder as a link into system32: nothing written through
# it, and no record (Wine moves no link, which Windows moves as itself:
# the fakes show that it is put aside). As one that everyone may change: put
# aside, and the reset keeps its record in one it makes again. The folder
# above as a link: no record at all, and the answer says why, once.
test_a_record_folder_a_user_prepared_is_never_written_through() {
    local out rc shape
    for shape in link open; do
        forget_everything
        seed_components KROutlook.dll
        win_reg add "HKLM\\$ADDIN_KEY" /v LoadBehavior /t REG_DWORD /d 2 /f "$VIEW" >/dev/null
        plant_victims
        rm -rf "$RECORD_ABOVE"
        mkdir -p "$RECORD_ABOVE"
        if [ $shape = link ]; then
            ln -s "$SYSTEM32" "$RECORD_DIR"
        else
            mkdir "$RECORD_DIR" && chmod 0777 "$RECORD_DIR"
        fi
        out=$(run_cmd reset --json) && rc=0 || rc=$?
        expect_eq 0 "$rc" "a reset with the record's folder $shape"
        victims_untouched
        if [ $shape = link ]; then
            expect_eq "None recordFolderUnsafe" "$(json_of 'o["log"], o["logMissing"]["code"]' "$out" | tr -d "(),'")"
            [ -L "$RECORD_DIR" ] || { log "the link is gone"; return 1; }
            rm -f "$RECORD_DIR"
            continue
        fi
        expect_eq 'C:\ProgramData\Kestrin Software\Add-Ins Reset\AddinsReset.log' "$(json_of 'o["log"]' "$out")" "$shape"
        local aside; aside=$(ls -d "$RECORD_DIR"-unsafe-* 2>/dev/null)
        [ -n "$aside" ] || { log "$shape: the unsafe folder was not put aside"; return 1; }
        [ -d "$RECORD_DIR" ] || { log "$shape: no folder made again"; return 1; }
        grep -q "was put aside as C:\\\\ProgramData\\\\Kestrin Software\\\\Add-Ins Reset-unsafe-.*: Everyone may change it" \
            "$RECORD_DIR/AddinsReset.log" || { log "$shape: the log does not say what was put aside: $(cat "$RECORD_DIR/AddinsReset.log")"; return 1; }
        # Wine turns a folder made for the administrators into modes that give everyone else nothing.
        expect_eq 0 "$(( 0$(stat -c %a "$RECORD_DIR") & 07 ))" "$shape: what others may do in the folder made again"
        rm -rf "$aside"
    done

    forget_everything
    seed_components KROutlook.dll
    win_reg add "HKLM\\$ADDIN_KEY" /v LoadBehavior /t REG_DWORD /d 2 /f "$VIEW" >/dev/null
    plant_victims
    rm -rf "$RECORD_ABOVE"
    ln -s "$SYSTEM32" "$RECORD_ABOVE"
    out=$(run_cmd reset --json) && rc=0 || rc=$?
    expect_eq 0 "$rc" "a reset with the folder above a link"
    expect_eq "None recordFolderUnsafe" "$(json_of 'o["log"], o["logMissing"]["code"]' "$out" | tr -d "(),'")"
    victims_untouched
    [ -L "$RECORD_ABOVE" ] || { log "the folder above was moved"; return 1; }
    out=$(run_cmd reset) && rc=0 || rc=$?
    expect_eq 'No log was kept: C:\ProgramData\Kestrin Software is not safe for it, as it is a link.' "$(tail -1 <<<"$out")"
    rm -f "$RECORD_ABOVE" "$SYSTEM32/AddinsReset.log" "$SYSTEM32/AddinsReset.lo_"
    forget_everything
}

# Her own stale class, with a key whose name would close the backup's block
# and open one for the machine's Run key: the class stays and is named, and
# the backup's import writes nothing there. Her class a link to a key of the
# machine: the machine's key keeps every value, and neither the log nor the
# backup holds them.
test_a_users_key_names_and_links_change_nothing_outside_the_addins_keys() {
    local clsid='{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}' out rc backup
    local run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
    forget_everything
    seed_components KROutlook.dll
    win_reg delete "$run" /v Evil /f >/dev/null 2>&1 || true
    win_reg add 'HKCU\Software\Classes\KestrinSoftware.Connect\CLSID' /ve /d "$clsid" /f "$VIEW" >/dev/null
    win_reg add "HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve /d 'C:\Kestrin Old\KROutlook.dll' /f "$VIEW" >/dev/null
    prepare key "${VIEW#/reg:}" "Software\\Classes\\CLSID\\$clsid\\a]\\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\\n\"Evil\"=\"evil.exe\"\\n[x"
    out=$(run_cmd reset) && rc=0 || rc=$?
    expect_eq 2 "$rc" "a reset of a class with a key of that name"
    expect_line "- an old registration of the add-in for this user could not be removed" "$out"
    win_reg query "HKCU\\Software\\Classes\\CLSID\\$clsid" "$VIEW" >/dev/null || { log "the class was removed"; return 1; }
    backup=$(ls "$RECORD_DIR"/AddinsReset-*.reg | tail -1)
    if backup_text "$backup" | grep -q '^\[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows'; then
        log "the backup opens a block of the machine's: $(backup_text "$backup")"; return 1
    fi
    $WINE regedit /s "C:\\ProgramData\\Kestrin Software\\Add-Ins Reset\\$(basename "$backup")"
    if win_reg query "$run" /v Evil >/dev/null 2>&1; then log "the import wrote the machine's Run key"; return 1; fi
    local view
    for view in /reg:32 /reg:64; do
        win_reg delete "HKCU\\Software\\Classes\\CLSID\\$clsid" /f "$view" >/dev/null 2>&1 || true
    done

    local victim='HKLM\Software\KestrinVictim'
    win_reg add "$victim\\InprocServer32" /ve /d 'C:\Kestrin Old\KROutlook.dll' /f "$VIEW" >/dev/null
    win_reg add "$victim" /v Kept /d yes /f "$VIEW" >/dev/null
    prepare link "${VIEW#/reg:}" "Software\\Classes\\CLSID\\$clsid" '\Registry\Machine\Software\KestrinVictim'
    out=$(run_cmd reset) && rc=0 || rc=$?
    expect_line "    Kept    REG_SZ    yes" "$(win_reg query "$victim" "$VIEW" | tr -d '\r')"
    win_reg query "$victim\\InprocServer32" "$VIEW" >/dev/null || { log "the machine's key lost its subkey"; return 1; }
    local f
    if grep -q KestrinVictim "$RECORD_DIR"/*.log ||
        for f in "$RECORD_DIR"/*.reg; do backup_text "$f"; done | grep -q KestrinVictim; then
        log "the record holds the machine's key"; return 1
    fi
    prepare unlink "${VIEW#/reg:}" "Software\\Classes\\CLSID\\$clsid"
    win_reg delete "$victim" /f "$VIEW" >/dev/null
    win_reg delete 'HKCU\Software\Classes\KestrinSoftware.Connect' /f "$VIEW" >/dev/null 2>&1 || true
    forget_everything
}

# A lock's name a user made first and keeps everyone out of, and the log's:
# the reset runs, and no entry waits for her.
test_a_lock_name_a_user_holds_stops_no_reset() {
    forget_everything
    seed_components KROutlook.dll
    local name pids=() out rc started
    for name in KestrinSoftwareAddinsReset KestrinSoftwareAddinsResetLog; do
        prepare mutex "Global\\$name" 'D:(D;;GA;;;WD)' 60 >"$E2E_WORK/held-$name" &
        pids+=($!)
    done
    for name in KestrinSoftwareAddinsReset KestrinSoftwareAddinsResetLog; do
        for _ in $(seq 1 50); do grep -q holding "$E2E_WORK/held-$name" && break; sleep 0.1; done
    done
    started=$(now_ms)
    out=$(run_cmd reset) && rc=0 || rc=$?
    local took=$(( $(now_ms) - started ))
    kill "${pids[@]}" 2>/dev/null || true
    wait "${pids[@]}" 2>/dev/null || true
    $WINE taskkill /f /im prepare.exe >/dev/null 2>&1 || true
    expect_eq 0 "$rc" "a reset while a user holds the lock's name"
    expect_eq "$SUCCESS" "$(head -1 <<<"$out")"
    grep -q "held by an account that is no administrator" "$RECORD_DIR/AddinsReset.log" ||
        { log "the log does not say the lock's name was taken"; return 1; }
    # One component, its two runs and their pauses: about 3 s; a wait of 2 s an entry would be over 30.
    [ "$took" -lt 15000 ] || { log "the reset took $took ms"; return 1; }
    forget_everything
}
