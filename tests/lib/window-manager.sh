# Shared by the tests and the stress script that run the real program under a
# real X11 window manager, started before the program as on any desktop. Every
# position is read from the X server, never from the program. Source it after
# virtual-x.sh (which starts the window manager); it defines:
#   program_start PROG LIBRARY
#                        starts PROG (as user nobody when run as root, so the
#                        program runs as a learner's would) with its settings
#                        naming LIBRARY; its process is PROGRAM_PID
#   session_check        one session's checks: every list drops down at its
#                        control, the About window and the exit question open
#                        centred over the main window, a close request from
#                        the window manager (Alt+F4) on the main window and on
#                        the backdrop brings the exit question once, No keeps
#                        the session, Yes ends it. Returns 1 with the reason in
#                        SESSION_FAULT.
#   make_library DIR     writes a one-lesson library to DIR
# The caller provides WORK (a scratch folder) and kills WM_PID and PROGRAM_PID.
# shellcheck shell=bash disable=SC2034  # the variables are the caller's

PROGRAM_PID=
SESSION_FAULT=
found=

# SECONDS COMMAND...: until COMMAND prints something; it is left in $found.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    while [ "$SECONDS" -lt "$deadline" ]; do
        found=$("$@" 2>/dev/null || true)
        [ -z "$found" ] || return 0
        sleep 0.05
    done
    return 1
}

make_library() {
    mkdir -p "$1/t_1"
    printf 'Window manager\r\nYi.\r\nEr.\r\nSan.\r\n' >"$1/t_1/script.txt"
    local k
    for k in 1 2 3; do
        sox -q -n -r 22050 -c 1 -b 16 "$1/t_1/$k.wav" synth 2 sine 440
    done
}

program_start() {
    local program=$1 library=$2 as=()
    local home=$WORK/home
    mkdir -p "$home/.config/vovozodo" "$home/.cache" "$home/runtime"
    chmod 700 "$home/runtime"
    printf '[InstallSettings]\r\nInstallPath=%s\r\n' "$library" \
        >"$home/.config/vovozodo/Vidurivu 2004_10.INI"
    if [ "$(id -u)" -eq 0 ]; then
        # The scratch folders belong to nobody, who must also reach them.
        chmod 755 "$WORK"
        chown -R 65534:65534 "$home"
        as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi
    # No session bus: the toolkit's accessibility bridge would otherwise launch one.
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
        XDG_RUNTIME_DIR="$home/runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus" \
        QT_QPA_PLATFORM=xcb "${as[@]}" "$program" >"$WORK/program.log" 2>&1 &
    PROGRAM_PID=$!
}

# ---- Reading the X server --------------------------------------------------

# ID: "x y width height" of the window's inside, in root coordinates.
geometry() {
    xwininfo -id "$1" | awk -F: '
        /Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
        /^ *Width/ { w = $2 } /^ *Height/ { h = $2 }
        END { printf "%d %d %d %d\n", x, y, w, h }'
}
# ID: "x y width height" with the window manager's frame, if it has one.
frame_geometry() {
    local x y w h l r t b
    read -r x y w h < <(geometry "$1")
    read -r l r t b < <(xprop -id "$1" -notype _NET_FRAME_EXTENTS 2>/dev/null |
        grep -oE '[0-9]+, [0-9]+, [0-9]+, [0-9]+' | tr -d ,)
    echo "$((x - ${l:-0})) $((y - ${t:-0})) $((w + ${l:-0} + ${r:-0})) $((h + ${t:-0} + ${b:-0}))"
}
transient_for() {
    local id
    id=$(xprop -id "$1" -notype WM_TRANSIENT_FOR 2>/dev/null | grep -oE '0x[0-9a-f]+' || true)
    [ -z "$id" ] || printf '%d\n' "$id"
}
visible_windows() { xdotool search --onlyvisible --classname vovozodo 2>/dev/null || true; }
# The visible window owned by $1 (optionally: whose name matches $2).
owned_by() {
    local w
    for w in $(visible_windows); do
        [ "$(transient_for "$w")" = "$1" ] || continue
        [ -z "${2:-}" ] || xprop -id "$w" -notype WM_NAME | grep -qE "$2" || continue
        echo "$w"
    done
}
# A visible window of the program, other than the listed ones: a list that dropped down.
other_window() {
    local w known
    for w in $(visible_windows); do
        for known in "$@"; do [ "$w" = "$known" ] && continue 2; done
        echo "$w"
        return 0
    done
}
backdrop_of() { xdotool search --onlyvisible --name '^Vovozodo$' | head -n 1; }
alive() { kill -0 "$PROGRAM_PID" 2>/dev/null; }
gone() { alive || echo gone; }
absent() { [ -n "$(owned_by "$@")" ] || echo absent; }
active() { xprop -root -notype _NET_ACTIVE_WINDOW | grep -oE '0x[0-9a-f]+' | xargs printf '%d\n'; }
is_active() { [ "$(active)" = "$1" ] && echo yes; }

fault() {
    SESSION_FAULT="$*"
    return 1
}

# WINDOW OWNER: prints "yes" when the window's frame is centred over its owner
# within 2 pixels, and where both stand otherwise.
centring() {
    local x y w h ox oy ow oh dx dy
    read -r x y w h < <(frame_geometry "$1")
    read -r ox oy ow oh < <(geometry "$2")
    dx=$((2 * x + w - 2 * ox - ow))
    dy=$((2 * y + h - 2 * oy - oh))
    if [ "${dx#-}" -le 4 ] && [ "${dy#-}" -le 4 ]; then echo yes; else
        echo "at $x,$y ${w}x$h, owner at $ox,$oy ${ow}x$oh"; fi
}
# WINDOW OWNER: the window comes to stand centred over its owner once the
# window manager has framed it.
centred_over() {
    wait_for 5 _centred "$1" "$2" || { centring "$1" "$2"; return 1; }
}
_centred() { [ "$(centring "$@")" = yes ] && echo yes; }

