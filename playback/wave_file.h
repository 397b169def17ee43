#pragma once

#include "handles/sndfile_handles.h"
#include "handles/unique_fd.h"

#include <QtGlobal>

#include <cstdint>
#include <memory>

class QString;

namespace vovozodo {

// An open wave file decoded by libsndfile into 16-bit frames, block by block:
// only what is asked for is ever in memory. Files that are not recordings a
// lesson could hold (not a regular file, not wave audio, more than two
// channels, an unlikely sample rate) are refused at open.
class WaveFile {
public:
    using Frames = std::int64_t;

    ~WaveFile() = default;
    WaveFile(const WaveFile &) = delete;
    WaveFile &operator=(const WaveFile &) = delete;

    // nullptr when the file cannot be played.
    static std::unique_ptr<WaveFile> open(const QString &nativePath);

    int channels() const { return m_channels; }
    int sampleRate() const { return m_sampleRate; }
    Frames frames() const { return m_frames; }
    qint64 frameBytes() const { return qint64(m_channels) * qint64(sizeof(short)); }

    // Moves the next read to `frame`; false when that fails.
    bool seek(Frames frame);
    // Reads up to `frames` frames into `out`; fewer at the end of the file or
    // on a read error.
    Frames read(short *out, Frames frames);

private:
    WaveFile() = default;
    bool reopen();

    // Declared first, gone last: libsndfile only borrows the descriptor.
    UniqueFd m_fd;
    UniqueSndfile m_sndfile;
    int m_channels = 0;
    int m_sampleRate = 0;
    int m_format = 0;
    bool m_seekable = false;
    Frames m_frames = 0;
    Frames m_readFrames = 0; // where the next read starts
};

} // namespace vovozodo
