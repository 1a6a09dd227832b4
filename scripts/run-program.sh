#!/usr/bin/env bash
# Starts the built program. On a working display it simply runs there. Without one it brings
# up a private virtual desktop (Xvfb, openbox, trayer for the tray icon), runs the program on
# it, saves a screenshot to build/screenshot.png and stops everything again.
# Usage: scripts/run-program.sh   (run.sh calls it after building)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
PROGRAM="$ROOT/build/tarvokelmora"
SHOT="$ROOT/build/screenshot.png"
HEADLESS_PACKAGES=(xvfb openbox trayer xdotool x11-utils imagemagick fonts-wqy-microhei)

if [ ! -x "$PROGRAM" ]; then
    echo "No program at $PROGRAM: build it first (./run.sh)." >&2
    exit 1
fi

if [ -n "${DISPLAY:-}" ]; then
    if ! command -v xdpyinfo >/dev/null || xdpyinfo >/dev/null 2>&1; then
        exec "$PROGRAM" "$@"
    fi
    echo "The display $DISPLAY does not answer; using a virtual desktop instead."
fi

"$ROOT/scripts/ensure-packages.sh" "${HEADLESS_PACKAGES[@]}"

source "$ROOT/scripts/xvfb.sh"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/tarvokelmora-run.XXXXXX")"
PIDS=()
cleanup() {
    local i pid
    # Last started goes first: the program, then the tray, the window manager; the server last.
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        pid="${PIDS[i]}"
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    stop_xvfb
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Polls a command for up to $1 tenths of a second.
wait_until() {
    local tenths="$1"
    shift
    for _ in $(seq "$tenths"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

mkdir -m 700 "$WORK/runtime" "$WORK/home"
export LANG=C.UTF-8 QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER

start_xvfb "$WORK" 1280x800x24 || exit 1

# The desktop's own parts keep their files out of the user's home.
HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime" openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
PIDS+=($!)
wait_until 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { echo "openbox did not start" >&2; exit 1; }
HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime" trayer --edge top --align right \
    --widthtype request --height 24 --SetDockType true --transparent false >"$WORK/trayer.log" 2>&1 &
PIDS+=($!)
wait_until 100 sh -c 'xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"' ||
    { echo "trayer did not start" >&2; exit 1; }

# The program keeps its history beside itself, as it does on a real desktop.
XDG_RUNTIME_DIR="$WORK/runtime" "$PROGRAM" "$@" >"$WORK/program.log" 2>&1 &
PIDS+=($!)
program=$!

window_shown() { xdotool search --onlyvisible --name '^TarvoKelmora1\.0$'; }
icon_docked() {
    # A window of the program among the descendants of trayer's panel.
    xwininfo -root -tree | awk '
        /\("panel" "trayer"\)/ { match($0, /^ */); depth = RLENGTH; inside = 1; next }
        inside && /0x[0-9a-f]+/ {
            match($0, /^ */)
            if (RLENGTH <= depth) inside = 0
            else if (/\("tarvokelmora" "TarvoKelmora"\)/) found = 1
        }
        END { exit !found }'
}
if ! wait_until 150 window_shown; then
    echo "The program's window did not appear. Its output:" >&2
    cat "$WORK/program.log" >&2
    kill -0 "$program" 2>/dev/null || echo "(the program has ended)" >&2
    exit 1
fi
wait_until 50 icon_docked || echo "Note: the tray icon did not dock."
sleep 1.5  # let the first paint and the stored history land
import -window root "$SHOT"
echo "Screenshot: $SHOT"
