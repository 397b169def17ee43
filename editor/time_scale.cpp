#include "editor/time_scale.h"

#include <algorithm>
#include <cmath>

namespace vovozodo {

TimeScale::TimeScale(qint64 totalSamples, int sampleRate, int width)
    : m_total(std::max<qint64>(totalSamples, 1)), m_sampleRate(std::max(sampleRate, 1)),
      m_width(std::max(width, 1)) {
    apply(0);
}

qint64 TimeScale::visibleSamples() const {
    return qint64(std::ceil(m_samplesPerPixel * m_width));
}

qint64 TimeScale::sampleAt(double x) const {
    return std::clamp<qint64>(m_first + qint64(std::floor(x * m_samplesPerPixel)), 0, m_total);
}

void TimeScale::setWidth(int width) {
    m_width = std::max(width, 1);
    apply(m_step);
}

void TimeScale::setTotalSamples(qint64 totalSamples) {
    m_total = std::max<qint64>(totalSamples, 1);
    apply(m_step);
}

void TimeScale::apply(int step) {
    const double whole = double(m_total) / m_width;
    // Before the recording's rate is known, the whole view is the only one.
    const double closest =
        m_sampleRate > 0 ? double(m_sampleRate) / 100.0 / kPixelsPerFrame : whole;
    // Half octaves from the whole recording to the closest view.
    m_maxStep = whole > closest ? int(std::ceil(2.0 * std::log2(whole / closest))) : 0;
    m_step = std::clamp(step, 0, m_maxStep);
    m_samplesPerPixel = std::max(closest, whole / std::exp2(m_step / 2.0));
    scrollTo(m_first);
}

void TimeScale::zoom(int steps, double anchorX) {
    const double anchored = double(m_first) + anchorX * m_samplesPerPixel;
    apply(m_step + steps);
    scrollTo(qint64(std::llround(anchored - anchorX * m_samplesPerPixel)));
}

void TimeScale::scrollTo(qint64 firstSample) {
    m_first = std::clamp<qint64>(firstSample, 0, std::max<qint64>(0, m_total - visibleSamples()));
}

void TimeScale::ensureVisible(qint64 sample, int marginPixels) {
    const auto margin = qint64(marginPixels * m_samplesPerPixel);
    if (sample < m_first + margin)
        scrollTo(sample - margin);
    else if (sample > m_first + visibleSamples() - margin)
        scrollTo(sample + margin - visibleSamples());
}

} // namespace vovozodo
