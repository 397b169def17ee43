#pragma once

#include <QString>

#include <memory>

namespace vovozodo {

// A recording decoded as a stream of interleaved float frames. Sample k of
// the stream plays at k / sampleRate() seconds on the file's own timeline, the
// one subtitle times refer to: a container whose sound starts late is padded
// with silence at the front, priming the decoder drops is left out.
class Recording {
public:
    virtual ~Recording() = default;
    int sampleRate() const { return m_sampleRate; }
    int channels() const { return m_channels; }
    // About how many frames the stream holds (for progress; MP3 and container
    // lengths are estimates), or -1 when the file does not say.
    qint64 framesHint() const { return m_framesHint; }

    // Up to `frames` frames into `interleaved`; 0 at the end. Throws
    // InputError when the file turns out to be broken part-way.
    virtual qint64 read(float *interleaved, qint64 frames) = 0;

protected:
    int m_sampleRate = 0;
    int m_channels = 0;
    qint64 m_framesHint = -1;
};

// Opens WAV, FLAC, Ogg Vorbis/Opus and MP3 through libsndfile, and M4A/AAC
// and the sound of MP4, MKV and WebM files through FFmpeg. Throws InputError
// naming the file and both decoders' reasons when neither opens it.
std::unique_ptr<Recording> openRecording(const QString &path);

} // namespace vovozodo
