#!/usr/bin/env bash
# Static checks: formatting of every C++ file, clang-tidy and cppcheck on src/.
# Needs the native build's compile_commands.json (scripts/build.sh native).
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
mapfile -t cpp < <(git ls-files '*.cpp' '*.h')
if clang-format --dry-run --Werror "${cpp[@]}"; then echo "analyze: clang-format clean"; else status=1; fi

# The Win32 side is compiled by MinGW only; clang-tidy reads what the native build compiles.
mapfile -t native < <(git ls-files 'src/*.cpp' | grep -v -e '^src/platform/win32/' -e '^src/window/WinMain.cpp' -e '^src/console/CmdMain.cpp')
# Its findings are read from its output: with warnings as errors it also
# exits non-zero, which must not hide them from the grep's verdict.
if { clang-tidy -p build/native --quiet "${native[@]}" 2>/dev/null || true; } | grep -E 'warning:|error:'; then
    status=1
else
    echo "analyze: clang-tidy clean"
fi

if cppcheck --quiet --enable=warning,performance,portability,style --inline-suppr --error-exitcode=1 --std=c++20 \
    -I src --suppress=missingIncludeSystem src; then
    echo "analyze: cppcheck clean"
else
    status=1
fi
exit $status