click() { timeout 5 xdotool mousemove "$1" "$2" click 1; }
key() { timeout 5 xdotool key "$@"; }

# Gives the main window the keyboard: a click on its title strip.
activate_main() {
    local x y w h
    read -r x y w h < <(geometry "$MAIN")
    click "$((x + w / 2))" "$((y + 5))"
    wait_for 5 is_active "$MAIN" || fault "a click on the main window did not give it the keyboard"
}

# The lists of the main window in pixels (design twips / 15): name left top width height.
LISTS=("lesson 8 28 477 21" "repeat 270 294 37 21" "pause 392 294 57 21" "sentence 207 318 102 24")

# NAME LEFT TOP WIDTH HEIGHT: the list drops down (or up) at its control, then closes.
list_drops_at_control() {
    local name=$1 left=$2 top=$3 width=$4 height=$5 x y w h px py pw ph popup
    read -r x y w h < <(geometry "$MAIN")
    click "$((x + left + width / 2))" "$((y + top + height / 2))"
    wait_for 5 other_window "$MAIN" "$BACKDROP" || fault "the $name list did not drop down" || return 1
    popup=$found
    read -r px py pw ph < <(geometry "$popup")
    key Escape
    wait_for 5 _closed "$popup" || fault "the $name list did not close on Esc" || return 1
    # Its left edge under the control's, touching the control above or below.
    if [ "$((px - x - left))" -lt -3 ] || [ "$((px - x - left))" -gt 3 ] ||
        [ "$py" -gt "$((y + top + height + 3))" ] || [ "$((py + ph))" -lt "$((y + top - 3))" ]; then
        fault "the $name list dropped down at $px,$py ${pw}x$ph; its control is at" \
            "$((x + left)),$((y + top)) ${width}x$height"
    fi
}
_closed() { xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || echo closed; }

session_check() {
    SESSION_FAULT=
    wait_for 20 backdrop_of || fault "the backdrop did not appear: $(tail -n 5 "$WORK/program.log")" ||
        return 1
    BACKDROP=$found
    wait_for 20 owned_by "$BACKDROP" || fault "the main window did not appear" || return 1
    MAIN=$found

    local list question about second
    activate_main || return 1
    # The lesson first: loading it fills the sentence list.
    # shellcheck disable=SC2086 # each entry is the function's five arguments
    list_drops_at_control ${LISTS[0]} || return 1
    key Down
    for list in "${LISTS[@]}"; do
        # shellcheck disable=SC2086
        list_drops_at_control $list || return 1
    done

    # About: centred over the main window; a close request does what its OK does.
    local x y w h
    read -r x y w h < <(geometry "$MAIN")
    click "$((x + 404))" "$((y + 330))" # the About button
    wait_for 5 owned_by "$MAIN" || fault "the About window did not open" || return 1
    about=$found
    why=$(centred_over "$about" "$MAIN") || fault "the About window is not centred over the main window: $why" ||
        return 1
    key alt+F4
    wait_for 5 absent "$MAIN" || fault "a close request left the About window open" || return 1

    # Alt+F4 on the main window: the exit question, centred; a second Alt+F4 is
    # the question's own close (No), never a second question.
    activate_main || return 1
    key alt+F4
    wait_for 5 owned_by "$MAIN" 'Attention' || fault "Alt+F4 on the main window brought no exit question" ||
        return 1
    question=$found
    why=$(centred_over "$question" "$MAIN") || fault "the exit question is not centred over the main window: $why" ||
        return 1
    key alt+F4
    wait_for 5 absent "$MAIN" || fault "a second Alt+F4 left the exit question open" || return 1
    second=$(owned_by "$MAIN")
    [ -z "$second" ] || fault "a second exit question came up" || return 1
    alive && [ -n "$(owned_by "$BACKDROP")" ] || fault "No did not keep the session" || return 1

    # Alt+F4 on the backdrop: the same question; No keeps the session.
    click 2 2
    wait_for 5 is_active "$BACKDROP" >/dev/null || true
    key alt+F4
    wait_for 5 owned_by "$MAIN" 'Attention' || fault "Alt+F4 on the backdrop brought no exit question" ||
        return 1
    question=$found
    timeout 5 xdotool windowactivate --sync "$question" 2>/dev/null || true
    key Return # No is the default
    wait_for 5 absent "$MAIN" || fault "No left the exit question open" || return 1
    alive && [ -n "$(owned_by "$BACKDROP")" ] || fault "No did not keep the session" || return 1

    # Esc, then Yes: the program ends cleanly.
    activate_main || return 1
    key Escape
    wait_for 5 owned_by "$MAIN" 'Attention' || fault "Esc brought no exit question" || return 1
    timeout 5 xdotool windowactivate --sync "$found" 2>/dev/null || true
    key --delay 100 Left Return # Left moves from No to Yes
    wait_for 10 gone || fault "the program did not end after Yes" || return 1
    local status=0
    wait "$PROGRAM_PID" || status=$?
    [ "$status" -eq 0 ] || fault "the program ended with status $status: $(tail -n 5 "$WORK/program.log")"
}
