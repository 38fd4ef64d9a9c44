#!/usr/bin/env bash
# Benchmarks: the native ones (Google Benchmark, against the fakes) and three
# ratios measured under Wine in one run: start-up against a minimal window
# program, the Outlook check against Wine's tasklist, and a full reset of five
# files against its mandated pauses; then the administrators' program's check
# and reset of the same files. Figures go to build/bench/results.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --target addinsreset_bench >/dev/null
out=build/bench/results.txt
mkdir -p build/bench
{
    echo "# machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(/usr/lib/wine/wine64 --version)"
    build/bench/tests/bench/addinsreset_bench --benchmark_min_time=0.5 2>&1
} | tee "$out"

. tests/e2e/lib.sh
export WINEPREFIX="$PWD/build/bench/prefix"
TOOL_DIR="$WINEPREFIX/drive_c/Kestrin Tools"
E2E_WORK="$PWD/build/bench"
trap stop_all EXIT
start_display
make_prefix
use_edition "$DEFAULT_EDITION"
cp "$TOOL_BUILD/tests/minimal.exe" "$TOOL_DIR/"

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
ms_of() { sed -n 's/.* \([0-9.]*\) ms$/\1/p'; }

# Starts the tool, times a click on Reset until the box with the given title
# shows, and ends the run.
time_reset_until() {
    start_tool
    probe time-click-to-box "$TITLE" "&Reset" "$1" | ms_of
    probe dismiss-box "$1" >/dev/null
    probe wait-gone "$TITLE" 10000 >/dev/null
    tool_exit_code >/dev/null
}

runs=15
tool_ms=() minimal_ms=()
probe time-start "$TITLE" 'C:\Kestrin Tools\AddinsReset.exe' >/dev/null
probe time-start "Minimal Window" 'C:\Kestrin Tools\minimal.exe' >/dev/null
for _ in $(seq $runs); do
    tool_ms+=("$(probe time-start "$TITLE" 'C:\Kestrin Tools\AddinsReset.exe' | ms_of)")
    minimal_ms+=("$(probe time-start "Minimal Window" 'C:\Kestrin Tools\minimal.exe' | ms_of)")
done
tool=$(printf '%s\n' "${tool_ms[@]}" | median)
minimal=$(printf '%s\n' "${minimal_ms[@]}" | median)

start_outlook "$OUTLOOK_SLEEPER" "$OUTLOOK_DIR" "$OUTLOOK_WIN"
check_ms=() tasklist_ms=()
for _ in $(seq 5); do
    check_ms+=("$(time_reset_until "$OUTLOOK_TITLE")")
    tasklist_ms+=("$(probe time-run "tasklist.exe" | ms_of)")
done
stop_outlook
check=$(printf '%s\n' "${check_ms[@]}" | median)
tasklist=$(printf '%s\n' "${tasklist_ms[@]}" | median)

seed_components KROutlook.dll Engine.dll Calendar.dll Mail.dll Grid.ocx
reset_ms=()
for _ in $(seq 3); do
    reset_ms+=("$(time_reset_until "$TITLE")")
done
reset=$(printf '%s\n' "${reset_ms[@]}" | median)

# The administrators' program on the same five files, each run timed from its
# start to its end: its start-up alone (help), a check and a reset.
cmd_ms() {
    local start; start=$(now_ms)
    run_cmd "$@" >/dev/null || true
    echo $(( $(now_ms) - start ))
}
help_ms=() cmd_check_ms=() cmd_reset_ms=()
for _ in $(seq 3); do
    help_ms+=("$(cmd_ms help)")
    cmd_reset_ms+=("$(cmd_ms reset)")
    cmd_check_ms+=("$(cmd_ms check)")
done
help=$(printf '%s\n' "${help_ms[@]}" | median)
cmd_check=$(printf '%s\n' "${cmd_check_ms[@]}" | median)
cmd_reset=$(printf '%s\n' "${cmd_reset_ms[@]}" | median)

{
    echo
    echo "# under Wine (medians)"
    echo "start-up to window shown: tool ${tool} ms, minimal window program ${minimal} ms, ratio $(awk "BEGIN {printf \"%.2f\", $tool / $minimal}")"
    echo "  tool runs: ${tool_ms[*]}"
    echo "  minimal runs: ${minimal_ms[*]}"
    echo "Outlook check (click to warning box): ${check} ms; tasklist.exe run: ${tasklist} ms; ratio $(awk "BEGIN {printf \"%.2f\", $check / $tasklist}")"
    echo "reset of 5 files (click to success box): ${reset} ms against 10000 ms of pauses: overhead $(awk "BEGIN {printf \"%.0f\", $reset - 10000}") ms"
    echo "  reset runs: ${reset_ms[*]}"
    echo "AddinsResetCmd.exe, start to end: help ${help} ms, check ${cmd_check} ms, reset of the same 5 files ${cmd_reset} ms (overhead $(awk "BEGIN {printf \"%.0f\", $cmd_reset - 10000}") ms with its start-up)"
    echo "  help runs: ${help_ms[*]}; check runs: ${cmd_check_ms[*]}; reset runs: ${cmd_reset_ms[*]}"
} | tee -a "$out"
