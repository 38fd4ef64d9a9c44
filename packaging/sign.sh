#!/usr/bin/env bash
# Signs files in place with osslsigncode where ADDINSRESET_SIGN_CERT and
# ADDINSRESET_SIGN_KEY name PEM files: sign.sh FILE... Optional:
# ADDINSRESET_SIGN_PASS (the key's password), ADDINSRESET_SIGN_TIMESTAMP (a
# timestamp server's address). Without the two, nothing is signed.
set -euo pipefail
if [ -z "${ADDINSRESET_SIGN_CERT:-}" ] || [ -z "${ADDINSRESET_SIGN_KEY:-}" ]; then
    exit 0
fi
options=(-certs "$ADDINSRESET_SIGN_CERT" -key "$ADDINSRESET_SIGN_KEY" -h sha256
    -n "Kestrin Software Add-Ins Reset" -i "https://www.kestrinsoftware.com")
[ -z "${ADDINSRESET_SIGN_PASS:-}" ] || options+=(-pass "$ADDINSRESET_SIGN_PASS")
[ -z "${ADDINSRESET_SIGN_TIMESTAMP:-}" ] || options+=(-ts "$ADDINSRESET_SIGN_TIMESTAMP")
for file in "$@"; do
    rm -f "$file.signed"
    osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null
    mv -f "$file.signed" "$file"
done
