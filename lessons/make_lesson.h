#pragma once

#include "lessons/lesson_text.h"

#include <QStringList>

#include <optional>

namespace vovozodo {

struct MakeOptions {
    QString library;
    int lesson = 0;
    QString audio;
    // Exactly one of the two.
    QString transcript;
    QString subtitles;
    QString title; // empty: the recording's file name without its extension
    bool replace = false;
    TextEncoding scriptEncoding = TextEncoding::Gb18030;
    TextEncoding textEncoding = TextEncoding::Detect;
    // Given: every subtitle time moved by this much, and no offset looked for.
    std::optional<qint64> shiftMs;
    QString labels;
    QString preview;
    bool normalize = false;
    // Below 1: the clips slowed to this speed, pitch kept; the label track and
    // the preview keep the recording's own times.
    double tempo = 1.0;
    bool quiet = false;
};

struct MadeLesson {
    QString folder;
    qsizetype sentences = 0;
    double seconds = 0;
};

// Loudness the clips are brought to with --normalize, and the ceiling no peak passes.
inline constexpr double kSpeechTargetLufs = -18.0;
inline constexpr double kTruePeakCeilingDb = -1.0;

// Makes lesson `options.lesson` of `options.library`. Throws InputError for
// bad input, SystemError when the system fails (disk full), Interrupted on
// Ctrl-C; nothing is then in place. What was mended or applied on the way
// (empty cues, subtitles moved to the speech, leftovers of killed runs
// removed) goes to `notes`. The label track and the preview are written only
// once the lesson is in place; failing then is a SystemError.
MadeLesson makeLesson(const MakeOptions &options, QStringList &notes);

// The single gain (linear) that brings `integratedLufs` to the speech target
// without a true peak over the ceiling.
double normalizingGain(double integratedLufs, double truePeakDb);

} // namespace vovozodo
