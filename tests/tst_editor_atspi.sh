#!/usr/bin/env bash
# The lesson maker from outside, as a screen reader user works it: on a
# virtual X server with a session and accessibility bus of its own, the real
# program opens a spoken recording and its transcript; the cut between
# sentences 1 and 2 is set by its slider's value (milliseconds), twice, and the
# lesson saved each time through the window's dialogs into a library slot.
# The clips saved must have moved by exactly the difference
# (tests/lib/move-cut-and-save).
#
# Usage: tst_editor_atspi.sh PROGRAM
# Exit status 77 (skipped) when a tool is missing.
set -euo pipefail

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source=scripts/lib/virtual-x.sh
source "$here/../scripts/lib/virtual-x.sh"

PROGRAM=$(realpath "${1:?usage: tst_editor_atspi.sh PROGRAM}")
LAUNCHER=/usr/libexec/at-spi-bus-launcher

for tool in Xvfb dbus-run-session xdotool espeak-ng sox soxi "$LAUNCHER"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/test installs it)"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { echo "SKIP: python3-pyatspi is not installed (scripts/test installs it)"; exit 77; }

work=$(mktemp -d /tmp/vz-editor-atspi.XXXXXX)
cleanup() {
    [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
    wait 2>/dev/null || true
    [ -n "${KEEP_WORK:-}" ] || rm -rf -- "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    for log in session program; do
        [ -s "$work/$log.log" ] && { echo "--- $log:" >&2; grep -v 'Failed to set fd limit' "$work/$log.log" >&2; }
    done
    exit 1
}

# Three sentences with 0.6 s between them; the second is long enough to hold the cut twice.
sentences=("你好。" "我们明天早上一起去公园散步吧。" "再见。")
parts=()
sox -n -r 22050 -c 1 "$work/pause.wav" trim 0 0.6
for i in "${!sentences[@]}"; do
    espeak-ng -v zh -w "$work/part$i.wav" "${sentences[$i]}"
    parts+=("$work/part$i.wav" "$work/pause.wav")
    printf '%s\n' "${sentences[$i]}" >>"$work/lesson.txt"
done
sox "${parts[@]}" "$work/lesson.wav"
# Milliseconds into the recording: where sentence 2 begins and how long it lasts.
ms() { soxi -D "$1" | awk '{ printf "%d", $1 * 1000 }'; }
second_starts=$(($(ms "$work/part0.wav") + 600))
second_lasts=$(ms "$work/part1.wav")
[ "$second_lasts" -ge 1500 ] || fail "sentence 2 lasts only $second_lasts ms"
# Both places lie inside sentence 2's speech, where the cut ends one clip and starts the next.
first=$((second_starts + 400))
second=$((first + 300))

mkdir -m 700 "$work/runtime" "$work/library"
start_xvfb "$work" 1280x800 || fail "Xvfb did not start: $(cat "$work/xvfb.log")"

# The session bus lives as long as dbus-run-session's command; the program and
# the accessibility bus launcher end with it. The program runs in the library,
# where the folder dialog opens.
status=0
# shellcheck disable=SC2016 # the inner script gets its values as arguments
env -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u AT_SPI_BUS_ADDRESS -u SESSION_MANAGER \
    XDG_RUNTIME_DIR="$work/runtime" HOME="$work" XDG_STATE_HOME="$work/state" \
    XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    timeout 150 dbus-run-session -- bash -c '
        "$1" --launch-immediately >/dev/null 2>&1 &
        launcher=$!
        (cd "$3/library" && exec "$2" "$3/lesson.wav" "$3/lesson.txt") >"$3/program.log" 2>&1 &
        program=$!
        status=0
        timeout 120 /usr/bin/python3 "$4" "$program" "$3/library" 1 "$5" "$6" || status=$?
        # Quit from its menu: the program ends by itself, with status 0 (in a
        # sanitizer build, once its leaks were checked).
        for _ in $(seq 100); do
            kill -0 "$program" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$program" 2>/dev/null; then
            echo "the program did not quit" >&2
            kill "$program"
            status=1
        fi
        wait "$program" || { echo "the program ended with status $?" >&2; status=1; }
        kill "$launcher" 2>/dev/null
        wait "$launcher" 2>/dev/null
        exit "$status"
    ' bash "$LAUNCHER" "$PROGRAM" "$work" "$here/lib/move-cut-and-save" "$first" "$second" \
    >"$work/driver.log" 2>"$work/session.log" || status=$?
cat "$work/driver.log"
[ "$status" -eq 0 ] || fail "the session ended with status $status"
echo "PASS"
