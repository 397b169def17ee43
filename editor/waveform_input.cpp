// The waveform under the mouse, the wheel and the keys: dragging cuts with
// snapping, zooming at the pointer, Tab through the cuts, arrows to move one.
#include "editor/lesson_document.h"
#include "editor/waveform_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

namespace vovozodo {

void WaveformView::resizeEvent(QResizeEvent *) {
    m_scale.setWidth(width());
    m_tiles.clear();
    changed();
}

void WaveformView::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || !m_document)
        return;
    const double x = event->position().x();
    const qsizetype cut = cutNear(x);
    if (cut >= 0) {
        m_draggedCut = cut;
        m_dragAt = m_document->draft().cut(cut);
        m_selectedCut = cut;
        emit cutSelected(cut);
    } else {
        const qint64 sample = m_scale.sampleAt(x);
        m_playhead = sample;
        const qsizetype sentence = m_document->draft().sentenceAt(sample);
        if (sentence >= 0)
            emit sentenceClicked(sentence);
    }
    update();
}

void WaveformView::mouseMoveEvent(QMouseEvent *event) {
    if (!m_document || m_draggedCut < 0) {
        setCursor(cutNear(event->position().x()) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
        return;
    }
    const LessonDraft &draft = m_document->draft();
    const qint64 at = std::clamp(m_scale.sampleAt(event->position().x()),
                                 draft.lowestCut(m_draggedCut), draft.highestCut(m_draggedCut));
    m_snapGuide.reset();
    if (!(event->modifiers() & Qt::ShiftModifier)) {
        const qint64 snapped = m_document->snapped(at);
        if (snapped != at)
            m_snapGuide = snapped;
    }
    m_dragAt = m_snapGuide.value_or(at);
    update();
}

void WaveformView::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || m_draggedCut < 0)
        return;
    const qsizetype cut = m_draggedCut;
    const qint64 at = m_dragAt;
    m_draggedCut = -1;
    m_snapGuide.reset();
    if (m_document && at != m_document->draft().cut(cut))
        m_document->moveCut(cut, at);
    update();
}

void WaveformView::wheelEvent(QWheelEvent *event) {
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = delta.y() / 120;
        if (steps != 0)
            zoom(steps, event->position().x());
    } else {
        const int notch = delta.y() != 0 ? delta.y() : delta.x();
        const auto shift = qint64(-notch / 120.0 * width() / 8 * m_scale.samplesPerPixel());
        scrollToSample(m_scale.firstSample() + shift);
    }
    event->accept();
}

bool WaveformView::focusNextPrevChild(bool next) {
    // Tab walks the cuts; past the last it leaves the waveform.
    if (!m_document)
        return QWidget::focusNextPrevChild(next);
    const qsizetype cut = m_selectedCut + (next ? 1 : -1);
    if (m_selectedCut >= 0 && (cut < 0 || cut >= m_document->draft().cutCount()))
        return QWidget::focusNextPrevChild(next);
    selectCut(m_selectedCut < 0 ? (next ? 0 : m_document->draft().cutCount() - 1) : cut);
    return true;
}

void WaveformView::keyPressEvent(QKeyEvent *event) {
    if (!m_document || m_selectedCut < 0 ||
        (event->key() != Qt::Key_Left && event->key() != Qt::Key_Right)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int direction = event->key() == Qt::Key_Right ? 1 : -1;
    const qint64 at = m_document->draft().cut(m_selectedCut);
    if (event->modifiers() & Qt::ControlModifier) {
        if (const std::optional<qint64> pause = m_document->guide().nextPause(at, direction))
            m_document->moveCut(m_selectedCut, *pause);
    } else {
        const qint64 step = (event->modifiers() & Qt::ShiftModifier) ? 100 : 10;
        m_document->moveCut(m_selectedCut, at + direction * m_document->guide().samplesOfMs(step),
                            true);
    }
    m_scale.ensureVisible(m_document->draft().cut(m_selectedCut), width() / 8);
    changed();
}

} // namespace vovozodo
