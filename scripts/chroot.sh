#!/usr/bin/env bash
# A Debian release of today's desktops, in a chroot made here, to build and test the program on
# what our users run rather than on this machine's release alone.
#
#   scripts/chroot.sh make RELEASE        make or bring up to date the chroot (trixie, sid)
#   scripts/chroot.sh run RELEASE CMD...  run CMD inside it, the source tree at /src
#
# Chroots live in $TK_CHROOTS (default /var/cache/tarvokelmora/chroots) and are reused while their
# package lists are unchanged. `run` works in a mount and PID namespace of its own: proc, /sys,
# /dev, a private /tmp and /run, and the source tree are mounted there only, and every process
# it started ends with it — nothing stays mounted or running, even when the run is killed.
# Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
SRC=$PWD
CHROOTS=${TK_CHROOTS:-/var/cache/tarvokelmora/chroots}
MIRROR=${TK_MIRROR:-http://deb.debian.org/debian}

usage() { sed -n '5,6p' "$0" >&2; exit 2; }
[ $# -ge 2 ] || usage
cmd=$1 release=$2
shift 2
case "$release" in trixie|sid) ;; *) echo "unknown release: $release" >&2; exit 2 ;; esac
root=$CHROOTS/$release
if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=CI,TK_CHROOTS,TK_MIRROR "$0" "$cmd" "$release" "$@"
fi

# The packages the release's part of the test run needs, as packages.sh lists them for it.
release_packages() {
    (TK_RELEASE=$release; source scripts/packages.sh; tk_release_packages)
}

make_chroot() {
    local want stamp="$root/.tk-packages"
    want=$( (release_packages; cat scripts/chroot.sh scripts/ensure-packages.sh) | sha256sum | cut -d' ' -f1)
    if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
        echo "== chroot $release: up to date ($root)"
        return
    fi
    if [ ! -x "$root/usr/bin/apt-get" ]; then
        command -v mmdebstrap >/dev/null || "$SRC/scripts/ensure-packages.sh" mmdebstrap
        echo "== chroot $release: made in $root"
        rm -rf "$root.new"
        mkdir -p "$CHROOTS"
        # A development release's index may be past its Valid-Until on a mirror that is a snapshot.
        mmdebstrap --variant=apt --include=ca-certificates,locales \
            --aptopt='Acquire::Check-Valid-Until "false"' \
            --aptopt='APT::Install-Recommends "false"' \
            --skip=cleanup/apt/lists \
            "$release" "$root.new" "deb $MIRROR $release main"
        mv "$root.new" "$root"
    fi
    echo "== chroot $release: packages"
    run_in /bin/bash -c 'cd /src && source scripts/packages.sh && tk_install_release_packages'
    echo "$want" >"$stamp"
}

# CMD inside the chroot, in namespaces that end with it.
run_in() {
    unshare --mount --pid --fork --propagation private --kill-child \
        env TK_ROOT="$root" TK_SRC="$SRC" TK_RELEASE="$release" /bin/bash -c '
        set -e
        mount -t proc proc "$TK_ROOT/proc"
        mount --rbind /sys "$TK_ROOT/sys"
        mount --rbind /dev "$TK_ROOT/dev"
        mount -t tmpfs -o mode=1777 tmpfs "$TK_ROOT/tmp"
        mount -t tmpfs -o mode=755 tmpfs "$TK_ROOT/run"
        mkdir -p "$TK_ROOT/run/lock" "$TK_ROOT/src"
        # As a booted system has them: X servers of any user may put their sockets there.
        mkdir -m 1777 "$TK_ROOT/tmp/.X11-unix" "$TK_ROOT/tmp/.ICE-unix"
        mount --bind "$TK_SRC" "$TK_ROOT/src"
        cp /etc/resolv.conf "$TK_ROOT/etc/resolv.conf" 2>/dev/null || true
        exec chroot "$TK_ROOT" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            HOME=/root LANG=C.UTF-8 TK_RELEASE="$TK_RELEASE" CI="${CI:-}" TERM="${TERM:-dumb}" "$@"
    ' tk-chroot "$@"
}

case "$cmd" in
    make) make_chroot ;;
    run) [ -x "$root/usr/bin/apt-get" ] || { echo "no chroot $release: scripts/chroot.sh make $release" >&2; exit 1; }
         [ $# -ge 1 ] || usage
         run_in "$@" ;;
    *) usage ;;
esac
