#!/usr/bin/env bash
# Runs every test: the native unit tests, the same under the sanitizers, the
# static checks, bounded fuzzing, and the end-to-end tests of the real exe
# under Wine (which include the audit of the built exe).
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh || { echo "test: the set-up failed at the step named above; nothing was built or tested"; exit 1; }
# The Wine tests run the scenarios as the tool's own bitness on this machine.
. tests/e2e/lib.sh
contract=contract
[ -z "$NO_32BIT" ] || contract=contract-x64
# What the Wine tests run first: they start while the native tests are built.
scripts/build.sh $contract || { echo "test: the build failed (above)"; exit 1; }

# The Wine tests mostly wait, for Wine and for regsvr32's pauses: they run
# beside the native builds and the checks that keep the cores busy, and
# their lines are shown when they have ended.
e2e_log=build/e2e-run.log
tests/e2e/run.sh >"$e2e_log" 2>&1 &
e2e=$!
# The first README command, headless from a prefix it makes, to its last box.
demo_log=build/demo-smoke.log
rm -rf build/demo-smoke
CI=1 DEMO_WORK="$PWD/build/demo-smoke" E2E_DISPLAY_FROM=200 scripts/run.sh >"$demo_log" 2>&1 &
demo=$!

status=0
tests/setup/run.sh || status=1
native=yes
for preset in native native-asan; do
    { cmake --preset $preset >/dev/null && cmake --build --preset $preset; } || { echo "test: the $preset build failed (above)"; native=; status=1; }
done
if [ -n "$native" ]; then
    ctest --preset native || status=1
    ctest --preset native-asan || status=1
    scripts/analyze.sh || status=1
fi
# 10 seconds a fuzz target keeps the whole run within CI's time; scripts/fuzz.sh alone runs 30.
FUZZ_SECONDS=${FUZZ_SECONDS:-10} scripts/fuzz.sh || status=1
wait "$e2e" || status=1
cat "$e2e_log"
if wait "$demo" && grep -q "^run: the tool exited with code 0" "$demo_log"; then
    echo "demo: scripts/run.sh from a new prefix to its last box, headless ($(grep -c '^run:' "$demo_log") steps)"
else
    echo "demo: scripts/run.sh failed:"; tail -20 "$demo_log"; status=1
fi
exit $status
