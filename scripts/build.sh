#!/usr/bin/env bash
# Builds the Windows exe and its test programs, 32- and 64-bit; with other
# presets named ("native", "contract", ...), those too.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in windows windows-x64 "$@"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
