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
# One run a core, each file's findings in a file of its own, read after all
# ended: a run that exits non-zero with warnings as errors must not hide them.
findings=$(mktemp -d)
printf '%s\n' "${native[@]}" |
    xargs -P "$(nproc)" -I{} sh -c 'clang-tidy -p build/native --quiet "$1" >"$2/$(echo "$1" | tr / _).txt" 2>/dev/null || true' \
        _ {} "$findings"
if cat "$findings"/*.txt | grep -E 'warning:|error:'; then
    status=1
else
    echo "analyze: clang-tidy clean"
fi
rm -rf "$findings"

# The rooms' floors, lowest first: an include between rooms points to a lower floor.
floor_of() {
    case "$1" in
        common) echo 0 ;; platform) echo 1 ;; trust) echo 2 ;; process | registry | files | pe) echo 3 ;; scope) echo 4 ;;
        reset | loadcheck) echo 5 ;; run) echo 6 ;; window | console) echo 7 ;; *) echo unknown ;;
    esac
}
upward=0
while IFS=: read -r file _ include; do
    from=${file#src/}; from=${from%%/*}
    to=${include#*\"}; to=${to%%/*}
    [ "$from" = "$to" ] && continue
    if [ "$(floor_of "$to")" = unknown ] || [ "$(floor_of "$from")" = unknown ] ||
        [ "$(floor_of "$to")" -ge "$(floor_of "$from")" ]; then
        echo "$file includes $to, which is not on a lower floor than $from"; upward=1
    fi
done < <(git grep -n '#include "' -- 'src/*.cpp' 'src/*.h')
if [ $upward -eq 0 ]; then echo "analyze: every include between rooms points down"; else status=1; fi

if cppcheck --quiet --enable=warning,performance,portability,style --inline-suppr --error-exitcode=1 --std=c++20 \
    -I src --suppress=missingIncludeSystem src; then
    echo "analyze: cppcheck clean"
else
    status=1
fi
exit $status
