#!/usr/bin/env bash
# Builds AddinsReset.exe and opens its window under Wine on a demo prefix in
# build/demo. With a display it waits for you; without one it runs headless
# under Xvfb, presses Reset, prints every box it saw and saves screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

. tests/e2e/lib.sh
export WINEPREFIX="$PWD/build/demo/prefix"
TOOL_DIR="$WINEPREFIX/drive_c/Kestrin Tools"
E2E_WORK="$PWD/build/demo"
shots="$PWD/build/screenshots"
mkdir -p "$shots"

if [ ! -d "$WINEPREFIX/drive_c" ]; then
    echo "run: creating the demo Wine prefix in $WINEPREFIX"
    make_prefix
else
    wineserver -p 600
    cp build/windows/AddinsReset.exe "$TOOL_DIR/"
fi

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
    echo "run: opening the tool; press Reset or close its window"
    (cd "$TOOL_DIR" && wine "$TOOL_WIN")
    wineserver -k
    exit 0
fi

trap stop_all EXIT
start_display
echo "run: no display, running headless on $DISPLAY"
start_tool
import -window root "$shots/window.png"
probe describe "$TITLE"
probe click "$TITLE" "&Reset"
for _ in 1 2 3 4 5 6 7 8; do
    box=$(probe read-box "$TITLE" 1500 || probe read-box "$OUTLOOK_TITLE" 500 || true)
    case "$box" in
        box*) ;;
        *) break ;;
    esac
    echo "$box"
    import -window root "$shots/box.png"
    probe dismiss-box "$(sed 's/^box title=\(.*\) text=.*/\1/' <<<"$box")" >/dev/null
    sleep 0.5
done
probe wait-gone "$TITLE" 20000
echo "run: the tool exited with code $(tool_exit_code)"
echo "run: screenshots in $shots (window.png, box.png)"
