#!/usr/bin/env bash
# Signs copies of the built exes and an MSI built from them, as a build with
# ADDINSRESET_SIGN_CERT and ADDINSRESET_SIGN_KEY does, with a throwaway
# self-signed certificate made here; osslsigncode verify must accept all
# three against it, and the signed exes must still be what the audit wants:
# the same imports, their manifest and version. The Wine tests run it, and
# then the signed console program.
set -uo pipefail
cd "$(dirname "$0")/../.."
WINDOWS_BUILD=${WINDOWS_BUILD:-build/windows}
work=build/signing
rm -rf "$work" && mkdir -p "$work"
say() { printf 'signing: %s\n' "$*"; }
fail() { say "$*"; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Kestrin Software Test Signing" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 ||
    fail "openssl could not make a certificate"
cp "$WINDOWS_BUILD/AddinsReset.exe" "$WINDOWS_BUILD/AddinsResetCmd.exe" "$work/"
export ADDINSRESET_SIGN_CERT=$work/cert.pem ADDINSRESET_SIGN_KEY=$work/key.pem
packaging/sign.sh "$work/AddinsReset.exe" "$work/AddinsResetCmd.exe" || fail "the exes could not be signed"
packaging/msi.sh "$work" "$(sed -n 's/^project(AddinsReset VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" "$PWD/$work/AddinsReset.msi" ||
    fail "the MSI could not be built"
packaging/sign.sh "$work/AddinsReset.msi" || fail "the MSI could not be signed"

status=0
for file in AddinsReset.exe AddinsResetCmd.exe AddinsReset.msi; do
    if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/$file" >"$work/$file.verify" 2>&1 &&
        grep -q "Signature verification: ok" "$work/$file.verify"; then
        say "$file: signed, and the signature verifies"
    else
        say "$file: the signature does not verify:"; tail -5 "$work/$file.verify"; status=1
    fi
done
for file in AddinsReset.exe AddinsResetCmd.exe; do
    diff <(i686-w64-mingw32-objdump -p "$WINDOWS_BUILD/$file" | grep 'DLL Name') \
        <(i686-w64-mingw32-objdump -p "$work/$file" | grep 'DLL Name') >/dev/null ||
        { say "$file: signing changed its imports"; status=1; }
    grep -qa 'requestedExecutionLevel' "$work/$file" && grep -qa 'O.r.i.g.i.n.a.l.F.i.l.e.n.a.m.e' "$work/$file" ||
        { say "$file: signing lost its manifest or version"; status=1; }
done
exit $status
