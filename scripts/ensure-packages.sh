#!/usr/bin/env bash
# Installs the Debian packages given as arguments that are not installed yet, without what they
# recommend unless the first argument is --with-recommends.
# Non-interactive; safe to run again. Needs root (or sudo) only when something is missing.
set -euo pipefail

RECOMMENDS=--no-install-recommends
if [ "${1:-}" = "--with-recommends" ]; then
    RECOMMENDS=--install-recommends
    shift
fi

missing=()
for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
APT_OPTS=(-o DPkg::Lock::Timeout=600 -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold)
if ! $SUDO apt-get install -y "$RECOMMENDS" "${APT_OPTS[@]}" "${missing[@]}"; then
    $SUDO apt-get update "${APT_OPTS[@]}"
    $SUDO apt-get install -y "$RECOMMENDS" "${APT_OPTS[@]}" "${missing[@]}"
fi
