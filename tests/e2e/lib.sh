# Shared set-up of the end-to-end tests: a fresh Wine prefix inside the build
# tree, an Xvfb display, the tool and its probe, and small assertions.
# Sourced by run.sh; every test is a shell function named test_*.

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WINDOWS_BUILD="$E2E_ROOT/build/windows"
X64_BUILD="$E2E_ROOT/build/windows-x64"
# A shard of the tests works in a folder of its own, given by the run that starts it.
E2E_WORK=${E2E_WORK:-"$E2E_ROOT/build/e2e"}
TITLE="Kestrin Software Add-Ins Reset"
OUTLOOK_TITLE="Reset Outlook AddIns"

export WINEPREFIX="$E2E_WORK/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH

TOOL_DIR="$WINEPREFIX/drive_c/Kestrin Tools"
TOOL_WIN='C:\Kestrin Tools\AddinsReset.exe'
CMD_WIN='C:\Kestrin Tools\AddinsResetCmd.exe'

log() { printf '%s\n' "$*" >&2; }

# Some kernels refuse every 32-bit program ("Exec format error"), Wine's
# 32-bit loader among them. Prints why this machine runs none, or nothing when
# it runs them. ADDINSRESET_NO_32BIT=1 says none on any machine, so that the
# path of such a machine can be run anywhere.
no_32bit_reason() {
    if [ "${ADDINSRESET_NO_32BIT:-}" = 1 ]; then
        echo "ADDINSRESET_NO_32BIT=1: taken as a machine that runs no 32-bit program"
        return
    fi
    local out rc
    out=$(/usr/lib/wine/wine --version 2>&1)
    rc=$?
    [ $rc -eq 0 ] || echo "this machine runs no 32-bit program: Wine's 32-bit loader failed with exit code $rc (${out:-no output})"
}
# The one probe of the machine, for every script that sources this file.
NO_32BIT=$(no_32bit_reason)

# What runs the tests. Where 32-bit programs run: the shipped 32-bit exe, its
# 32-bit test programs and Debian's wine launcher, with both editions of the
# add-in to reset. Where they do not: the 64-bit build of the same source
# under wine64, and only the x64 edition, whose regsvr32 is 64-bit too.
WINE64=/usr/lib/wine/wine64
if [ -z "$NO_32BIT" ]; then
    TOOL_BUILD=$WINDOWS_BUILD
    WINE=wine
    EDITIONS="x86 x64"
else
    TOOL_BUILD=$X64_BUILD
    WINE=$WINE64
    export WINELOADER=$WINE64
    EDITIONS=x64
fi
DEFAULT_EDITION=${EDITIONS%% *}

# Ends the test that calls it as skipped, with the reason, where 32-bit programs do not run.
needs_32bit() {
    [ -z "$NO_32BIT" ] && return 0
    echo "$1" >"$E2E_WORK/skip-reason"
    exit 77
}

start_display() {
    if [ -n "${E2E_DISPLAY_PID:-}" ]; then return; fi
    local n first=${E2E_DISPLAY_FROM:-90}
    for n in $(seq "$first" $((first + 40))); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    E2E_DISPLAY_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return
        sleep 0.1
    done
    log "Xvfb did not start on :$n"
    return 1
}

# A new prefix for every run: nothing of an earlier run or of the user's own Wine leaks in.
# A first boot on a fresh machine has been seen to stop half-way, leaving a
# prefix without kernel32.dll; such a prefix is made once more.
make_prefix() {
    local try
    for try in 1 2; do
        rm -rf "$WINEPREFIX" "$E2E_WORK/edition"
        mkdir -p "$E2E_WORK"
        $WINE wineboot -i >/dev/null 2>&1
        wineserver -w
        $WINE cmd /c exit 0 >/dev/null 2>&1 && break
        log "e2e: the prefix's first boot did not finish (try $try)"
        wineserver -k >/dev/null 2>&1 || true
    done
    keep_server
    install_wine_fonts
    mkdir -p "$TOOL_DIR"
    install_tools
    echo "$WINE" >"$WINEPREFIX/made-by"
}

# One server for the prefix, kept for ten minutes so that the programs of a
# test start quickly. The one a program just started is still going away, or
# one of an earlier run still waits: "-p" refuses to start beside it.
keep_server() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    wineserver -p 600
}

