// Drawing the waveform: tiles of peaks cached per zoom step, then the pauses,
// the clips, the cuts and the playhead over them.
#include "editor/lesson_document.h"
#include "editor/peak_pyramid.h"
#include "editor/realign.h"
#include "editor/waveform_view.h"

#include <QPainter>

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
    // Tiles wholly past what is decoded so far hold nothing yet: drawing them
    // on every delivery of a long decode would cost more than the decode.
    const qint64 decoded = m_pyramid ? m_pyramid->frames() : 0;
    for (qint64 index = firstTile; double(index * kTileWidth) - origin < width() &&
                                   double(index * kTileWidth) * spp < double(decoded);
         ++index)
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

} // namespace vovozodo
