#!/usr/bin/env bash
# Builds the MSI of both programs: msi.sh FOLDER VERSION OUT, where FOLDER
# holds AddinsReset.exe and AddinsResetCmd.exe. Each version has a product
# code of its own, derived from the version, so that it is the same in
# every build of that version (Intune and Configuration Manager detect the
# application by it); the upgrade code in the source never changes.
set -euo pipefail
folder=$1 version=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
product=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.NAMESPACE_URL, "urn:kestrin-software:add-ins-reset:" + sys.argv[1])).upper())' "$version")
# wixl takes the files' paths relative to the folder it runs in.
cd "$folder"
wixl -a x86 -D Version="$version" -D ProductCode="$product" -D Programs=. -o "$out" "$here/AddinsReset.wxs" 2> >(grep -v 'GLib-GIO-CRITICAL\|^$' >&2)
