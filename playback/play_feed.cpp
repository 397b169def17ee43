#include "playback/play_feed.h"

#include "playback/pulse_stream.h"

#include <algorithm>

namespace vovozodo {

namespace {

// At most this much is decoded per read, whatever the stream asks for: one
// request of the stream is one write to it.
constexpr PlayFeed::Frames kBlockFrames = 16384;

} // namespace

void PlayFeed::begin(WaveFile &file, Frames frames) {
    m_file = &file;
    m_left = frames;
}

bool PlayFeed::writeTo(PulseStream &stream, qint64 bytes) {
    const qint64 frameBytes = m_file->frameBytes();
    const auto channels = std::size_t(m_file->channels());
    for (Frames room = bytes / frameBytes; room > 0;) {
        const Frames frames = std::min(room, kBlockFrames);
        m_block.resize(std::size_t(frames) * channels);
        Frames fromFile = 0;
        if (m_left > 0) {
            const Frames asked = std::min(frames, m_left);
            fromFile = m_file->read(m_block.data(), asked);
            m_left -= fromFile;
            if (fromFile < asked)
                return false;
        }
        std::fill(m_block.begin() + std::ptrdiff_t(std::size_t(fromFile) * channels), m_block.end(),
                  short(0));
        // A stream that fails says so itself.
        if (!stream.write(m_block.data(), frames * frameBytes))
            return true;
        room -= frames;
    }
    return true;
}

} // namespace vovozodo