# Both programs, as they were last built.
install_tools() { cp "$TOOL_BUILD/AddinsReset.exe" "$TOOL_BUILD/AddinsResetCmd.exe" "$TOOL_DIR/"; }

# Whether the prefix is there, made by the launcher this machine uses: one
# made where no 32-bit program ran lacks what 32-bit programs need.
prefix_fits() { [ -d "$WINEPREFIX/drive_c" ] && [ "$(cat "$WINEPREFIX/made-by" 2>/dev/null)" = "$WINE" ]; }

# Wine's own Tahoma, MS Sans Serif and Marlett, as Windows has them: this Wine
# does not load them from its data folder, only from the prefix's Fonts.
# Nothing may stand in for Microsoft Sans Serif, so that the tool's own
# fallback is what shows.
install_wine_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    cp -n /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$fonts/"
    local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
    win_reg delete "$key" /v "Microsoft Sans Serif" /f >/dev/null 2>&1 || true
}

stop_all() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${E2E_DISPLAY_PID:-}" ]; then
        kill "$E2E_DISPLAY_PID" 2>/dev/null || true
        wait "$E2E_DISPLAY_PID" 2>/dev/null || true
        E2E_DISPLAY_PID=
    fi
}

# Runs a Windows console program, prints its output without CRs, keeps its exit code.
run_windows() {
    local out rc
    out=$($WINE "$@" 2>/dev/null)
    rc=$?
    [ -z "$out" ] || printf '%s\n' "${out//$'\r'/}"
    return $rc
}

probe() { run_windows "$TOOL_BUILD/tests/probe.exe" "$@"; }

# Runs the administrators' program from its folder: its standard output
# without CRs, its standard error in $E2E_WORK/cmd-stderr, its exit code.
run_cmd() {
    local out rc
    out=$(cd "$TOOL_DIR" && $WINE "$CMD_WIN" "$@" 2>"$E2E_WORK/cmd-stderr")
    rc=$?
    [ -z "$out" ] || printf '%s\n' "${out//$'\r'/}"
    return $rc
}

# An "add" is tried once more where it fails: once in a full run on a
# machine without 32-bit programs, one failed at once, before any tool ran,
# and never again. Its failure is said, so that it can be looked into.
win_reg() {
    run_windows reg "$@" && return 0
    local rc=$?
    [ "$1" = add ] || return $rc
    log "reg $* exited $rc; trying once more"
    sleep 0.5
    run_windows reg "$@"
}

# Reports the Windows version Wine gives the tool: win98, winxp, or the default when empty.
set_tool_version() {
    if [ -n "$1" ]; then
        win_reg add 'HKCU\Software\Wine\AppDefaults\AddinsReset.exe' /v Version /d "$1" /f >/dev/null
    else
        win_reg delete 'HKCU\Software\Wine\AppDefaults\AddinsReset.exe' /f >/dev/null || true
    fi
}

# Starts the tool; its Windows exit code ends up in $TOOL_EXIT_FILE.
start_tool() {
    TOOL_EXIT_FILE=$(mktemp "$E2E_WORK/exit.XXXXXX")
    # Without errexit: a tool that ends with a failure code must still have its code written.
    ( set +e; cd "${TOOL_CWD:-$TOOL_DIR}" && $WINE "$TOOL_WIN" >/dev/null 2>&1; echo $? >"$TOOL_EXIT_FILE" ) &
    TOOL_PID=$!
    probe wait-window "$TITLE" 20000 >/dev/null || { log "the tool's window did not appear"; return 1; }
}

# Waits for the tool to end and prints its exit code.
tool_exit_code() {
    local waited=0
    while kill -0 "$TOOL_PID" 2>/dev/null && [ $waited -lt 200 ]; do sleep 0.1; waited=$((waited + 1)); done
    wait "$TOOL_PID" 2>/dev/null
    cat "$TOOL_EXIT_FILE"
}

# Starts a stand-in for Outlook from the given Windows path; prints nothing.
start_outlook() {
    local sleeper=$1 unix_dir=$2 win_path=$3
    mkdir -p "$WINEPREFIX/drive_c/$unix_dir"
    cp "$sleeper" "$WINEPREFIX/drive_c/$unix_dir/OUTLOOK.EXE"
    ( $WINE "$win_path" 120 >/dev/null 2>&1 ) &
    OUTLOOK_PID=$!
    sleep 2
}

