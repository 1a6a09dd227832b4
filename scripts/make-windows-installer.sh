#!/usr/bin/env bash
# Packs the cross-built Windows program (scripts/test-windows.sh builds it) for users:
#   build-win/TarvoKelmora-<version>-x64.msi            the installer (wixl)
#   build-win/TarvoKelmora-<version>-x64-portable.zip   the program in a folder of its own
#   scripts/make-windows-installer.sh [BUILD_DIR]       default build-win
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-win}

EXE=$BUILD/tarvokelmora.exe
ICON=$BUILD/src/ui_win32/tarvokelmora.ico
for f in "$EXE" "$ICON"; do
    [ -f "$f" ] || { echo "make-windows-installer: $f is missing: cross-build first" >&2; exit 1; }
done
command -v wixl >/dev/null || { echo "make-windows-installer: wixl is missing (Debian package wixl)" >&2; exit 1; }

# Windows Installer compares three parts; the project may give two.
VERSION=$(sed -n 's/^project(TarvoKelmora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
while [ "$(tr -dc . <<<"$VERSION" | wc -c)" -lt 2 ]; do VERSION=$VERSION.0; done
# One product code per version, the same on every build of it, so that a package of a newer
# version replaces the older (the upgrade code in the .wxs stays for ever).
PRODUCT_CODE=$(python3 -c 'import sys, uuid
print("{%s}" % str(uuid.uuid5(uuid.UUID("5C8F2E1A-7B3D-4E6A-9F21-3D4C8B7A6E15"), sys.argv[1])).upper())' "$VERSION")

NAME=TarvoKelmora-$VERSION-x64
MSI=$BUILD/$NAME.msi
ZIP=$BUILD/$NAME-portable.zip
rm -f "$MSI" "$ZIP"
# wixl crashes rather than failing on some input: a missing file is the sign.
wixl -a x64 -D Version="$VERSION" -D ProductCode="$PRODUCT_CODE" -D ExePath="$EXE" \
    -D IconPath="$ICON" -o "$MSI" resources/windows/tarvokelmora.wxs
[ -s "$MSI" ] || { echo "make-windows-installer: wixl wrote no $MSI" >&2; exit 1; }

# The .exe is the whole program (static runtime, pictures compiled in). In a folder of its own,
# its history goes beside it: unpacked anywhere but Program Files, it is portable.
python3 - "$EXE" "$ZIP" <<'PY'
import sys, zipfile
exe, out = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    z.write(exe, "TarvoKelmora/tarvokelmora.exe")
PY
echo "$MSI (product code $PRODUCT_CODE)"
echo "$ZIP"
