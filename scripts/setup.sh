#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the tool.
# Quick when everything is there: it asks apt only for missing packages.
# A mirror that lags (one index of the wrong size while it syncs) stops
# nothing: the lists are read once more, and the install goes on with
# those there are. Where Wine's 32-bit half cannot be installed beside the
# rest, the rest is: the machine is then one that runs no 32-bit program,
# which the tests know how to take. Each step that fails says so.
set -uo pipefail

packages=(
    cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-tidy clang-format cppcheck
    g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
    wine wine32:i386 wine64 fonts-wine xvfb xauth imagemagick python3 msitools wixl osslsigncode openssl
)

say() { printf 'setup: %s\n' "$*"; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

say "installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386 || { say "dpkg --add-architecture i386 failed"; exit 1; }
fi

# apt-get update says "E:" of an index it could not read, and exits 0 all the same.
update_log=$(mktemp)
trap 'rm -f "$update_log" "${pins:-}"' EXIT
for try in 1 2; do
    as_root apt-get update -qq >"$update_log" 2>&1 && ! grep -q '^E:' "$update_log" && break
    if [ $try -eq 2 ]; then
        say "apt-get update could not read every package list, twice; going on with those there are:"
        grep '^E:' "$update_log" | sed 's/^/    /'
    fi
done

install "${missing[@]}" && exit 0

without32=()
for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || without32+=("$p"); done
if [ ${#without32[@]} -eq ${#missing[@]} ]; then
    say "apt-get install failed for ${missing[*]}"
    exit 1
fi

# An i386 list that did not come leaves wine32's libraries only at older
# versions than their amd64 halves, and Multi-Arch pairs must match: taken
# from the lists both architectures share, they may. Kept only where apt
# would neither remove nor downgrade a package for it.
pins=$(mktemp)
printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pins"
pinned=(-o "Dir::Etc::Preferences=$pins")
if as_root apt-get install -s --no-install-recommends "${pinned[@]}" "${missing[@]}" >"$update_log" 2>&1 &&
    ! grep -qE '^(Remv|The following packages will be DOWNGRADED)' "$update_log" &&
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${pinned[@]}" "${missing[@]}" &&
    as_root apt-get check -qq; then
    say "wine32:i386 installed at the versions both architectures' lists share"
    exit 0
fi

install "${without32[@]}" || { say "apt-get install failed for ${without32[*]}"; exit 1; }
say "wine32:i386 cannot be installed beside the rest: this machine runs no 32-bit program, and the tests take the 64-bit path"
