#!/usr/bin/env bash
# The Windows installer and the portable zip under Wine, as a user meets them: msiexec installs
# into Program Files with a Start-menu shortcut and an Apps & features entry, the installed
# program runs and keeps its history in %APPDATA%, and removing the product takes every file it
# put there and leaves that history.
#   installer_test.sh BUILD_DIR CHECKER.exe      (the packages and the .exe in BUILD_DIR)
# Runs in scripts/test-windows.sh's prefix (WINEPREFIX set); 77 = skipped.
set -uo pipefail
EXE=$1/tarvokelmora.exe CHECKER=$2
MSI=$(ls "$1"/TarvoKelmora-*-x64.msi 2>/dev/null | head -n1)
ZIP=${MSI%.msi}-portable.zip
if [ ! -f "$MSI" ] || [ ! -f "$ZIP" ]; then
    echo "SKIPPED: no installer and zip in $1 (scripts/make-windows-installer.sh builds them)"
    [ "${CI:-}" = true ] && exit 1
    exit 77
fi
# Shortcuts would otherwise reach this machine's own menus.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
failures=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
winvar() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
unixpath() { winepath -u "$1" 2>/dev/null; }

PROGRAM_FILES=$(winvar ProgramFiles)
INSTALLED="$PROGRAM_FILES\\TarvoKelmora"
INSTALLED_U=$(unixpath "$INSTALLED")
HISTORY_U=$(unixpath "$(winvar APPDATA)\\TarvoKelmora\\defualt.ini")
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
VERSION=$(basename "$MSI" | sed -n 's/^TarvoKelmora-\([0-9.]*\)-x64\.msi$/\1/p')

# The portable zip: the program alone, in a folder of its own.
check "the zip holds TarvoKelmora/tarvokelmora.exe, as built, and nothing else" \
    python3 - "$ZIP" "$EXE" <<'PY'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
sys.exit(not (z.namelist() == ["TarvoKelmora/tarvokelmora.exe"] and
              z.read("TarvoKelmora/tarvokelmora.exe") == open(sys.argv[2], "rb").read()))
PY

check "msiexec /i installs quietly" wine msiexec /i "$MSI" /qn
check "Program Files\\TarvoKelmora holds exactly tarvokelmora.exe, as built" \
    bash -c '[ "$(ls -A "$1")" = tarvokelmora.exe ] && cmp -s "$1/tarvokelmora.exe" "$2"' _ "$INSTALLED_U" "$EXE"
# The common Start menu, where Windows puts it for every user; Wine resolves the package's
# ProgramMenuFolder to the user's own even then.
SHORTCUT="" SHORTCUT_U=""
for menu in "$(winvar ProgramData)" "$(winvar APPDATA)"; do
    if [ -z "$SHORTCUT" ] && [ -f "$(unixpath "$menu\\Microsoft\\Windows\\Start Menu\\Programs\\TarvoKelmora.lnk")" ]; then
        SHORTCUT="$menu\\Microsoft\\Windows\\Start Menu\\Programs\\TarvoKelmora.lnk"
        SHORTCUT_U=$(unixpath "$SHORTCUT")
    fi
done
check "a Start-menu shortcut ($SHORTCUT)" test -n "$SHORTCUT"

# The Apps & features entry: one key under Uninstall, named by the product code.
PRODUCT=""
for key in $(wine reg query "$UNINSTALL" 2>/dev/null | tr -d '\r' | grep -o '{[0-9A-F-]*}$'); do
    if wine reg query "$UNINSTALL\\$key" /v DisplayName 2>/dev/null | grep -q 'REG_SZ[[:space:]]*TarvoKelmora'; then
        PRODUCT=$key
    fi
done
ENTRY=$(wine reg query "$UNINSTALL\\$PRODUCT" 2>/dev/null | tr -d '\r')
check "an Apps & features entry under its product code ($PRODUCT)" test -n "$PRODUCT"
check "it reads DisplayVersion $VERSION" grep -Eq "DisplayVersion[[:space:]]+REG_SZ[[:space:]]+$VERSION\$" <<<"$ENTRY"
check "it reads Publisher TarvoKelmora" grep -Eq "Publisher[[:space:]]+REG_SZ[[:space:]]+TarvoKelmora\$" <<<"$ENTRY"
# Its icon, as the installer keeps it for the product (under the packed product code).
PACKED=$([ -n "$PRODUCT" ] && python3 -c 'import sys; g = sys.argv[1].strip("{}").split("-")
r = lambda s: "".join(s[i:i + 2][::-1] for i in range(0, len(s), 2))
print(g[0][::-1] + g[1][::-1] + g[2][::-1] + r(g[3]) + r(g[4]))' "${PRODUCT:-{0-0-0-0-0\}}")
PRODUCT_ICON=$(wine reg query "HKLM\Software\Classes\Installer\Products\\$PACKED" /v ProductIcon 2>/dev/null |
    tr -d '\r' | sed -n 's/.*ProductIcon[[:space:]]*REG_SZ[[:space:]]*//p')
PRODUCT_ICON_U=$(unixpath "$PRODUCT_ICON")
check "Apps & features shows the program's icon ($PRODUCT_ICON)" \
    bash -c '[ -n "$1" ] && [ "$(head -c4 "$1" | od -An -tx1 | tr -d " ")" = 00000100 ]' _ "$PRODUCT_ICON_U"

check "the installed program runs and keeps its history in %APPDATA%" \
    wine "$CHECKER" "$INSTALLED\\tarvokelmora.exe" "$SHORTCUT"
HISTORY_BEFORE=$(cat "$HISTORY_U" 2>/dev/null)

check "msiexec /x removes it quietly" wine msiexec /x "$PRODUCT" /qn
check "its folder in Program Files is gone" test ! -e "$INSTALLED_U"
check "its shortcut is gone" test ! -e "$SHORTCUT_U"
check "its icon is gone" test ! -e "$PRODUCT_ICON_U"
check "its Apps & features entry is gone" bash -c '! wine reg query "$1" >/dev/null 2>&1' _ "$UNINSTALL\\$PRODUCT"
check "its own registry key is gone" bash -c '! wine reg query "HKLM\\Software\\TarvoKelmora" >/dev/null 2>&1'
check "the user's history stays, as it was" \
    bash -c '[ -n "$2" ] && [ "$(cat "$1")" = "$2" ]' _ "$HISTORY_U" "$HISTORY_BEFORE"

rm -rf "$(dirname "$HISTORY_U")"  # the prefix is shared with the other tests
[ "$failures" -eq 0 ] && echo PASSED || echo "FAILED ($failures)"
[ "$failures" -eq 0 ]
