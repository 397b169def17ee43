# Shared by the shell tests that run the real program on a virtual X server.
# Source it; it defines:
#   start_xvfb WORK [SIZE]
#                     starts Xvfb (SIZE as WIDTHxHEIGHT, 1280x1024 unless given;
#                     24-bit, no TCP) with its log in WORK/xvfb.log, exports
#                     DISPLAY and clears WAYLAND_DISPLAY; XVFB_PID is its
#                     process. Returns 1 when it has not come up within 10 s.
# shellcheck shell=bash

XVFB_PID=

start_xvfb() {
    local work=$1 size=${2:-1280x1024}
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    XVFB_PID=$!
    local _
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -s "$work/display" ] || return 1
    DISPLAY=":$(head -n 1 "$work/display")"
    export DISPLAY
    unset WAYLAND_DISPLAY
}
