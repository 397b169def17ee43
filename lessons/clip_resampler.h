#pragma once

#include "handles/ffmpeg_handles.h"

#include <QtGlobal>

#include <vector>

namespace vovozodo {

// The rate clips of a recording at `sourceRate` are written at: the source's
// own when the player plays it (library/playable_sound.h); below that range
// 8000 Hz, its lowest rate, which loses nothing of such a recording; above it
// 48000 Hz, which keeps all of speech at a quarter of the size of 192000 Hz.
int clipSampleRate(int sourceRate);

// FFmpeg's resampler for one clip: interleaved float frames in at one rate,
// out at another. Throws InputError when FFmpeg refuses the conversion.
class ClipResampler {
public:
    ClipResampler(int channels, int fromRate, int toRate);
    ClipResampler(const ClipResampler &) = delete;
    ClipResampler &operator=(const ClipResampler &) = delete;

    // The frames converted so far from `frames` more input frames; valid until
    // the next call.
    const std::vector<float> &convert(const float *interleaved, qint64 frames);
    // What the resampler still holds, at the end of the clip.
    const std::vector<float> &finish();

private:
    const std::vector<float> &run(const float *interleaved, qint64 frames);

    UniqueResampler m_context;
    int m_channels;
    std::vector<float> m_out;
};

} // namespace vovozodo
