#pragma once

#include "playback/wave_file.h"

#include <vector>

namespace vovozodo {

class PulseStream;

// What a play writes to the stream: the recording's frames from where the
// play starts to its end, then silence for as long as the stream takes more.
// The silence keeps the stream's clock running until it has passed the last
// real sample. Decoded a block at a time, so memory does not grow with the
// length of a file.
class PlayFeed {
public:
    using Frames = WaveFile::Frames;

    // `frames` frames of `file` from its next read on.
    void begin(WaveFile &file, Frames frames);
    Frames framesLeft() const { return m_left; }
    // Writes `bytes` (whole frames) to the stream; false when the file could
    // not be read as far as it promised.
    bool writeTo(PulseStream &stream, qint64 bytes);

private:
    WaveFile *m_file = nullptr;
    Frames m_left = 0;
    std::vector<short> m_block;
};

} // namespace vovozodo
