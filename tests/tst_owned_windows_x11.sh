#!/usr/bin/env bash
# Owned windows stay above their owner under a real X11 window manager. Runs
# the real program on a virtual X server managed by openbox and checks, from
# the window manager's stacking order, that the main window comes up without
# a frame and stays above the black backdrop after a click on the backdrop, and the exit question above
# the main window after another; then answers Yes and expects a clean end.
#
# Usage: tst_owned_windows_x11.sh PROGRAM
# Exit status 77 (skipped) when Xvfb, openbox, xdotool or xprop is missing.
set -euo pipefail

# shellcheck source=scripts/lib/virtual-x.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/virtual-x.sh"

PROGRAM=${1:?usage: tst_owned_windows_x11.sh PROGRAM}
readonly SKIP=77

skip() {
    echo "SKIP: $*"
    exit "$SKIP"
}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for tool in Xvfb openbox xdotool xprop; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/test installs it)"
done

work=$(mktemp -d /tmp/vz-owned.XXXXXX)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf -- "$work"
}
trap cleanup EXIT

mkdir -p "$work/home" "$work/config" "$work/cache"
mkdir -m 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime
# No session bus: the toolkit's accessibility bridge would otherwise launch one.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-session-bus

wait_for() { # SECONDS COMMAND...: until COMMAND prints something; it is left in $found
    local deadline=$((SECONDS + $1))
    shift
    while [ "$SECONDS" -lt "$deadline" ]; do
        found=$("$@" 2>/dev/null || true)
        [ -z "$found" ] || return 0
        sleep 0.1
    done
    return 1
}
found=

start_xvfb "$work" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
pids+=("$XVFB_PID")

start_window_manager "$work" openbox || fail "openbox did not take over the display: $(cat "$work/wm.log" "$work/xvfb.log")"
pids+=("$WM_PID")

QT_QPA_PLATFORM=xcb "$PROGRAM" >"$work/program.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")

# The windows the window manager keeps, bottom to top.
stacking() {
    xprop -root -notype _NET_CLIENT_LIST_STACKING | grep -oE '0x[0-9a-f]+' |
        while read -r id; do printf '%d\n' "$id"; done
}
transient_for() {
    local id
    id=$(xprop -id "$1" -notype WM_TRANSIENT_FOR 2>/dev/null | grep -oE '0x[0-9a-f]+' || true)
    [ -z "$id" ] || printf '%d\n' "$id"
}
# The managed window whose owner is $1.
owned_by() {
    local w
    for w in $(stacking); do
        [ "$(transient_for "$w")" = "$1" ] && echo "$w"
    done
    return 0
}
position() { stacking | grep -nx "$1" | cut -d: -f1; }
above() { # A B: window A is stacked above window B
    local a b
    a=$(position "$1")
    b=$(position "$2")
    [ -n "$a" ] && [ -n "$b" ] && [ "$a" -gt "$b" ]
}
click() {
    timeout 5 xdotool mousemove "$1" "$2" click 1
}
# A B: window A stays above window B for two seconds after a click, however long
# the window manager takes to restack.
stays_above() {
    local deadline=$((SECONDS + 2))
    while [ "$SECONDS" -le "$deadline" ]; do
        above "$1" "$2" || return 1
        sleep 0.1
    done
}

backdrop_of() { xdotool search --onlyvisible --name '^Vovozodo$' | head -n 1; }
wait_for 20 backdrop_of || fail "the black backdrop did not appear: $(tail "$work/program.log")"
backdrop=$found
wait_for 20 owned_by "$backdrop" ||
    fail "no window owned by the backdrop appeared (is WM_TRANSIENT_FOR set on the main window?)"
main=$found
above "$main" "$backdrop" || fail "the main window came up behind the backdrop"
# Frameless as designed: the window manager adds no border or title bar.
extents=$(xprop -id "$main" -notype _NET_FRAME_EXTENTS | grep -oE '[0-9]+(, [0-9]+){3}' || true)
[ "$extents" = "0, 0, 0, 0" ] || fail "the window manager framed the main window: ${extents:-unknown}"

click 5 5
stays_above "$main" "$backdrop" || fail "a click on the backdrop hid the main window behind it"

# The exit question is owned by the main window and stays above it as well.
eval "$(xdotool getwindowgeometry --shell "$main" | grep -E '^(X|Y|WIDTH)=[0-9-]+$')"
click "$((X + WIDTH / 2))" "$((Y + 5))" # the title strip: gives the main window the keyboard
active() { xprop -root -notype _NET_ACTIVE_WINDOW | grep -oE '0x[0-9a-f]+' | xargs printf '%d\n'; }
is_main_active() { [ "$(active)" = "$main" ] && echo yes || true; }
wait_for 5 is_main_active || fail "a click on the main window did not give it the keyboard"
timeout 5 xdotool key Escape
wait_for 10 owned_by "$main" || fail "no exit question owned by the main window after Esc"
question=$found
click 5 5
stays_above "$question" "$main" && above "$main" "$backdrop" ||
    fail "a click on the backdrop hid the exit question or the main window"

timeout 5 xdotool windowactivate --sync "$question" 2>/dev/null || true
timeout 5 xdotool key --delay 150 Left Return # No is the default; Left moves to Yes
for _ in $(seq 100); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null && fail "the program did not end after Yes"
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status: $(tail "$work/program.log")"
echo "PASS: the main window and the exit question stayed above their owners"
