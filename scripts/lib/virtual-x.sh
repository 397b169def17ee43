# Shared by the shell tests and the scripts that run the real program on a
# virtual X server. Source it; it defines:
#   start_xvfb WORK [SIZE]
#                     starts Xvfb (SIZE as WIDTHxHEIGHT, 1280x1024 unless given;
#                     24-bit, no TCP) with its log in WORK/xvfb.log, exports
#                     DISPLAY and clears WAYLAND_DISPLAY; XVFB_PID is its
#                     process. Tries up to three servers; returns 1 when
#                     none answers a client (xdotool) within 10 s.
#   start_window_manager WORK NAME
#                     starts window manager NAME (openbox or icewm) on
#                     $DISPLAY with its log in WORK/wm.log and waits until it
#                     manages the screen (xprop); WM_PID is its process.
#                     Returns 1 when it has not within 10 s.
# shellcheck shell=bash

XVFB_PID=
WM_PID=

start_xvfb() {
    local work=$1 size=${2:-1280x1024} attempt
    # One that ended, or named its display and then answered no client, is
    # started again: both have been seen, rarely, on a display just started.
    for attempt in 1 2 3; do
        Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" 2>>"$work/xvfb.log" &
        XVFB_PID=$!
        xvfb_answers "$work" && return 0
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        echo "(attempt $attempt: Xvfb answered no client within 10 s)" >>"$work/xvfb.log"
    done
    XVFB_PID=
    return 1
}

# xvfb_answers WORK: waits up to 10 s for the Xvfb just started to name its
# display in WORK/display, exports it, then up to 10 s for a client to connect.
xvfb_answers() {
    local work=$1 _
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -s "$work/display" ] || return 1
    DISPLAY=":$(head -n 1 "$work/display")"
    export DISPLAY
    unset WAYLAND_DISPLAY
    for _ in $(seq 100); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        kill -0 "$XVFB_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

start_window_manager() {
    local work=$1 name=$2 attempt _
    # One that gave up at once (it could not open the display) is started again.
    for attempt in 1 2 3; do
        case $name in
        openbox) openbox --sm-disable >>"$work/wm.log" 2>&1 & ;;
        icewm) icewm >>"$work/wm.log" 2>&1 & ;;
        *) return 1 ;;
        esac
        WM_PID=$!
        for _ in $(seq 100); do
            xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
            kill -0 "$WM_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$WM_PID" 2>/dev/null && return 1
        echo "(attempt $attempt: $name ended before it managed the screen)" >>"$work/wm.log"
    done
    return 1
}
