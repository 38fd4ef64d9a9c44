#!/usr/bin/env bash
# Runs every end-to-end test of the real AddinsReset.exe under Wine, in a
# fresh prefix and on a private Xvfb display. Usage: run.sh [test-name ...]
# Where the machine runs no 32-bit program, the 64-bit exe runs under wine64
# and a test that needs a 32-bit program says so and is skipped.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
for suite in "$here"/test_*.sh; do . "$suite"; done

# Every test, in two shards at once (E2E_SHARDS sets how many), each with a
# prefix, a work folder and a display of its own: a test mostly waits, for
# Wine and for regsvr32's pauses, and two shards overlap their waits.
if [ $# -eq 0 ] && [ -z "${E2E_SHARD:-}" ]; then
    mapfile -t all < <(declare -F | awk '{print $3}' | grep '^test_')
    shards=${E2E_SHARDS:-2} pids=()
    rm -f "$E2E_WORK"/shard*/summary
    for ((k = 0; k < shards; k++)); do
        mine=()
        for ((i = k; i < ${#all[@]}; i += shards)); do mine+=("${all[i]}"); done
        E2E_SHARD=$k E2E_WORK="$E2E_WORK/shard$k" E2E_DISPLAY_FROM=$((90 + 50 * k)) \
            "$here/run.sh" "${mine[@]}" > >(sed -u "s/^/[shard $k] /") 2>&1 &
        pids+=($!)
    done
    status=0
    for pid in "${pids[@]}"; do wait "$pid" || status=1; done
    wait
    read -r -a counts < <(cat "$E2E_WORK"/shard*/summary 2>/dev/null | awk '{p += $1; f += $2; s += $3} END {print p + 0, f + 0, s + 0}')
    echo "e2e: ${counts[0]} passed, ${counts[1]} failed, ${counts[2]} skipped, in $shards shards"
    exit $status
fi

trap stop_all EXIT
start_display || exit 1
[ -z "$NO_32BIT" ] || log "e2e: $NO_32BIT; the 64-bit exe runs under wine64, and what needs a 32-bit program is skipped"
if [ -n "${E2E_REUSE_PREFIX:-}" ] && prefix_fits; then
    # For working on one test: the prefix of the last run, with the tool refreshed.
    keep_server
    install_wine_fonts
    install_tools
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
    start=$(date +%s%N)
    # A test that switched the edition leaves the prefix arranged for it.
    use_edition "$DEFAULT_EDITION"
    rm -f "$E2E_WORK/skip-reason"
    # A test ends at its first failing step; that step is named.
    ( set -e; trap 'rc=$?; [ $rc -eq 0 ] || [ $rc -eq 77 ] || log "$t: ended at: $BASH_COMMAND (exit $rc)"' EXIT
      [ -z "${E2E_TRACE:-}" ] || set -x; "$t" )
    rc=$? why=
    if [ $rc -eq 0 ]; then
        passed=$((passed + 1)); verdict=PASS
    elif [ $rc -eq 77 ] && [ -f "$E2E_WORK/skip-reason" ]; then
        skipped=$((skipped + 1)); verdict=SKIP why=" ($(cat "$E2E_WORK/skip-reason"))"
    else
        failed=$((failed + 1)); verdict=FAIL; failures+=("$t")
    fi
    # Whatever a test left running must not reach the next one.
    $WINE taskkill /f /im OUTLOOK.EXE >/dev/null 2>&1 || true
    $WINE taskkill /f /im AddinsReset.exe >/dev/null 2>&1 || true
    printf '%s %s%s (%d ms)\n' "$verdict" "$t" "$why" $(( ($(date +%s%N) - start) / 1000000 ))
done
[ ${#failures[@]} -eq 0 ] || printf 'failed: %s\n' "${failures[*]}"
echo "e2e: $passed passed, $failed failed, $skipped skipped"
echo "$passed $failed $skipped" >"$E2E_WORK/summary"
[ "$failed" -eq 0 ]
