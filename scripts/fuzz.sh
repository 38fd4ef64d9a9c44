#!/usr/bin/env bash
# Bounded fuzzing of the registry reader, the folder scan, the process
# listings, the matchers of Outlook's disabled and crash records, the PE
# machine-type reader, the import-table reader, the backup's reader and the
# event log's records: a fixed seed and about 30
# seconds each (FUZZ_SECONDS to change it), as many at once as there are cores.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
# Built with clang beside the native tests under the sanitizers: one build of the units for both.
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan --target RegistryReaderFuzz FolderScanFuzz ProcessListFuzz DisabledRecordFuzz CrashRecordFuzz \
    PeMachineFuzz ImportTableFuzz RegFileFuzz EventRecordFuzz

# One target's run: its verdict in the work folder's .verdict file.
run_target() {
    local target=${1%%:*} corpus=${1##*:}
    local work="build/native-asan/fuzz-work/$corpus"
    rm -rf "$work" && mkdir -p "$work"
    # New inputs go to the work folder; the committed seeds are only read.
    if build/native-asan/tests/fuzz/"$target" -seed=1 -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build/native-asan/fuzz-work/$target-" "$work" "tests/fuzz/corpus/$corpus" >"$work.log" 2>&1; then
        echo "fuzz: $target clean, $(sed -n 's/^stat::number_of_executed_units: *//p' "$work.log") inputs in ${seconds}s" >"$work.verdict"
    else
        { echo "fuzz: $target FAILED; see $work.log"; grep -E 'ERROR|runtime error|SUMMARY' "$work.log" | head -5; } >"$work.verdict"
    fi
}

# A target a core at a time: each keeps its seconds, the whole takes less.
pairs=(RegistryReaderFuzz:registry FolderScanFuzz:folder ProcessListFuzz:process DisabledRecordFuzz:record
    CrashRecordFuzz:crash PeMachineFuzz:pe ImportTableFuzz:imports RegFileFuzz:regfile EventRecordFuzz:events)
mkdir -p build/native-asan/fuzz-work
for pair in "${pairs[@]}"; do
    rm -f "build/native-asan/fuzz-work/${pair##*:}.verdict"
    run_target "$pair" &
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
done
wait
status=0
for pair in "${pairs[@]}"; do
    verdict="build/native-asan/fuzz-work/${pair##*:}.verdict"
    cat "$verdict" 2>/dev/null || echo "fuzz: ${pair%%:*} gave no verdict"
    grep -q ' clean, ' "$verdict" 2>/dev/null || status=1
done
exit $status
