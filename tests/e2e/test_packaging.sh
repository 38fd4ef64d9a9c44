# The MSI under Wine's msiexec, and a signed build. The MSI: both programs
# per machine in the folder the Intune scripts look in, an Add or Remove
# Programs entry, the events' source; a reinstall, an upgrade from an older version, and an uninstall
# that leaves the record folder. Exit codes are read through cmd, which
# sees them whole (Linux sees them modulo 256).

MSI_TOOLS_UNIX="Program Files (x86)/Kestrin Software/Tools"
MSI_UPGRADE_CODE='{F6F1F34F-A060-5FF4-9F18-C041AAA140F4}'
EVENT_SOURCE_KEY='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Kestrin Software Add-Ins Reset'

# msiexec's exit code, as cmd reads it.
msiexec_code() {
    printf '@msiexec %%*\r\n@echo exit=%%errorlevel%%\r\n' >"$WINEPREFIX/drive_c/kestrin-msi.cmd"
    $WINE cmd /c 'C:\kestrin-msi.cmd' "$@" 2>/dev/null | tr -d '\r' | sed -n 's/^exit=//p'
}

# The product code of an MSI, from its Property table.
msi_product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }

# The Add or Remove Programs entry of a product code, in the view Wine's msiexec keeps it.
arp_entry() {
    local view
    for view in /reg:32 /reg:64; do
        win_reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" "$view" 2>/dev/null && return 0
    done
    return 1
}

test_the_msi_installs_upgrades_and_uninstalls() {
    local msi="$WINDOWS_BUILD/AddinsReset.msi" product older_product code out
    [ -f "$msi" ] || { log "no $msi: the windows build makes it where wixl is installed"; return 1; }
    product=$(msi_product_code "$msi")
    cp "$msi" "$WINEPREFIX/drive_c/kestrin.msi"
    # An older version of its own, built as the build builds the MSI.
    local older="$E2E_WORK/older"
    rm -rf "$older" && mkdir -p "$older"
    cp "$WINDOWS_BUILD/AddinsReset.exe" "$WINDOWS_BUILD/AddinsResetCmd.exe" "$older/"
    "$E2E_ROOT/packaging/msi.sh" "$older" 0.9.0.0 "$WINEPREFIX/drive_c/kestrin-older.msi"
    older_product=$(msi_product_code "$WINEPREFIX/drive_c/kestrin-older.msi")
    [ "$older_product" != "$product" ] || { log "two versions share the product code $product"; return 1; }

    # A prefix that has it from an earlier run starts without it.
    msiexec_code /x "$product" /qn >/dev/null
    code=$(msiexec_code /i 'C:\kestrin-older.msi' /qn)
    expect_eq 0 "$code" "the older version's install"
    arp_entry "$older_product" >/dev/null || { log "the older version has no Add or Remove Programs entry"; return 1; }
    code=$(msiexec_code /i 'C:\kestrin.msi' /qn)
    expect_eq 0 "$code" "the upgrade"
    if arp_entry "$older_product" >/dev/null; then log "the upgrade left the older version installed"; return 1; fi
    out=$(arp_entry "$product" | tr -d '\r') || { log "no Add or Remove Programs entry for $product"; return 1; }
    expect_line "    DisplayName    REG_SZ    Kestrin Software Add-Ins Reset" "$out"
    expect_line "    Publisher    REG_SZ    Kestrin Software" "$out"
    expect_line "    DisplayVersion    REG_SZ    1.0.0.0" "$out"
    code=$(msiexec_code /i 'C:\kestrin.msi' /qn)
    expect_eq 0 "$code" "a reinstall of the same version"
    code=$(msiexec_code /i 'C:\kestrin-older.msi' /qn)
    expect_eq 1603 "$code" "a downgrade, which the MSI refuses"

    # Where the Intune scripts look first: ${env:ProgramFiles(x86)}\Kestrin Software\Tools.
    local tools="$WINEPREFIX/drive_c/$MSI_TOOLS_UNIX"
    [ -f "$tools/AddinsReset.exe" ] && [ -f "$tools/AddinsResetCmd.exe" ] || { log "not installed in $tools"; return 1; }
    grep -qF "'Kestrin Software\\Tools\\AddinsResetCmd.exe'" "$E2E_ROOT/docs/intune/Detect-KestrinAddins.ps1" ||
        { log "the detection script looks elsewhere"; return 1; }
    # Where no 32-bit program runs, the installed 32-bit programs cannot either.
    if [ -z "$NO_32BIT" ]; then
        (cd "$tools" && $WINE AddinsResetCmd.exe help >/dev/null 2>&1) ||
            { log "the installed console program does not run"; return 1; }
    fi
    out=$(win_reg query "$EVENT_SOURCE_KEY" /reg:64 | tr -d '\r')
    expect_line "    EventMessageFile    REG_SZ    C:\\Program Files (x86)\\Kestrin Software\\Tools\\AddinsResetCmd.exe" "$out"
    expect_line "    TypesSupported    REG_DWORD    0x7" "$out"

    mkdir -p "$WINEPREFIX/drive_c/ProgramData/Kestrin Software/Add-Ins Reset"
    touch "$WINEPREFIX/drive_c/ProgramData/Kestrin Software/Add-Ins Reset/AddinsReset.log"
    code=$(msiexec_code /x "$product" /qn)
    expect_eq 0 "$code" "the uninstall"
    if [ -e "$tools/AddinsResetCmd.exe" ] || [ -e "$tools/AddinsReset.exe" ]; then log "the uninstall left the programs"; return 1; fi
    if win_reg query "$EVENT_SOURCE_KEY" /reg:64 >/dev/null 2>&1; then log "the uninstall left the events' source"; return 1; fi
    if arp_entry "$product" >/dev/null; then log "the uninstall left the Add or Remove Programs entry"; return 1; fi
    [ -f "$WINEPREFIX/drive_c/ProgramData/Kestrin Software/Add-Ins Reset/AddinsReset.log" ] ||
        { log "the uninstall took the record folder"; return 1; }
    rm -f "$WINEPREFIX/drive_c/kestrin.msi" "$WINEPREFIX/drive_c/kestrin-older.msi" "$WINEPREFIX/drive_c/kestrin-msi.cmd"
}

