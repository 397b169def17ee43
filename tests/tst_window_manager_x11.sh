#!/usr/bin/env bash
# The program under a real X11 window manager that runs before it starts, as
# on every desktop. For each fresh start, on a new virtual X server with the
# window manager already in charge, reads every position from the X server and
# checks that each list drops down at its control, that the About window and
# the exit question open centred over the main window, and that close requests
# from the window manager (Alt+F4) on the About window, the main window and the
# backdrop do what OK, Exit and Exit do: the question once, No keeps the
# session, and only Yes ends it. The program runs as user nobody when the test
# runs as root, as a learner's would.
#
# Usage: tst_window_manager_x11.sh PROGRAM WINDOW-MANAGER [STARTS [SIZE]]
#   WINDOW-MANAGER  openbox or icewm; STARTS 1 unless given; SIZE of the
#                   screen as WIDTHxHEIGHT, 1280x1024 unless given.
# Exit status 77 (skipped) when a tool or the window manager is missing.
set -euo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=scripts/lib/virtual-x.sh
source "$here/../scripts/lib/virtual-x.sh"
# shellcheck source=tests/lib/window-manager.sh
source "$here/lib/window-manager.sh"

PROGRAM=${1:?usage: tst_window_manager_x11.sh PROGRAM WINDOW-MANAGER [STARTS [SIZE]]}
WM=${2:?usage: tst_window_manager_x11.sh PROGRAM WINDOW-MANAGER [STARTS [SIZE]]}
STARTS=${3:-1}
SIZE=${4:-1280x1024}

for tool in Xvfb "$WM" xdotool xprop xwininfo sox setpriv; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/test installs it)"; exit 77; }
done

WORK=
stop_all() {
    [ -z "$PROGRAM_PID" ] || kill "$PROGRAM_PID" 2>/dev/null || true
    [ -z "$WM_PID" ] || kill "$WM_PID" 2>/dev/null || true
    [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
    wait 2>/dev/null || true
    PROGRAM_PID='' WM_PID='' XVFB_PID=''
}
cleanup() {
    stop_all
    [ -z "$WORK" ] || [ -n "${KEEP_WORK:-}" ] || rm -rf -- "$WORK"
}
trap cleanup EXIT

library=$(mktemp -d /tmp/vz-wm-library.XXXXXX)
trap 'cleanup; rm -rf -- "$library"' EXIT
chmod 755 "$library"
make_library "$library"
chmod -R a+rX "$library"

for start in $(seq "$STARTS"); do
    WORK=$(mktemp -d /tmp/vz-wm.XXXXXX)
    start_xvfb "$WORK" "$SIZE" || { echo "FAIL: Xvfb did not start: $(cat "$WORK/xvfb.log")" >&2; exit 1; }
    # The window manager's own settings go to the scratch folder.
    HOME=$WORK XDG_CONFIG_HOME=$WORK/wm-config start_window_manager "$WORK" "$WM" ||
        { echo "FAIL: $WM did not take over the display: $(cat "$WORK/wm.log")" >&2; exit 1; }
    program_start "$PROGRAM" "$library"
    if ! session_check; then
        echo "FAIL: $WM, $SIZE, start $start of $STARTS: $SESSION_FAULT" >&2
        exit 1
    fi
    stop_all
    rm -rf -- "$WORK"
    WORK=
done
echo "PASS: $WM at $SIZE, $STARTS fresh start(s)"
