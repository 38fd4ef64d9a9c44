#!/usr/bin/env bash
# Runs every end-to-end test of the real AddinsReset.exe under Wine, in a
# fresh prefix and on a private Xvfb display. Usage: run.sh [test-name ...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
for suite in "$here"/test_*.sh; do . "$suite"; done

# The audits of the built exe read its file only: they need no Wine.
WITHOUT_WINE=" test_exe_loads_on_windows_95_and_nt4 test_exe_is_small_and_carries_its_manifest_and_version "

trap stop_all EXIT
start_display || exit 1
if [ -n "$NO_32BIT" ]; then
    log "e2e: $NO_32BIT; every test that runs the 32-bit exe is skipped"
elif [ -n "${E2E_REUSE_PREFIX:-}" ] && [ -d "$WINEPREFIX/drive_c" ]; then
    # For working on one test: the prefix of the last run, with the tool refreshed.
    wineserver -p 600
    install_wine_fonts
    cp "$WINDOWS_BUILD/AddinsReset.exe" "$TOOL_DIR/"
else
    log "e2e: creating a fresh Wine prefix in $WINEPREFIX"
    make_prefix
fi

tests=("$@")
if [ ${#tests[@]} -eq 0 ]; then
    mapfile -t tests < <(declare -F | awk '{print $3}' | grep '^test_')
fi

passed=0 failed=0 skipped=0 failures=()
for t in "${tests[@]}"; do
    if [ -n "$NO_32BIT" ] && [[ "$WITHOUT_WINE" != *" $t "* ]]; then
        skipped=$((skipped + 1))
        echo "SKIP $t (it runs the 32-bit exe)"
        continue
    fi
    start=$(date +%s%N)
    ( set -e; [ -z "${E2E_TRACE:-}" ] || set -x; "$t" )
    if [ $? -eq 0 ]; then
        passed=$((passed + 1)); verdict=PASS
    else
        failed=$((failed + 1)); verdict=FAIL; failures+=("$t")
    fi
    # Whatever a test left running must not reach the next one.
    wine taskkill /f /im OUTLOOK.EXE >/dev/null 2>&1 || true
    wine taskkill /f /im AddinsReset.exe >/dev/null 2>&1 || true
    printf '%s %s (%d ms)\n' "$verdict" "$t" $(( ($(date +%s%N) - start) / 1000000 ))
done
[ ${#failures[@]} -eq 0 ] || printf 'failed: %s\n' "${failures[*]}"
echo "e2e: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
