#pragma once

#include <QtGlobal>

#include <vector>

namespace vovozodo {

// The lowest and highest sample of a stretch, in 1/127 of full scale.
struct Peak {
    qint8 low = 0;
    qint8 high = 0;
};

// Turns decoded sound into one Peak per kBlockFrames frames of the mono mix.
// Runs where the decoding runs; the finished blocks go to a PeakPyramid.
class PeakBlocks {
public:
    static constexpr int kBlockFrames = 32;

    // Appends the peaks of every block that `frames` frames complete to `out`.
    void add(const float *interleaved, qint64 frames, int channels, std::vector<Peak> &out);
    // The block still open at the end of the recording, if any.
    void finish(std::vector<Peak> &out);

private:
    float m_low = 0;
    float m_high = 0;
    int m_inBlock = 0;
};

// Peaks of a recording at every scale the waveform is drawn at: level 0 holds a
// Peak per PeakBlocks::kBlockFrames frames, each level above one per kFactor
// blocks of the level below. Grows as blocks arrive, so the waveform can be
// drawn while the recording is still being decoded. Two bytes per 32 frames:
// three hours at 48 kHz take about 40 MB.
class PeakPyramid {
public:
    static constexpr int kFactor = 4;

    void clear();
    void append(const Peak *blocks, qsizetype count);
    // Frames covered by whole blocks so far.
    qint64 frames() const { return qint64(blockCount()) * PeakBlocks::kBlockFrames; }
    qsizetype blockCount() const { return m_levels.empty() ? 0 : qsizetype(m_levels[0].size()); }
    // Lowest and highest over the frames [first, last), from the coarsest level
    // whose blocks are no longer than the stretch; {0, 0} when
    // nothing of it has arrived.
    Peak range(qint64 first, qint64 last) const;
    std::size_t bytes() const;

private:
    std::vector<std::vector<Peak>> m_levels;
};

} // namespace vovozodo
