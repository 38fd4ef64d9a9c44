#!/usr/bin/env bash
# Builds the Windows exes and their test programs, 32- and 64-bit; with other
# presets named ("native", "contract", ...), those too. Where this machine
# runs 32-bit programs, the 64-bit build makes only the test programs the
# Wine tests use beside the 32-bit exes: the 64-bit exes run only where
# 32-bit programs do not.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/e2e/lib.sh

x64_tools=(probe sleeper comserver kestrinrt comserver-needs-runtime planted minimal prepare)
for preset in windows windows-x64 "$@"; do
    cmake --preset "$preset" >/dev/null
    if [ "$preset" = windows-x64 ] && [ -z "$NO_32BIT" ]; then
        cmake --build --preset "$preset" --target "${x64_tools[@]}"
    else
        cmake --build --preset "$preset"
    fi
done