stop_outlook() {
    $WINE taskkill /f /im OUTLOOK.EXE >/dev/null 2>&1 || true
    kill "$OUTLOOK_PID" 2>/dev/null || true
    wait "$OUTLOOK_PID" 2>/dev/null || true
}

outlook_alive() { kill -0 "$OUTLOOK_PID" 2>/dev/null; }

# Assertions: each prints what failed and returns non-zero.
expect_line() {
    local expected=$1 actual=$2
    if ! grep -qxF -- "$expected" <<<"$actual"; then
        log "expected the line: $expected"
        log "in: $actual"
        return 1
    fi
}

expect_eq() {
    if [ "$1" != "$2" ]; then
        log "expected [$1] but got [$2]${3:+ ($3)}"
        return 1
    fi
}

expect_no_match() {
    if grep -qE -- "$1" <<<"$2"; then
        log "did not expect /$1/ in: $2"
        return 1
    fi
}

ADDIN_KEY='Software\Microsoft\Office\Outlook\Addins\KestrinSoftware.Connect'

# The add-in's registration in the edition's view, one "name type data" line a value.
addin_values() {
    win_reg query "$1\\$ADDIN_KEY" "$VIEW" | LC_ALL=C sort | sed -n 's/^    \([^ ]*\)    \(REG_[A-Z_]*\)    \(.*\)$/\1 \2 \3/p; s/^    \([^ ]*\)    \(REG_[A-Z_]*\)$/\1 \2/p'
}

addin_key_exists() { win_reg query "$1\\$ADDIN_KEY" "${2:-$VIEW}" >/dev/null; }

forget_addin() {
    win_reg delete "HKLM\\$ADDIN_KEY" /f "$VIEW" >/dev/null || true
    win_reg delete "HKCU\\$ADDIN_KEY" /f "$VIEW" >/dev/null || true
}

# Prints and dismisses every box of a run up to the final box that ends it,
# success or not; the command in $ON_BOX, if any, runs while each box shows.
dismiss_boxes_until_the_last() {
    local box
    while box=$(probe read-box "$TITLE" 60000); do
        echo "$box"
        [ -z "${ON_BOX:-}" ] || $ON_BOX
        probe dismiss-box "$TITLE" >/dev/null
        case "$box" in
            *"text=Successfully reset Kestrin Software add-ins. "* | *'text=Successfully reset Kestrin Software add-ins.\r\n'* | \
                *"text=Kestrin Software add-ins were "*) break ;;
        esac
        sleep 0.3
    done
}

# One whole reset: press Reset, dismiss every box, wait for the tool to end.
# Prints each box line; fails unless the exit code is the one given (0 when
# none is: success; 2 the reset's own problems; 3 only what keeps Outlook
# from loading the add-in).
reset_once() {
    start_tool
    probe click "$TITLE" "&Reset" >/dev/null
    dismiss_boxes_until_the_last
    probe wait-gone "$TITLE" 10000 >/dev/null
    expect_eq "${1:-0}" "$(tool_exit_code)" "exit code of the reset"
}

OFFICE32_DIR="Program Files (x86)/Microsoft Office/Office14"
OFFICE32_WIN='C:\Program Files (x86)\Microsoft Office\Office14\OUTLOOK.EXE'
OFFICE64_DIR="Program Files/Microsoft Office/root/Office16"
OFFICE64_WIN='C:\Program Files\Microsoft Office\root\Office16\OUTLOOK.EXE'
APP_PATHS='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\OUTLOOK.EXE'

