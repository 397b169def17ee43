#include "editor/waveform_view.h"

#include "editor/cut_accessibility.h"
#include "editor/lesson_document.h"
#include "editor/peak_pyramid.h"
#include "editor/realign.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

const QColor kBackground(0x1e, 0x22, 0x28);
const QColor kWave(0x7f, 0xc8, 0xf8);
const QColor kPause(255, 255, 255, 22);
const QColor kTrouble(0xe0, 0x40, 0x40, 60);
const QColor kCut(0xf0, 0xc0, 0x40);
const QColor kSelectedCut(0xff, 0x70, 0x30);
const QColor kSpeechBand(0x60, 0x90, 0x60);
const QColor kPaddingBand(0x40, 0x60, 0x40);
const QColor kPlayhead(0xff, 0xff, 0xff);
constexpr int kBandHeight = 6;
constexpr int kLabelHeight = 18;

} // namespace

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
            if (m_selectedCut >= m_document->draft().cutCount())
                m_selectedCut = m_document->draft().cutCount() - 1;
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

const QImage &WaveformView::tile(qint64 index) {
    if (m_tilesStep != m_scale.zoomStep()) {
        m_tiles.clear();
        m_tilesStep = m_scale.zoomStep();
    }
    // A bound on memory: a long session of scrolling must not keep every tile.
    if (m_tiles.size() > 512)
        m_tiles.clear();
    Tile &cached = m_tiles[quint64(index)];
    const qint64 framesNow = m_pyramid ? m_pyramid->frames() : 0;
    const double spp = m_scale.samplesPerPixel();
    const auto tileEnd = qint64(double((index + 1) * kTileWidth) * spp);
    const bool stale = cached.framesDrawn < std::min(tileEnd, framesNow);
    if (!cached.image.isNull() && !stale)
        return cached.image;
    QImage image(kTileWidth, height(), QImage::Format_RGB32);
    image.fill(kBackground);
    // Straight into the pixels: a column per pixel, drawn as a run of rows, is
    // many times quicker than a line through the painter.
    const double middle = height() / 2.0;
    const double amplitude = (height() - 2.0 * (kBandHeight + kLabelHeight)) / 2.0 / 127.0;
    const QRgb wave = kWave.rgb();
    for (int x = 0; x < kTileWidth && m_pyramid; ++x) {
        const double column = double(index * kTileWidth + x);
        const auto first = qint64(column * spp);
        const auto last = std::max(first + 1, qint64((column + 1) * spp));
        if (first >= framesNow)
            break;
        const Peak peak = m_pyramid->range(first, last);
        const int top = std::clamp(int(middle - peak.high * amplitude), 0, height() - 1);
        const int bottom = std::clamp(int(middle - peak.low * amplitude), top, height() - 1);
        for (int y = top; y <= bottom; ++y)
            reinterpret_cast<QRgb *>(image.scanLine(y))[x] = wave;
    }
    cached.image = image;
    cached.framesDrawn = std::min(tileEnd, framesNow);
    return cached.image;
}

void WaveformView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const double spp = m_scale.samplesPerPixel();
    // Tiles sit on a grid of whole pixels from the recording's start.
    const double origin = double(m_scale.firstSample()) / spp;
    const auto firstTile = qint64(std::floor(origin / kTileWidth));
    for (qint64 index = firstTile; double(index * kTileWidth) - origin < width(); ++index)
        painter.drawImage(QPointF(std::round(double(index * kTileWidth) - origin), 0), tile(index));
    paintOverlay(painter);
}

void WaveformView::paintOverlay(QPainter &painter) {
    const int h = height();
    const auto xOf = [this](qint64 sample) { return m_scale.xOf(sample); };
    const auto visible = [this](double a, double b) { return b >= 0 && a <= width(); };
    if (!m_document || m_document->isEmpty()) {
        if (m_playhead >= 0)
            painter.fillRect(QRectF(xOf(m_playhead), 0, 1, h), kPlayhead);
        return;
    }
    const SpeechGuide &guide = m_document->guide();
    const auto shade = [&](const Pause &pause) {
        const auto [first, last] = guide.pauseSamples(pause);
        if (visible(xOf(first), xOf(last)))
            painter.fillRect(QRectF(xOf(first), kLabelHeight + kBandHeight, xOf(last) - xOf(first),
                                    h - 2 * (kLabelHeight + kBandHeight)),
                             kPause);
    };
    shade(guide.speech().leading);
    for (const Pause &pause : guide.speech().pauses)
        shade(pause);
    shade(guide.speech().trailing);
    // A second either side of where text and speech part, while it is marked.
    for (const MisfitMark &mark : m_document->draft().misfits) {
        const double first = xOf(mark.at - m_sampleRate);
        const double last = xOf(mark.at + m_sampleRate);
        if (visible(first, last))
            painter.fillRect(QRectF(first, 0, last - first, h), kTrouble);
    }

    // Each clip as it will be saved: lead-in and tail lighter than the speech.
    const LessonDraft &draft = m_document->draft();
    std::vector<SentenceSpan> spans = draft.spans;
    if (m_draggedCut >= 0) {
        spans[std::size_t(m_draggedCut)].limitAfter = m_dragAt;
        spans[std::size_t(m_draggedCut) + 1].limitBefore = m_dragAt;
    }
    const std::vector<Clip> clips = padSpans(spans, std::max(m_sampleRate, 1));
    const std::vector<bool> misfits = lengthMisfits(draft);
    const QFontMetrics metrics(font());
    for (std::size_t i = 0; i < clips.size(); ++i) {
        const double start = xOf(clips[i].start);
        const double end = xOf(clips[i].end);
        if (!visible(start, end))
            continue;
        const double speechStart = xOf(std::max(spans[i].speechStart, clips[i].start));
        const double speechEnd = xOf(std::min(spans[i].speechEnd, clips[i].end));
        const double bandY = h - kBandHeight;
        painter.fillRect(QRectF(start, bandY, end - start, kBandHeight), kPaddingBand);
        painter.fillRect(QRectF(speechStart, bandY, speechEnd - speechStart, kBandHeight),
                         kSpeechBand);
        // Laying out text is the dearest part of a repaint: none where it would not fit.
        const double room = std::max(0.0, end - std::max(start, 0.0) - 4);
        if (room < 3 * metrics.averageCharWidth())
            continue;
        const QString label = QString::number(i + 1) + (misfits[i] ? u" \u26a0 "_s : u" "_s) +
                              draft.sentences[qsizetype(i)];
        painter.setPen(misfits[i] ? QColor(0xff, 0x90, 0x80) : QColor(Qt::white));
        painter.drawText(QPointF(std::max(start, 0.0) + 3, metrics.ascent() + 2),
                         metrics.elidedText(label, Qt::ElideRight, int(room)));
    }
    for (qsizetype k = 0; k < draft.cutCount(); ++k) {
        const double x = xOf(cutPosition(k));
        if (x < -2 || x > width() + 2)
            continue;
        const bool selected = k == m_selectedCut;
        painter.fillRect(QRectF(x - (selected ? 1 : 0.5), 0, selected ? 3 : 1, h),
                         selected ? kSelectedCut : kCut);
    }
    if (m_snapGuide) {
        QPen dashed(kSelectedCut, 1, Qt::DashLine);
        painter.setPen(dashed);
        const double x = xOf(*m_snapGuide);
        painter.drawLine(QPointF(x, 0), QPointF(x, h));
    }
    if (m_playhead >= 0)
        painter.fillRect(QRectF(xOf(m_playhead), 0, 1, h), kPlayhead);
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight().color(), 1));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

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
