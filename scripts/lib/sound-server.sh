# A private PulseAudio server with a null sink, for the sound tests and the
# timing bench (no sound card needed). Source it; it defines:
#   sound_server_start    makes a private runtime folder, exports PULSE_SERVER
#                         and the paths PulseAudio would otherwise keep in the
#                         home folder, starts the server with the null sink
#                         "vovozodo_null" as default and a quiet keep-alive
#                         stream; returns 1 when the server does not come up
#                         (its log is then in $SOUND_SERVER_RUNTIME/server.log)
#   sound_server_stop     stops both and removes the runtime folder; harmless
#                         when nothing was started, so it can run from a trap
#   SOUND_SERVER_RUNTIME  the runtime folder
# With SOUND_SERVER_KEEPALIVE=0 in the environment no keep-alive stream runs:
# a plain null sink at its idle latency, to check that the tests pass there too.
# The server runs in its own runtime folder, so a desktop's own sound server
# is neither used nor disturbed.
# shellcheck shell=bash

SOUND_SERVER_RUNTIME=
sound_server_keepalive_pid=

sound_server_stop() {
    if [ -n "$sound_server_keepalive_pid" ]; then
        kill "$sound_server_keepalive_pid" 2>/dev/null || true
        wait "$sound_server_keepalive_pid" 2>/dev/null || true
        sound_server_keepalive_pid=
    fi
    [ -n "$SOUND_SERVER_RUNTIME" ] || return 0
    if [ -f "$SOUND_SERVER_RUNTIME/pulse/pid" ]; then
        local server_pid
        server_pid=$(cat "$SOUND_SERVER_RUNTIME/pulse/pid")
        kill "$server_pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$server_pid" 2>/dev/null || break
            sleep 0.1
        done
    fi
    rm -rf -- "$SOUND_SERVER_RUNTIME"
    SOUND_SERVER_RUNTIME=
}

sound_server_start() {
    local runtime
    runtime=$(mktemp -d)
    chmod 700 "$runtime"
    SOUND_SERVER_RUNTIME=$runtime

    # Everything PulseAudio would keep in the home folder goes to the runtime folder.
    export XDG_RUNTIME_DIR=$runtime
    export PULSE_RUNTIME_PATH=$runtime/pulse
    export PULSE_STATE_PATH=$runtime/state
    export PULSE_COOKIE=$runtime/cookie
    export PULSE_SERVER=unix:$runtime/pulse/native
    unset PULSE_SINK

    # -n: none of the system's default modules (no hardware, no session bus).
    # norewinds=1: the monitor would otherwise lose the start of a new stream
    # whenever the sink rewrites what it had already mixed.
    pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=stderr \
        -L "module-native-protocol-unix socket=$runtime/pulse/native auth-cookie=$PULSE_COOKIE" \
        -L "module-null-sink sink_name=vovozodo_null norewinds=1" 2>"$runtime/server.log" ||
        return 1
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl set-default-sink vovozodo_null || return 1
    # An idle null sink runs at about two seconds' latency, which makes every
    # new stream start up to that late. A quiet stream kept running holds it low:
    # asking for 10 ms, the sink mixes in blocks of 2.5 ms. Without rewinds a
    # sound that starts waits for the block already mixed, where a card would
    # rewind and start it at once; 2.5 ms keeps that wait under what a
    # listener could tell apart.
    [ "${SOUND_SERVER_KEEPALIVE:-1}" != 0 ] || return 0
    pacat -p --latency-msec=10 --raw </dev/zero >/dev/null 2>&1 &
    sound_server_keepalive_pid=$!
}
