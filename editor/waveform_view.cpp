// The waveform's state: the recording and the draft it shows, the view's
// scale, the selected cut and the playhead.
#include "editor/waveform_view.h"

#include "editor/cut_accessibility.h"
#include "editor/lesson_document.h"
#include "editor/peak_pyramid.h"

#include <QAccessible>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vovozodo {

using namespace Qt::StringLiterals;

WaveformView::WaveformView(QWidget *parent) : QWidget(parent) {
    // Before anything below announces the view to assistive technology: the
    // interface made then is kept for the view's life, and without the factory
    // it would be a plain widget's, with no cuts in it.
    installCutAccessibility();
    setObjectName(u"waveform"_s);
    setAccessibleName(u"Waveform"_s);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumHeight(120);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

WaveformView::~WaveformView() = default;

void WaveformView::setRecording(const PeakPyramid *pyramid, qint64 totalSamples, int sampleRate) {
    m_pyramid = pyramid;
    m_sampleRate = sampleRate;
    m_scale = TimeScale(totalSamples, sampleRate, width());
    m_tiles.clear();
    m_selectedCut = -1;
    m_playhead = -1;
    changed();
}

void WaveformView::peaksGrew() {
    // A recording that does not say its length grows as it is decoded.
    if (m_pyramid && m_pyramid->frames() > m_scale.totalSamples()) {
        m_scale.setTotalSamples(m_pyramid->frames());
        changed();
        return;
    }
    update();
}

void WaveformView::setDocument(LessonDocument *document) {
    if (m_document)
        disconnect(m_document, nullptr, this, nullptr);
    m_document = document;
    if (document)
        connect(document, &LessonDocument::changed, this, [this] {
            const qsizetype cuts = m_document->draft().cutCount();
            if (m_selectedCut >= cuts)
                m_selectedCut = cuts - 1;
            if (cuts != m_announcedCuts)
                announceCutCount(this, std::exchange(m_announcedCuts, cuts), cuts);
            announceSelectedCut();
            update();
        });
    update();
}

void WaveformView::announceSelectedCut() {
    if (!QAccessible::isActive() || m_selectedCut < 0)
        return;
    if (QAccessibleInterface *cut =
            QAccessible::queryAccessibleInterface(this)->child(int(m_selectedCut))) {
        QAccessibleValueChangeEvent event(cut, m_document->draft().cut(m_selectedCut) * 1000 /
                                                   std::max(m_sampleRate, 1));
        QAccessible::updateAccessibility(&event);
    }
}

void WaveformView::changed() {
    update();
    emit viewChanged();
}

void WaveformView::scrollToSample(qint64 firstSample) {
    m_scale.scrollTo(firstSample);
    changed();
}

void WaveformView::zoom(int steps, double anchorX) {
    m_scale.zoom(steps, anchorX);
    changed();
}

void WaveformView::zoom(int steps) {
    // At the selected cut when it is in view, else at the middle.
    double anchor = width() / 2.0;
    if (m_selectedCut >= 0) {
        const double x = m_scale.xOf(cutPosition(m_selectedCut));
        if (x >= 0 && x <= width())
            anchor = x;
    }
    zoom(steps, anchor);
}

void WaveformView::selectCut(qsizetype cut) {
    if (!m_document || cut < 0 || cut >= m_document->draft().cutCount())
        cut = -1;
    m_selectedCut = cut;
    if (cut >= 0) {
        m_scale.ensureVisible(cutPosition(cut), width() / 8);
        emit cutSelected(cut);
    }
    changed();
}

void WaveformView::setPlayhead(qint64 sample, bool follow) {
    m_playhead = sample;
    if (follow && sample >= 0) {
        const qint64 first = m_scale.firstSample();
        m_scale.ensureVisible(sample, width() / 10);
        if (m_scale.firstSample() != first) {
            changed();
            return;
        }
    }
    update();
}

qint64 WaveformView::cutPosition(qsizetype cut) const {
    if (cut == m_draggedCut)
        return m_dragAt;
    return m_document->draft().cut(cut);
}

qsizetype WaveformView::cutNear(double x) const {
    if (!m_document)
        return -1;
    qsizetype best = -1;
    double bestDistance = kGrabPixels + 1;
    for (qsizetype k = 0; k < m_document->draft().cutCount(); ++k) {
        const double distance = std::abs(m_scale.xOf(m_document->draft().cut(k)) - x);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = k;
        }
    }
    return best;
}

} // namespace vovozodo
