#!/usr/bin/env bash
# The set-up script against stand-ins for apt-get, dpkg, dpkg-query and sudo
# on PATH, so that what a lagging mirror does is tried without the network:
# an index that cannot be read, wine32:i386 that apt refuses beside the
# security updates' amd64 libraries, a pin to the versions both
# architectures share that helps or does not, a package that cannot be had.
set -u
here=$(cd "$(dirname "$0")" && pwd)
setup="$here/../../scripts/setup.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

# Each stand-in keeps its state in $FAKE: installed, calls, and what the case arranges.
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/usr/bin/env bash
{ [ -e "$FAKE/everything" ] || grep -qxF "${!#}" "$FAKE/installed"; } && printf 'install ok installed'
STANDIN
cat >"$work/bin/dpkg" <<'STANDIN'
#!/usr/bin/env bash
case "$1" in
    --print-foreign-architectures) [ -e "$FAKE/i386" ] && echo i386 ;;
    --add-architecture) touch "$FAKE/i386" ;;
esac
exit 0
STANDIN
cat >"$work/bin/sudo" <<'STANDIN'
#!/usr/bin/env bash
exec "$@"
STANDIN
cat >"$work/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE/calls"
args=" $* "
case "$args" in
*" update "*)
    failures=$(cat "$FAKE/update-failures" 2>/dev/null || echo 0)
    if [ "$failures" -gt 0 ]; then
        echo $((failures - 1)) >"$FAKE/update-failures"
        echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    fi
    exit 0 ;;
*" check "*) exit 0 ;;
*" install "*)
    pinned=no
    [[ "$args" == *Dir::Etc::Preferences=* ]] && pinned=$(cat "$FAKE/pin" 2>/dev/null || echo fails)
    if [[ "$args" == *" wine32:i386 "* ]] && [ -e "$FAKE/wine32-refused" ] && [ "$pinned" != works ]; then
        if [[ "$args" == *" -s "* ]] && [ "$pinned" = downgrades ]; then
            echo "The following packages will be DOWNGRADED:"; exit 0
        fi
        echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100
    fi
    for p in $*; do
        [ -e "$FAKE/unavailable-$p" ] && { echo "E: Unable to locate package $p" >&2; exit 100; }
    done
    [[ "$args" == *" -s "* ]] && exit 0
    for p in $*; do [[ "$p" == -* || "$p" == install || "$p" == Dir::* ]] || echo "$p" >>"$FAKE/installed"; done
    exit 0 ;;
esac
exit 1
STANDIN
chmod +x "$work/bin/"*

failed=0
# A case: its name, what it arranges, the exit code, a line the output must hold, and whether wine32:i386 ends installed.
try_case() {
    local name=$1 arrange=$2 code=$3 line=$4 wine32=$5
    export FAKE="$work/$name"
    mkdir -p "$FAKE"
    printf 'cmake\ng++\n' >"$FAKE/installed"
    (cd "$FAKE" && eval "$arrange")
    local out rc
    out=$(PATH="$work/bin:$PATH" bash "$setup" 2>&1)
    rc=$?
    local got32=no
    grep -qxF wine32:i386 "$FAKE/installed" && got32=yes
    if [ "$rc" -ne "$code" ] || ! grep -qF -- "$line" <<<"$out" || [ "$got32" != "$wine32" ] ||
        { [ "$code" -eq 0 ] && [ ! -e "$FAKE/everything" ] && ! grep -qxF msitools "$FAKE/installed"; } ||
        { [ -e "$FAKE/everything" ] && [ -e "$FAKE/calls" ]; }; then
        printf 'setup: FAIL %s (exit %s, wine32 %s)\n%s\n' "$name" "$rc" "$got32" "$out"
        failed=1
    else
        printf 'setup: PASS %s\n' "$name"
    fi
}

try_case "a lagging mirror, and wine32 refused" \
    'echo 2 >update-failures; touch wine32-refused; echo downgrades >pin' 0 \
    "setup: wine32:i386 cannot be installed beside the rest: this machine runs no 32-bit program" no
try_case "the lists read at the second try" 'echo 1 >update-failures' 0 "setup: installing" yes
try_case "a pin to the versions both architectures share" \
    'echo 2 >update-failures; touch wine32-refused; echo works >pin' 0 \
    "setup: wine32:i386 installed at the versions both architectures' lists share" yes
try_case "a package not to be had" 'touch unavailable-msitools' 1 "setup: apt-get install failed for" no
try_case "nothing missing" 'touch everything' 0 "" no
[ $failed -eq 0 ] && echo "setup: the set-up's cases passed"
exit $failed