# A build signed with a throwaway certificate: the three files verify, the
# exes keep their imports, manifest and version, and the signed console
# program runs.
test_a_signed_build_verifies_and_runs() {
    local out
    out=$(WINDOWS_BUILD="$WINDOWS_BUILD" "$E2E_ROOT/tests/signing/run.sh" 2>&1) || { log "$out"; return 1; }
    log "$out"
    [ -n "$NO_32BIT" ] && return 0
    (cd "$E2E_ROOT/build/signing" && $WINE AddinsResetCmd.exe help >/dev/null 2>&1) ||
        { log "the signed AddinsResetCmd.exe does not run"; return 1; }
}

# Every event ID the programs write has its message in AddinsResetCmd.exe's
# table, with both strings, as the Event Viewer formats it from the source
# the MSI registers; a reset's event reaches Wine's event log calls (which
# keep no log: their debug channel shows the ID and the strings).
test_every_event_formats_and_a_reset_reports_one() {
    local ids id out
    ids=$(sed -n 's/^MessageId=//p' "$E2E_ROOT/src/console/res/AddinsResetEvents.mc" | tr '\n' ' ')
    expect_eq "1000 1001 1002 1003 1004 1100 1101 1102 1104 1113 1187 1999 " "$ids" "the message table's IDs"
    for id in $ids; do
        out=$(probe format-event "$CMD_WIN" "$id") || { log "event $id does not format: $out"; return 1; }
        case "$out" in *TEXT*JSON*) ;; *) log "event $id lacks its strings: $out"; return 1 ;; esac
    done
    forget_everything
    seed_components KROutlook.dll
    out=$(cd "$TOOL_DIR" && WINEDEBUG=+eventlog $WINE "$CMD_WIN" reset --json 2>&1 >/dev/null)
    grep -q 'ReportEventA ([0-9A-Fa-f]*,0x0004,0x0000,0x000003e8,' <<<"$out" ||
        { log "no information event 1000 reached Wine: $(grep -i event <<<"$out" | head -5)"; return 1; }
    grep -q 'ReportEventW L"Successfully reset Kestrin Software add-ins' <<<"$out" || { log "the event lacks the text"; return 1; }
    grep -q 'ReportEventW L"{\\"command\\":\\"reset\\",\\"exitCode\\":0,' <<<"$out" || { log "the event lacks the JSON line"; return 1; }
    forget_everything
}
