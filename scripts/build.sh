#!/usr/bin/env bash
# Builds the Windows exe and its test programs; with "native", the Linux tests too.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset windows >/dev/null
cmake --build --preset windows
# The stand-in for a 64-bit Outlook needs the other MinGW compiler.
x86_64-w64-mingw32-g++-win32 -O2 -static -s -mwindows -o build/windows/tests/sleeper64.exe tests/e2e/tools/sleeper.cpp

for preset in "$@"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
