#pragma once

#include "lessons/lesson_text.h"

#include <QStringList>

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
    qint64 shiftMs = 0;
    QString labels;
    QString preview;
    bool normalize = false;
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
// bad input (nothing is then written), Interrupted on Ctrl-C. What was mended
// on the way (empty cues, subtitles far from any pause) goes to `notes`.
MadeLesson makeLesson(const MakeOptions &options, QStringList &notes);

// The single gain (linear) that brings `integratedLufs` to the speech target
// without a true peak over the ceiling.
double normalizingGain(double integratedLufs, double truePeakDb);

} // namespace vovozodo