# The paths and registry view of an edition of the add-in; OUTLOOK_* is its
# Outlook stand-in, for the tests that start one.
edition_vars() {
    EDITION=$1
    if [ "$EDITION" = x64 ]; then
        ADDIN_WIN='C:\Program Files\Common Files\Kestrin Software'
        VIEW=/reg:64
        EDITION_BUILD=$X64_BUILD
        OUTLOOK_DIR=$OFFICE64_DIR OUTLOOK_WIN=$OFFICE64_WIN
    else
        ADDIN_WIN='C:\Program Files (x86)\Common Files\Kestrin Software'
        VIEW=/reg:32
        EDITION_BUILD=$WINDOWS_BUILD
        OUTLOOK_DIR=$OFFICE32_DIR OUTLOOK_WIN=$OFFICE32_WIN
    fi
    OUTLOOK_SLEEPER=$EDITION_BUILD/tests/sleeper.exe
    local unix=${ADDIN_WIN#C:\\}
    ADDIN_DIR="$WINEPREFIX/drive_c/${unix//\\//}"
    OUR_PATH=$(tr 'A-Z' 'a-z' <<<"$ADDIN_WIN\\KROutlook.dll")
}

# The edition the tests reset, with the prefix arranged for it. x86: no
# Outlook the tool can find, so that it takes x86. x64: App Paths naming a
# 64-bit outlook.exe, which is not started.
use_edition() {
    edition_vars "$1"
    if [ "$(cat "$E2E_WORK/edition" 2>/dev/null)" = "$EDITION" ]; then
        return 0
    fi
    if [ "$EDITION" = x64 ]; then
        mkdir -p "$WINEPREFIX/drive_c/$OFFICE64_DIR"
        cp "$X64_BUILD/tests/sleeper.exe" "$WINEPREFIX/drive_c/$OFFICE64_DIR/OUTLOOK.EXE"
        win_reg add "$APP_PATHS" /ve /d "$OFFICE64_WIN" /f /reg:64 >/dev/null
    else
        win_reg delete "$APP_PATHS" /f /reg:64 >/dev/null 2>&1 || true
    fi
    echo "$EDITION" >"$E2E_WORK/edition"
}

# Fills the add-in folder with copies of the edition's test COM server under the given names.
seed_components() {
    rm -rf "$ADDIN_DIR"
    mkdir -p "$ADDIN_DIR"
    local name
    for name in "$@"; do cp "$EDITION_BUILD/tests/comserver.dll" "$ADDIN_DIR/$name"; done
}

forget_calls() { win_reg delete 'HKCU\Software\KestrinTest' /f /reg:32 >/dev/null || true; }

call_count() {
    win_reg query 'HKCU\Software\KestrinTest\Calls' /v Count /reg:32 | sed -n 's/.*REG_DWORD    0x//p' | { read -r hex && echo $((16#$hex)) || echo 0; }
}

# The registration calls the components saw, in order: "register NAME" or "unregister NAME".
calls() {
    win_reg query 'HKCU\Software\KestrinTest\Calls' /reg:32 | sed -n 's/^    \([0-9]\{4\}\)    REG_SZ    \(.*\)$/\1 \2/p' | LC_ALL=C sort | cut -d' ' -f2-
}

# The files whose registration stands now, one a line.
registered() {
    win_reg query 'HKCU\Software\KestrinTest\Registered' /reg:32 2>/dev/null | sed -n 's/^    \([^ ]*\)    REG_DWORD .*/\1/p' | LC_ALL=C sort
}

# regsvr32 runs on its own after the tool: wait for the last calls to land.
wait_for_calls() {
    local expected=$1 waited=0
    while [ "$(call_count)" -lt "$expected" ] && [ $waited -lt 100 ]; do sleep 0.2; waited=$((waited + 1)); done
    sleep 1
}

OFFICE_KEY='HKCU\Software\Microsoft\Office'

# The 32-bit number as little-endian hex.
le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
utf16_hex() { printf '%s\0' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n'; }

# An Outlook DisabledItems record as hex: kind, both lengths, the library's path, the friendly name.
record_hex() {
    local path; path=$(utf16_hex "$1")
    local name; name=$(utf16_hex "$2")
    echo "$(le32 "${3:-1}")$(le32 $((${#path} / 2)))$(le32 $((${#name} / 2)))$path$name"
}

# Seeds a record under the Office key: subkey path, value name, hex data.
seed_record() { win_reg add "$OFFICE_KEY\\$1" /v "$2" /t REG_BINARY /d "$3" /f /reg:32 >/dev/null; }

# The value's data as lower-case hex, or "absent".
record_of() {
    local line; line=$(win_reg query "$OFFICE_KEY\\$1" /v "$2" /reg:32 2>/dev/null | sed -n 's/^    .*    REG_BINARY    //p')
    if [ -n "$line" ]; then tr 'A-F' 'a-f' <<<"$line"; else echo absent; fi
}

# A backup as UTF-8 lines without their carriage returns, whichever form it has.
backup_text() {
    if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then
        iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'
    else
        tr -d '\r' <"$1"
    fi
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

edition_vars "$DEFAULT_EDITION"
