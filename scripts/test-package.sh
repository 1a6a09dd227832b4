#!/usr/bin/env bash
# Builds the Debian package and tries it the way a user would: lintian, the installed menu entry
# and metadata validated, installed with apt-get, run from /usr/bin on a desktop with a tray,
# ended with --quit, then removed and purged, leaving no file of its own behind.
# Usage: scripts/test-package.sh [BUILD_DIR]   (default build/, already configured)
# Needs root or sudo: it installs the package and always removes it again, even on failure.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
PACKAGE=tarvokelmora

skip_or_fail() {
    if [[ "${CI:-}" =~ ^(1|true|yes|on)$ ]]; then
        echo "FAIL: $1 (CI=true: the test set-up provides it)" >&2
        exit 1
    fi
    echo "SKIP: $1" >&2
    exit 0
}

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
    sudo -n true 2>/dev/null || skip_or_fail "installing the package needs root or sudo"
    SUDO=(sudo -n)
fi
for tool in lintian desktop-file-validate appstreamcli dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || skip_or_fail "not installed: $tool"
done
if dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "install ok installed"; then
    # Never take away a copy someone installed on purpose.
    skip_or_fail "$PACKAGE is already installed on this machine; remove it to run this test"
fi

APT=("${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=600)
TMP=$(mktemp -d /tmp/tk-package.XXXXXX)
installed=0
cleanup() {
    local status=$?
    if [ "$installed" = 1 ] && dpkg-query -W "$PACKAGE" >/dev/null 2>&1; then
        echo "== restoring the machine: purging $PACKAGE"
        "${SUDO[@]}" dpkg --purge "$PACKAGE" >/dev/null || status=1
    fi
    rm -rf "$TMP"
    exit "$status"
}
trap cleanup EXIT

echo "== package"
rm -f "$BUILD"/${PACKAGE}_*.deb
cmake --build "$BUILD" --target package >"$TMP/cpack.log" 2>&1 || { cat "$TMP/cpack.log"; exit 1; }
DEB=$(ls "$BUILD"/${PACKAGE}_*.deb)
DEB=$(realpath "$DEB")
dpkg-deb --field "$DEB"

echo "== lintian"
# Errors fail; warnings are printed.
lintian_status=0
lintian --fail-on error --tag-display-limit 0 "$DEB" >"$TMP/lintian.log" 2>&1 || lintian_status=$?
cat "$TMP/lintian.log"
[ "$lintian_status" -eq 0 ] || { echo "lintian found errors" >&2; exit 1; }
# What we ship is built with the distribution's hardening: no hardening tag at any level.
lintian --pedantic --display-info --tag-display-limit 0 "$DEB" >"$TMP/lintian-all.log" 2>&1 || true
if grep -E "hardening-" "$TMP/lintian-all.log"; then
    echo "lintian: the package's programs lack hardening" >&2
    exit 1
fi

echo "== install"
installed=1
"${APT[@]}" install "$DEB" >"$TMP/install.log" 2>&1 || { cat "$TMP/install.log"; exit 1; }
dpkg-query -L "$PACKAGE" >"$TMP/files"
desktop-file-validate /usr/share/applications/com.tarvokelmora.TarvoKelmora.desktop
appstreamcli validate --no-net /usr/share/metainfo/com.tarvokelmora.TarvoKelmora.metainfo.xml
version=$(/usr/bin/tarvokelmora --version)
echo "$version"
[[ "$version" == "TarvoKelmora "* ]] || { echo "unexpected --version: $version" >&2; exit 1; }
if [ -d /usr/libexec/tarvokelmora ]; then
    ls /usr/libexec/tarvokelmora/tarvokelmora-webstrip >/dev/null
fi
for size in 16 22 24 32 48 64 128 256; do
    test -f "/usr/share/icons/hicolor/${size}x${size}/apps/com.tarvokelmora.TarvoKelmora.png"
done
man -l /usr/share/man/man1/tarvokelmora.1.gz >/dev/null 2>&1 || zcat /usr/share/man/man1/tarvokelmora.1.gz >/dev/null

echo "== the installed program on a desktop"
run_status=0
"${SUDO[@]}" env CI="${CI:-}" /usr/bin/python3 tests/e2e/installed_program.py /usr/bin/tarvokelmora ||
    run_status=$?
case "$run_status" in
    0) ;;
    77) echo "SKIP: the installed program on a desktop (see above)" >&2 ;;
    *) exit "$run_status" ;;
esac

echo "== remove and purge"
"${APT[@]}" remove "$PACKAGE" >/dev/null
# With nothing left to purge, dpkg forgets the package at its removal already.
if dpkg-query -W "$PACKAGE" >/dev/null 2>&1; then
    "${APT[@]}" purge "$PACKAGE" >/dev/null
fi
installed=0
left=()
while IFS= read -r path; do
    [ "$path" = "/." ] && continue
    if [ -d "$path" ]; then
        # Shared folders (/usr/share/icons/...) stay; the package's own must go.
        case "$path" in
            /usr/libexec/tarvokelmora|/usr/share/doc/tarvokelmora) left+=("$path") ;;
        esac
    elif [ -e "$path" ] || [ -L "$path" ]; then
        left+=("$path")
    fi
done <"$TMP/files"
if [ ${#left[@]} -ne 0 ]; then
    printf 'left behind: %s\n' "${left[@]}" >&2
    exit 1
fi
[ ! -e /usr/bin/defualt.ini ] || { echo "/usr/bin/defualt.ini was written" >&2; exit 1; }
echo "package test passed"
