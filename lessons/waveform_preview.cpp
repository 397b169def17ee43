#include "lessons/waveform_preview.h"

#include "lessons/input_error.h"
#include "lessons/level_profile.h"
#include "lessons/output_guard.h"

#include <QImage>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {
constexpr int kWidth = 1600;
constexpr int kHeight = 240;
constexpr int kMarginTop = 24;
} // namespace

void drawWaveformPreview(const QString &path, const LevelProfile &profile,
                         const std::vector<Clip> &clips) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(QColor(0xfa, 0xfa, 0xfa));
    QPainter painter(&image);
    const double samplesPerPixel = std::max(1.0, double(profile.totalFrames) / double(kWidth));
    const auto xOf = [&](qint64 sample) { return double(sample) / samplesPerPixel; };
    const int middle = kMarginTop + (kHeight - kMarginTop) / 2;
    const int half = (kHeight - kMarginTop) / 2 - 4;

    for (std::size_t k = 0; k < clips.size(); ++k) {
        const QRectF area(xOf(clips[k].start), kMarginTop, xOf(clips[k].end) - xOf(clips[k].start),
                          kHeight - kMarginTop);
        painter.fillRect(area, k % 2 ? QColor(0xe3, 0xee, 0xfa) : QColor(0xd3, 0xe5, 0xf7));
    }
    // The level of each pixel's loudest analysis frame, as an amplitude.
    painter.setPen(QColor(0x30, 0x50, 0x80));
    const qsizetype frames = profile.frameCount();
    for (int x = 0; x < kWidth; ++x) {
        const auto first = qsizetype(x * samplesPerPixel / profile.hop);
        const auto last = std::min(frames, qsizetype((x + 1) * samplesPerPixel / profile.hop) + 1);
        if (first >= frames)
            break;
        qint16 loudest = -10000;
        for (qsizetype f = first; f < last; ++f)
            loudest = std::max(loudest, profile.centiDb[std::size_t(f)]);
        const double amplitude = std::pow(10.0, loudest / 2000.0);
        const int extent = std::max(1, int(std::sqrt(amplitude) * half));
        painter.drawLine(x, middle - extent, x, middle + extent);
    }
    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    for (std::size_t k = 0; k < clips.size(); ++k) {
        painter.setPen(QColor(0x20, 0x90, 0x30));
        painter.drawLine(QPointF(xOf(clips[k].start), kMarginTop),
                         QPointF(xOf(clips[k].start), kHeight));
        painter.setPen(QColor(0xc0, 0x30, 0x30));
        painter.drawLine(QPointF(xOf(clips[k].end), kMarginTop),
                         QPointF(xOf(clips[k].end), kHeight));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(xOf(clips[k].start) + 2, kMarginTop - 6), QString::number(k + 1));
    }
    painter.end();

    const QByteArray format = previewFormat(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, format.constData()) ||
        !file.commit())
        throw InputError(path + u": cannot write: "_s + file.errorString());
}

} // namespace vovozodo
