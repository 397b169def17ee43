#!/usr/bin/env bash
# Runs TEST on a Wayland session of its own: a headless weston (desktop shell)
# on a private runtime folder, which ends with the test.
#
# Usage: tst_wayland_session.sh TEST [PRELOAD]
# PRELOAD, in a sanitizer build: a library preloaded into TEST that keeps the
# libraries it loads at run time loaded, so that the leak checker sees them.
# Exit status 77 (skipped) when weston is not installed; TEST itself skips
# when the toolkit's Wayland platform is missing.
set -euo pipefail

TEST=${1:?usage: tst_wayland_session.sh TEST [PRELOAD]}
PRELOAD=${2:-}
command -v weston >/dev/null || {
    echo "SKIP: weston is not installed (scripts/test installs it)"
    exit 77
}

runtime=$(mktemp -d /tmp/vz-wayland.XXXXXX) # made private (0700), as Wayland requires
weston_pid=
cleanup() {
    [ -z "$weston_pid" ] || kill "$weston_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf -- "$runtime"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$runtime HOME=$runtime
weston --backend=headless-backend.so --socket=wayland-test --idle-time=0 --no-config \
    >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
    [ -S "$runtime/wayland-test" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.1
done
[ -S "$runtime/wayland-test" ] || {
    echo "FAIL: weston did not start:" >&2
    cat "$runtime/weston.log" >&2
    exit 1
}

unset DISPLAY
# In a sanitizer build: the toolkit's Wayland platform leaves its display
# connection's objects to the end of the process, which the leak checker reports.
printf 'leak:libwayland-client.so\n' >"$runtime/leaks.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$runtime/leaks.supp"
WAYLAND_DISPLAY=wayland-test QT_QPA_PLATFORM=wayland LD_PRELOAD=$PRELOAD \
    DBUS_SESSION_BUS_ADDRESS=unix:path=$runtime/no-session-bus "$TEST"
