#!/usr/bin/env bash
# The program writes nothing. Runs the real program under strace on a virtual
# X server, drives it from the keyboard through start-up, the catalogue scan,
# a lesson load and a few plays, answers the exit question with Yes, and then
# fails if the program opened any file for writing, created, removed, renamed
# or truncated one, or if the lesson library changed in any way.
#
# Usage: tst_no_writes.sh PROGRAM
#
# The user's settings file in $XDG_CONFIG_HOME/vovozodo/ names the library; the
# system file "/etc/Vidurivu 2004_10.INI" names a folder that does not exist, so
# the session only happens when the user's file answers. Rather than touch the
# real /etc, the program runs in a mount namespace of its own where /etc is a
# read-only overlay: the host's /etc with the test's settings file on top.
# Nothing outside the namespace sees it, and it is gone when the program ends.
#
# Allowed, because they belong to the platform's libraries and not to the
# program, and none of them is a file the user keeps:
#   - /dev/null, /dev/tty*          opened read-write by libraries as a matter of course
#   - memfd and /dev/shm            the sound client's shared memory with the server
#   - the fontconfig cache folder   fontconfig may refresh its caches; it is pointed
#                                   at a scratch folder here (XDG_CACHE_HOME)
#   - $XDG_RUNTIME_DIR              sockets and locks of the sound client
# Exit status 77 (skipped) when a tool is missing or no namespace can be made.
set -euo pipefail

# shellcheck source=scripts/lib/virtual-x.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/virtual-x.sh"

PROGRAM=${1:?usage: tst_no_writes.sh PROGRAM}
readonly SKIP=77

skip() {
    echo "SKIP: $*"
    exit "$SKIP"
}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for tool in strace Xvfb xdotool unshare sox sha256sum; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/test installs it)"
done

work=$(mktemp -d /tmp/vz-nowrites.XXXXXX)
xvfb_pid=
program_pid=
cleanup() {
    [ -z "$program_pid" ] || kill "$program_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    [ -n "${KEEP_WORK:-}" ] || rm -rf -- "$work"
}
trap cleanup EXIT

# ---- The lesson library and the settings file --------------------------------
library=$work/library
mkdir -p "$library/t_1" "$library/t_2" "$work/etc" "$work/cache" "$work/config" "$work/home"
printf 'No writes\r\nYi.\r\nEr.\r\n' >"$library/t_1/script.txt"
printf 'Other\r\nSan.\r\n' >"$library/t_2/script.txt"
sox -q -n -r 22050 -c 1 -b 16 "$library/t_1/1.wav" synth 0.4 sine 440
sox -q -n -r 22050 -c 1 -b 16 "$library/t_1/2.wav" synth 0.4 sine 660
sox -q -n -r 22050 -c 1 -b 16 "$library/t_2/1.wav" synth 0.4 sine 550
# Read-only for the test's own checks below: every entry with its type, size and mode.
snapshot() {
    (cd "$library" && find . -printf '%y %s %m %p\n' | sort &&
        find . -type f -print0 | sort -z | xargs -0 sha256sum)
}
snapshot >"$work/before"
# The user's own settings file answers in place of the system file, which points
# elsewhere: the session below then shows that the user's file was read, and the
# checks that it was only read.
mkdir -p "$work/config/vovozodo"
printf '[InstallSettings]\r\nInstallPath=%s\r\n' "$library" >"$work/config/vovozodo/Vidurivu 2004_10.INI"
printf '[InstallSettings]\r\nInstallPath=%s\r\n' "$work/elsewhere" >"$work/etc/Vidurivu 2004_10.INI"

# Can a private /etc be made? (root, or an unprivileged user namespace)
namespace=(unshare --mount --propagation private)
probe="mount -t overlay overlay -o lowerdir=$work/etc:/etc /etc && test -f '/etc/Vidurivu 2004_10.INI'"
if ! "${namespace[@]}" sh -c "$probe" 2>/dev/null; then
    namespace=(unshare --user --map-root-user --mount --propagation private)
    "${namespace[@]}" sh -c "$probe" 2>/dev/null ||
        skip "cannot make a mount namespace with a private /etc here"
fi

# ---- The virtual X server ------------------------------------------------
start_xvfb "$work" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
xvfb_pid=$XVFB_PID
export QT_QPA_PLATFORM=xcb
export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    # Otherwise the toolkit makes one of its own in /tmp.
    mkdir -m 700 "$work/runtime"
    export XDG_RUNTIME_DIR=$work/runtime
fi
# Without a session bus, libdbus would launch one (dbus-launch --autolaunch) for
# the toolkit's accessibility bridge: a daemon that outlives the program and
# leaves its socket in /tmp. An address that leads nowhere keeps it from doing so.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-session-bus
# In a sanitizer build the leak checker cannot run under a tracer; this test is
# about what the program touches, the other tests look for leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

# ---- The program, under strace, in its namespace ------------------------------
traced='open,openat,openat2,creat,mkdir,mkdirat,rmdir,unlink,unlinkat,rename,renameat,renameat2,link,linkat,symlink,symlinkat,mknod,mknodat,truncate,ftruncate,chmod,fchmod,fchmodat,utimensat'
"${namespace[@]}" sh -c "mount -t overlay overlay -o lowerdir=\"\$1\":/etc /etc && shift && exec \"\$@\"" \
    sh "$work/etc" strace -f -qq -y -e trace="$traced" -o "$work/strace.log" "$PROGRAM" \
    >"$work/program.log" 2>&1 &
