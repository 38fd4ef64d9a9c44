#!/usr/bin/env bash
# Builds AddinsReset.exe and opens its window under Wine on a demo prefix in
# build/demo. With a display it waits for you; without one it runs headless
# under Xvfb, presses Reset, prints every box it saw and saves screenshots.
# Before and after the window's reset, AddinsResetCmd.exe check says what it
# finds, with its exit code. DEMO_WORK names another folder for the prefix
# and the screenshots (the test command's smoke run of the demo).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh || { echo "run: the set-up failed at the step named above; nothing was built"; exit 1; }
scripts/build.sh || { echo "run: the build failed (above)"; exit 1; }

. tests/e2e/lib.sh
[ -z "$NO_32BIT" ] || echo "run: $NO_32BIT; the demo shows the 64-bit build of the tool under wine64, resetting the add-in's x64 edition"
demo=${DEMO_WORK:-$PWD/build/demo}
export WINEPREFIX="$demo/prefix"
TOOL_DIR="$WINEPREFIX/drive_c/Kestrin Tools"
E2E_WORK="$demo"
shots=${DEMO_WORK:+$demo/screenshots}
shots=${shots:-$PWD/build/screenshots}
mkdir -p "$shots"

headless=
if [ -z "${DISPLAY:-}" ] || [ -n "${CI:-}" ]; then
    headless=yes
    trap stop_all EXIT
    # Wine must see the display from its first process on.
    start_display
    echo "run: no display, running headless on $DISPLAY"
fi

if ! prefix_fits; then
    echo "run: creating the demo Wine prefix in $WINEPREFIX"
    make_prefix
else
    keep_server
    install_wine_fonts
    install_tools
fi
use_edition "$DEFAULT_EDITION"

# A disabled registration with a few of the add-in's own settings, as a user
# who needs the tool would have it.
forget_addin
demo_key="HKLM\\$ADDIN_KEY"
win_reg add "$demo_key" /v LoadBehavior /t REG_DWORD /d 2 /f "$VIEW" >/dev/null
win_reg add "$demo_key" /v ServerName /t REG_SZ /d "mail.kestrin.example" /f "$VIEW" >/dev/null
win_reg add "$demo_key" /v SyncMinutes /t REG_DWORD /d 15 /f "$VIEW" >/dev/null
win_reg add "$demo_key\\Profiles\\Default" /v Colour /t REG_SZ /d blue /f "$VIEW" >/dev/null
# Office's per-user override that disabled it, and Outlook's record of a crash.
win_reg delete "$OFFICE_KEY" /f /reg:32 >/dev/null 2>&1 || true
win_reg add "HKCU\\$ADDIN_KEY" /v LoadBehavior /t REG_DWORD /d 2 /f /reg:32 >/dev/null
demo_items='16.0\Outlook\Resiliency\DisabledItems'
seed_record "$demo_items" 7a1 "$(record_hex "$OUR_PATH" 'Kestrin Software Add-In Engine')"
seed_record "$demo_items" 3f2 "$(record_hex 'c:\program files\other vendor\addin.dll' 'Other Add-In')"
# Outlook's timing of the add-in's last five starts, which the final box tells beside the crash.
seed_record '16.0\Outlook\AddInLoadTimes' KestrinSoftware.Connect "$(le32 5)$(le32 900)$(le32 1204)$(le32 1300)$(le32 1100)$(le32 2000)"
# The add-in's folder, with copies of the test COM server that record each call.
seed_components KROutlook.dll KRCalendar.dll KRGrid.ocx
forget_calls
echo "run: add-in folder $ADDIN_WIN holds: $(ls "$ADDIN_DIR" | tr '\n' ' ')"
show_registration() {
    echo "run: registration $1 the reset (HKLM, the $EDITION edition's view):"
    addin_values HKLM | sed 's/^/    /'
    echo "run: per-user registration $1 the reset (HKCU):"
    addin_values HKCU | sed 's/^/    /'
    echo "run: Outlook's disabled add-ins $1 the reset (HKCU\\Software\\Microsoft\\Office\\$demo_items):"
    win_reg query "$OFFICE_KEY\\$demo_items" /reg:32 | sed -n 's/^    \([^ ]*\)    REG_BINARY    \(.\{40\}\).*/    \1 REG_BINARY \2.../p'
}
show_registration before
# What the administrators' program finds: the exit code 1 says a reset is needed.
show_check() {
    local out rc
    out=$(run_cmd check) && rc=0 || rc=$?
    echo "run: AddinsResetCmd.exe check $1 the reset (exit code $rc):"
    sed 's/^/    /' <<<"$out"
}
show_check before

show_after() {
    wait_for_calls 6
    echo "run: registration calls the components saw, in order:"
    calls | sed 's/^/    /'
    show_registration after
    show_check after
    local record="$WINEPREFIX/drive_c/ProgramData/Kestrin Software/Add-Ins Reset"
    echo "run: the reset's log, C:\\ProgramData\\Kestrin Software\\Add-Ins Reset\\AddinsReset.log, its entries' texts:"
    tr -d '\r' <"$record/AddinsReset.log" 2>/dev/null | sed -n 's/^<!\[LOG\[\(.*\)\]LOG\]!>.*/    \1/p'
    echo "run: the registry as it was, to import with regedit: $(cd "$record" 2>/dev/null && ls AddinsReset-*.reg)"
    echo "run: AddinsResetCmd.exe check --json after the reset:"
    run_cmd check --json | sed 's/^/    /' || true
}

if [ -z "$headless" ]; then
    echo "run: opening the tool; press Reset or close its window"
    (cd "$TOOL_DIR" && $WINE "$TOOL_WIN")
    show_after
    wineserver -k
    exit 0
fi

# Wine's own desktop draws the window frames that Xvfb, with no window manager, would not.
win_reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
win_reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 520x300 /f >/dev/null
# The desktop is chosen when Wine starts: restart it, or a new prefix keeps the one made before the keys existed.
keep_server
# Cropped to the tool's window and its boxes, frames included.
shoot() { import -window root -crop "$(probe bounds "$TITLE")" +repage "$shots/$1"; }
start_tool
sleep 1
shoot window.png
probe describe "$TITLE"
probe click "$TITLE" "&Reset"
shoot_box() { shoot box.png; }
ON_BOX=shoot_box dismiss_boxes_until_the_last
probe wait-gone "$TITLE" 20000
echo "run: the tool exited with code $(tool_exit_code)"
show_after
echo "run: screenshots in $shots (window.png, box.png)"
