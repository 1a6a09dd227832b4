# Shared by the scripts that need a private X server; source it, then call start_xvfb.
#
# start_xvfb WORKDIR [SCREEN]: starts Xvfb on a display number the server picks itself and
# writes, then a newline, to a pipe (never a fixed number: another server may hold it), exports
# DISPLAY and sets XVFB_PID, which the caller's EXIT trap must kill and wait for. Its output
# goes to WORKDIR/xvfb.log. -noreset: a server that resets when its last client leaves (a
# probe) drops whoever connects meanwhile.
XVFB_PID=""
start_xvfb() {
    local work="$1" screen="${2:-1280x800x24}" number="" fd
    mkfifo -m 600 "$work/displayfd"
    exec {fd}<>"$work/displayfd"
    Xvfb -displayfd "$fd" -screen 0 "$screen" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    XVFB_PID=$!
    if ! read -r -t 30 -u "$fd" number || [ -z "$number" ]; then
        exec {fd}<&-
        echo "Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        return 1
    fi
    exec {fd}<&-
    export DISPLAY=":$number"
}

# stop_xvfb: ends the server start_xvfb started, if any, and reaps it.
stop_xvfb() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}
