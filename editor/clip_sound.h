#pragma once

#include <QString>

#include <vector>

namespace vovozodo {

// Sound of a stretch of the recording as the lesson will hold it: mono or
// stereo as the writer makes it, 16-bit, with its 5 ms fades when it is a
// whole clip.
struct ClipSound {
    int sampleRate = 0;
    int channels = 0;
    qint64 first = 0;   // the recording's sample the sound starts at
    double tempo = 1.0; // each sample heard covers this many of the recording's
    std::vector<qint16> samples;
};

// Decodes `path` up to `last` and keeps [first, last). Throws InputError.
ClipSound renderStretch(const QString &path, qint64 first, qint64 last, bool fades);

// `sound` slowed to `tempo` with its pitch kept, as a slowed copy of the lesson
// holds it; its `tempo` maps what is heard back to the recording.
ClipSound slowedDown(const ClipSound &sound, double tempo);

} // namespace vovozodo
