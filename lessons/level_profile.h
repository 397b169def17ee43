#pragma once

#include <QtGlobal>

#include <optional>
#include <vector>

namespace vovozodo {

class Progress;
class Recording;

// The analysis frame every part of the lesson maker counts in: the level is
// measured, pauses are found and sentences are timed in frames of this length.
inline constexpr int kLevelFrameMs = 10;
inline constexpr int kLevelFramesPerSecond = 1000 / kLevelFrameMs;

// Analysis frames in `ms` milliseconds (rounded down).
constexpr qint64 levelFramesIn(qint64 ms) {
    return ms / kLevelFrameMs;
}

// What one decoding pass keeps of a recording: its level every analysis frame
// and, when asked, its loudness. A few bytes a frame, so hours of sound fit in a
// few megabytes and the samples themselves are never held.
struct LevelProfile {
    int sampleRate = 0;
    int channels = 0;
    qint64 totalFrames = 0;
    // Samples per analysis frame.
    int hop = 0;
    // Level of each analysis frame in hundredths of a dB below full scale
    // (mono mix, mean square), -10000 for digital silence.
    std::vector<qint16> centiDb;
    // Integrated loudness (LUFS) and true peak (dBTP) of the whole recording.
    std::optional<double> integratedLufs;
    std::optional<double> truePeakDb;

    double levelDb(std::size_t frame) const { return centiDb[frame] / 100.0; }
    qsizetype frameCount() const { return qsizetype(centiDb.size()); }
    double seconds(double frame) const { return frame * hop / sampleRate; }
};

// Decodes `recording` to its end. Throws InputError when it holds no sound,
// Interrupted on Ctrl-C.
LevelProfile measureLevels(Recording &recording, bool measureLoudness, Progress &progress);

} // namespace vovozodo
