#pragma once

#include "editor/time_scale.h"

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <optional>

namespace vovozodo {

class LessonDocument;
class PeakPyramid;

// The recording's waveform with the pauses shaded, the cuts as lines and each
// clip's number, text, lead-in and tail on it. A cut is dragged with the mouse
// and snaps to the quietest point of the nearest pause (Shift: where dropped),
// or selected with Tab and moved with the arrow keys. Ctrl+wheel zooms at the
// pointer, the wheel scrolls. Drawn from the peak pyramid in tiles cached per
// zoom step, so scrolling and zooming back redraw only what is new.
class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(QWidget *parent = nullptr);
    ~WaveformView() override;

    void setRecording(const PeakPyramid *pyramid, qint64 totalSamples, int sampleRate);
    // The pyramid grew: the tiles at its end are drawn again.
    void peaksGrew();
    void setDocument(LessonDocument *document);
    LessonDocument *document() const { return m_document; }

    const TimeScale &scale() const { return m_scale; }
    void scrollToSample(qint64 firstSample);
    void zoom(int steps, double anchorX);
    void zoom(int steps);

    qsizetype selectedCut() const { return m_selectedCut; }
    void selectCut(qsizetype cut);
    qint64 playhead() const { return m_playhead; }
    // Moves the playhead; `follow` scrolls to keep it in view.
    void setPlayhead(qint64 sample, bool follow);

    // Pixels of the cut line the pointer may be off by and still take it.
    static constexpr int kGrabPixels = 5;

signals:
    void viewChanged();
    void cutSelected(qsizetype cut);
    void sentenceClicked(qsizetype sentence);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct Tile {
        QImage image;
        qint64 framesDrawn = 0;
    };
    static constexpr int kTileWidth = 256;

    const QImage &tile(qint64 index);
    void paintOverlay(QPainter &painter);
    qsizetype cutNear(double x) const;
    qint64 cutPosition(qsizetype cut) const;
    void changed();
    // Tells assistive technology where the selected cut now is.
    void announceSelectedCut();

    const PeakPyramid *m_pyramid = nullptr;
    QPointer<LessonDocument> m_document;
    TimeScale m_scale;
    int m_sampleRate = 0;
    QHash<quint64, Tile> m_tiles;
    int m_tilesStep = -1;
    qsizetype m_selectedCut = -1;
    // As assistive technology was last told.
    qsizetype m_announcedCuts = 0;
    qint64 m_playhead = -1;
    // While a cut is dragged: which, where it would land, and the pause it snaps to.
    qsizetype m_draggedCut = -1;
    qint64 m_dragAt = 0;
    std::optional<qint64> m_snapGuide;
};

} // namespace vovozodo
