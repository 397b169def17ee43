# Shared by bench/lessons-speed and bench/lessons-memory. Source it after
# scripts/lib/common.sh; it defines:
#   lessons_build              configures and builds vovozodo-lessons and the bench tools
#   lessons_speech DIR         speaks the sample issue's sentences into DIR/k.wav (+ k.txt)
#   lessons_recording MINUTES  prints the path of an MP3 of MINUTES made from them,
#                              with its transcript beside it (.txt); made once
# shellcheck shell=bash

LESSONS_DIR=${VOVOZODO_BENCH_BUILD_DIR:-build-bench}
LESSONS_WORK=$REPO/$LESSONS_DIR/lessons-bench

lessons_build() {
    ensure_packages "${BUILD_PACKAGES[@]}" lame time libwebrtc-audio-processing-dev
    cmake -S "$REPO" -B "$REPO/$LESSONS_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVOVOZODO_BUILD_BENCH=ON -DVOVOZODO_BUILD_TESTS=ON >/dev/null
    cmake --build "$REPO/$LESSONS_DIR" --target vovozodo-lessons bench_lessons_tool \
        bench_lessons_accuracy >/dev/null
    export LESSONS_TOOL=$REPO/$LESSONS_DIR/bench/bench_lessons_tool
    export LESSONS_PROGRAM=$REPO/$LESSONS_DIR/lessons/vovozodo-lessons
}

lessons_speech() {
    local out=$1 k=0 line
    [ -f "$out/done" ] && return 0
    mkdir -p "$out"
    while IFS= read -r line; do
        k=$((k + 1))
        printf '%s\n' "$line" >"$out/$k.txt"
        espeak-ng -v cmn -s 150 -w "$out/$k.wav" "$line"
    done < <(for f in "$REPO"/resources/lessons/t_*/script.txt; do
        iconv -f GB18030 -t UTF-8 "$f" | tr -d '\r' | tail -n +2 | sed -e 's/^ *//' -e '/^$/d'
    done)
    touch "$out/done"
}

lessons_recording() {
    local minutes=$1 stem=$LESSONS_WORK/recording-$1min
    if [ ! -f "$stem.mp3" ]; then
        lessons_speech "$LESSONS_WORK/speech" >&2
        "$LESSONS_TOOL" long "$minutes" "$LESSONS_WORK/speech" "$stem.wav" "$stem.txt"
        lame --quiet -b 64 "$stem.wav" "$stem.part.mp3"
        mv "$stem.part.mp3" "$stem.mp3"
        rm -f "$stem.wav"
    fi
    printf '%s\n' "$stem"
}
