#!/usr/bin/env bash
# Bounded fuzzing of the registry reader, the folder scan, the process
# listings, the matchers of Outlook's disabled and crash records, the PE
# machine-type reader and the import-table reader: a fixed seed and about 30
# seconds each (FUZZ_SECONDS to change it).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target RegistryReaderFuzz FolderScanFuzz ProcessListFuzz DisabledRecordFuzz CrashRecordFuzz \
    PeMachineFuzz ImportTableFuzz

status=0
for pair in RegistryReaderFuzz:registry FolderScanFuzz:folder ProcessListFuzz:process DisabledRecordFuzz:record \
    CrashRecordFuzz:crash PeMachineFuzz:pe ImportTableFuzz:imports; do
    target=${pair%%:*} corpus=${pair##*:}
    work="build/fuzz/work/$corpus"
    rm -rf "$work" && mkdir -p "$work"
    # New inputs go to the work folder; the committed seeds are only read.
    if build/fuzz/tests/fuzz/"$target" -seed=1 -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build/fuzz/work/$target-" "$work" "tests/fuzz/corpus/$corpus" >"$work.log" 2>&1; then
        echo "fuzz: $target clean, $(sed -n 's/^stat::number_of_executed_units: *//p' "$work.log") inputs in ${seconds}s"
    else
        echo "fuzz: $target FAILED; see $work.log"
        grep -E 'ERROR|runtime error|SUMMARY' "$work.log" | head -5
        status=1
    fi
done
exit $status
