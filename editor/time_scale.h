#pragma once

#include <QtGlobal>

namespace vovozodo {

// Where each sample of a recording is drawn in a view of `width` pixels. Zoom
// goes in discrete steps of a half octave from the whole recording down to one
// 10 ms frame across kPixelsPerFrame pixels, so that a step taken and taken
// back lands on the same scale and cached drawings of that scale serve again.
class TimeScale {
public:
    static constexpr int kPixelsPerFrame = 64;

    TimeScale() = default;
    TimeScale(qint64 totalSamples, int sampleRate, int width);

    qint64 totalSamples() const { return m_total; }
    int width() const { return m_width; }
    // 0 is the whole recording; higher steps show less.
    int zoomStep() const { return m_step; }
    int maxZoomStep() const { return m_maxStep; }
    double samplesPerPixel() const { return m_samplesPerPixel; }
    // The sample at the left edge.
    qint64 firstSample() const { return m_first; }
    qint64 visibleSamples() const;

    double xOf(qint64 sample) const { return double(sample - m_first) / m_samplesPerPixel; }
    qint64 sampleAt(double x) const;

    void setWidth(int width);
    void setTotalSamples(qint64 totalSamples);
    // Zooms by `steps` (positive: closer), keeping the sample under `anchorX` in place.
    void zoom(int steps, double anchorX);
    void scrollTo(qint64 firstSample);
    // Scrolls as little as needed to show `sample`, with `marginPixels` to spare.
    void ensureVisible(qint64 sample, int marginPixels);

private:
    void apply(int step);

    qint64 m_total = 1; // never 0: it divides
    int m_sampleRate = 0;
    int m_width = 1;
    int m_step = 0;
    int m_maxStep = 0;
    double m_samplesPerPixel = 1;
    qint64 m_first = 0;
};

} // namespace vovozodo