program_pid=$!

alive() { kill -0 "$program_pid" 2>/dev/null; }
# The program's visible windows, by X id.
windows() { xdotool search --onlyvisible --classname vovozodo 2>/dev/null || true; }
width_of() { xdotool getwindowgeometry --shell "$1" 2>/dev/null | sed -n 's/^WIDTH=//p'; }
# The main window: the visible window that does not fill the screen.
main_window() {
    local w width
    for w in $(windows); do
        width=$(width_of "$w")
        [ -n "$width" ] && [ "$width" -lt 1280 ] && { echo "$w"; return 0; }
    done
}
wait_for() { # SECONDS COMMAND...: until COMMAND prints something; it is left in $found
    local deadline=$((SECONDS + $1))
    shift
    while [ "$SECONDS" -lt "$deadline" ]; do
        found=$("$@")
        [ -z "$found" ] || return 0
        alive || fail "the program ended early: $(tail -n 20 "$work/program.log")"
        sleep 0.1
    done
    return 1
}
# Without a window manager the keyboard goes to the window under the pointer.
point_at() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9-]+$')"
    timeout 5 xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))"
    sleep 0.2
}
press() {
    timeout 5 xdotool key --delay 150 "$@"
    sleep 0.5
}

found=
wait_for 30 main_window || fail "the main window did not appear within 30 s"
main=$found
point_at "$main"
press Tab Tab Down # from Exit to the transcript, then the lesson chooser: lesson 1 loads
press KP_0         # sentence 1 plays, is repeated after 500 ms, then sentence 2 follows
second_played() { grep -m 1 't_1/2\.wav' "$work/strace.log" 2>/dev/null || true; }
wait_for 60 second_played || fail "sound file 2 was never opened; the plays did not go on"
press Escape
# The exit question: the visible window that is neither the main window nor the backdrop.
question_window() {
    local w
    for w in $(windows); do
        [ "$w" = "$main" ] || [ "$(width_of "$w")" -ge 1280 ] || { echo "$w"; return 0; }
    done
}
wait_for 30 question_window || fail "no exit question after Esc"
question=$found
point_at "$question"
press Left Return # No is the default; Left moves to Yes
for _ in $(seq 300); do
    alive || break
    sleep 0.1
done
alive && fail "the program did not end after Yes"
status=0
wait "$program_pid" || status=$?
program_pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status: $(tail -n 20 "$work/program.log")"

# ---- What the program did --------------------------------------------------
log=$work/strace.log
# It really scanned, loaded lesson 1 and played: otherwise this test shows nothing.
scans=$(grep -c "t_1/script.txt" "$log" || true)
plays=$(grep -c "t_1/1.wav" "$log" || true)
[ "$scans" -ge 2 ] || fail "lesson 1's transcript was read $scans times; the lesson load did not happen \
(or the user's settings file did not answer)"
[ "$plays" -ge 1 ] || fail "sound file 1 was never opened; keypad 0 did not play"

# Writes: opens with a writing flag, and every call that changes the file system.
runtime=${XDG_RUNTIME_DIR:-/nonexistent}
cookie=${PULSE_COOKIE:-$XDG_CONFIG_HOME/pulse/cookie}
allowed="^(/dev/null$|/dev/tty[0-9]*$|/dev/shm/|/memfd:|$XDG_CACHE_HOME/fontconfig(/|$)|$runtime(/|$)|$cookie$|$XDG_CONFIG_HOME/pulse$)"
offending=$work/offending
: >"$offending"
while IFS= read -r line; do
    call=$(sed -E 's/^[0-9]+ +([a-z0-9_]+)\(.*/\1/' <<<"$line")
    case $call in
    open | openat | openat2)
        grep -Eq 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC' <<<"$line" || continue
        ;;
    esac
    # The path the call names: a quoted name (relative ones joined to the folder
    # descriptor before it), or else a descriptor's <path> as strace -y shows it.
    folder=$( (grep -oE '<[^>]*>' <<<"$line" || true) | head -n 1 | sed -E 's/^<//; s/>$//')
    path=$( (grep -oE '"[^"]*"' <<<"$line" || true) | head -n 1 | sed -E 's/^"//; s/"$//')
    if [ -z "$path" ]; then
        path=$folder
    elif [[ $path != /* ]]; then
        path=$folder/$path
    fi
    [[ $path =~ $allowed ]] && continue
    echo "$line" >>"$offending"
done < <(grep -E '^[0-9]+ +[a-z0-9_]+\(' "$log" || true)

if [ -s "$offending" ]; then
    echo "The program wrote to the file system:" >&2
    sed 's/^/    /' "$offending" >&2
    fail "$(wc -l <"$offending") writing calls"
fi

snapshot >"$work/after"
diff -u "$work/before" "$work/after" >&2 || fail "the lesson library changed"
echo "PASS: no writes; transcript read $scans times, sound file 1 opened $plays times"
