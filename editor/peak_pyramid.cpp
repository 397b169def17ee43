#include "editor/peak_pyramid.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace vovozodo {

namespace {

qint8 scaled(float value) {
    return qint8(std::lround(std::clamp(value, -1.0f, 1.0f) * 127.0f));
}

Peak merged(Peak a, Peak b) {
    return {std::min(a.low, b.low), std::max(a.high, b.high)};
}

} // namespace

void PeakBlocks::add(const float *interleaved, qint64 frames, int channels,
                     std::vector<Peak> &out) {
    for (qint64 f = 0; f < frames; ++f) {
        float mono = 0;
        for (int c = 0; c < channels; ++c)
            mono += *interleaved++;
        mono /= float(channels);
        if (m_inBlock == 0) {
            m_low = m_high = mono;
        } else {
            m_low = std::min(m_low, mono);
            m_high = std::max(m_high, mono);
        }
        if (++m_inBlock == kBlockFrames) {
            out.push_back({scaled(m_low), scaled(m_high)});
            m_inBlock = 0;
        }
    }
}

void PeakBlocks::finish(std::vector<Peak> &out) {
    if (m_inBlock > 0)
        out.push_back({scaled(m_low), scaled(m_high)});
    m_inBlock = 0;
}

void PeakPyramid::clear() {
    m_levels.clear();
}

void PeakPyramid::append(const Peak *blocks, qsizetype count) {
    if (m_levels.empty())
        m_levels.emplace_back();
    for (qsizetype i = 0; i < count; ++i) {
        m_levels[0].push_back(blocks[i]);
        // Each completed group of kFactor becomes one block of the level above.
        for (std::size_t level = 0; m_levels[level].size() % kFactor == 0; ++level) {
            const std::vector<Peak> &below = m_levels[level];
            Peak group = below[below.size() - kFactor];
            for (std::size_t k = below.size() - kFactor + 1; k < below.size(); ++k)
                group = merged(group, below[k]);
            if (level + 1 == m_levels.size())
                m_levels.emplace_back();
            m_levels[level + 1].push_back(group);
        }
    }
}

Peak PeakPyramid::range(qint64 first, qint64 last) const {
    first = std::max<qint64>(first, 0);
    last = std::min(last, frames());
    if (last <= first)
        return {};
    std::size_t level = 0;
    qint64 blockFrames = PeakBlocks::kBlockFrames;
    while (level + 1 < m_levels.size() && blockFrames * kFactor <= last - first) {
        blockFrames *= kFactor;
        ++level;
    }
    // A level above holds only complete groups: the recording's last frames are
    // found in the levels below.
    std::optional<Peak> result;
    qint64 from = first;
    for (;;) {
        const std::vector<Peak> &blocks = m_levels[level];
        const auto begin = std::size_t(from / blockFrames);
        const auto end =
            std::min(blocks.size(), std::size_t((last + blockFrames - 1) / blockFrames));
        for (std::size_t k = begin; k < end; ++k)
            result = result ? merged(*result, blocks[k]) : blocks[k];
        from = std::max<qint64>(from, qint64(blocks.size()) * blockFrames);
        if (from >= last || level == 0)
            break;
        --level;
        blockFrames /= kFactor;
    }
    return result.value_or(Peak{});
}

std::size_t PeakPyramid::bytes() const {
    std::size_t total = 0;
    for (const std::vector<Peak> &level : m_levels)
        total += level.capacity() * sizeof(Peak);
    return total;
}

} // namespace vovozodo
