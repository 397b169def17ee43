// The main window's playback cycle: Playback, the sentence chooser, the
// device's Done, the repeat and advance waits, the progress bar and the
// highlight of the sentence being played.
#include "ui/begin1.h"

#include "library/install_root.h"
#include "library/lesson_paths.h"
#include "playback/highlight.h"
#include "playback/sound_device.h"
#include "playback/timer.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {
constexpr double kProgressTrackTwips = 5220;
constexpr double kProgressFillRestTwips = 13;
} // namespace

void Begin1::onCombo4SelectionChanged(int position) {
    m_combo4ChangedTo = position;
    if (position <= 0)
        return;
    m_cycle.currentSentence = position;
    showCounter();
    highlightSentence(position);
    openAndPlay(soundFilePath(InstallRoot, m_loadedLesson, position, u".WAV"));
}

void Begin1::onCombo4Activated(int position) {
    // A user's pick of the entry already selected changes nothing in the list
    // but is still a choice of that sentence.
    if (m_combo4ChangedTo == position) {
        m_combo4ChangedTo = -1;
        return;
    }
    onCombo4SelectionChanged(position);
    m_combo4ChangedTo = -1;
}

void Begin1::selectSentenceEntry(int position) {
    // Selecting from code always counts as a choice, even of the entry already
    // selected: a one-sentence lesson keeps looping, and an advance that lands
    // on the entry Playback already chose restarts it like a pending repeat.
    if (Combo4->currentIndex() == position)
        onCombo4SelectionChanged(position);
    else
        Combo4->setCurrentIndex(position);
    m_combo4ChangedTo = -1;
}

void Begin1::playbackCommand() {
    switch (m_cycle.playbackRequested(m_loadedLesson > 0, Combo4->currentIndex())) {
    case PlaybackCycle::Request::Nothing:
        break;
    case PlaybackCycle::Request::SelectFirst:
        selectSentenceEntry(1);
        break;
    case PlaybackCycle::Request::Replay:
        highlightSentence(m_cycle.currentSentence);
        rewindAndPlay();
        break;
    case PlaybackCycle::Request::SelectCurrent:
        selectSentenceEntry(m_cycle.currentSentence);
        break;
    }
}

void Begin1::onDeviceDone(qint16 notifyCode) {
    if (notifyCode != SoundDevice::Successful)
        return;
    Timer3->setEnabled(false);
    hideProgressFill();
    switch (m_cycle.playSucceeded(automaticTicked(), repeatValue())) {
    case PlaybackCycle::AfterPlay::Stop:
        break;
    case PlaybackCycle::AfterPlay::RepeatWait:
        Timer2->setInterval(pauseMilliseconds());
        Timer2->setEnabled(true);
        break;
    case PlaybackCycle::AfterPlay::AdvanceWait:
        Timer1->setInterval(pauseMilliseconds());
        Timer1->setEnabled(true);
        break;
    }
}

void Begin1::onTimer2Tick() {
    Timer2->setEnabled(false);
    highlightSentence(m_cycle.currentSentence);
    rewindAndPlay();
}

void Begin1::onTimer1Tick() {
    Timer1->setEnabled(false);
    showCounter();
    selectSentenceEntry(m_cycle.currentSentence);
}

void Begin1::onTimer3Tick() {
    const qint64 length = MMControl1->length();
    // Nothing sensible to draw for a recording of no length.
    if (length <= 0)
        return;
    const qint64 position = std::clamp<qint64>(MMControl1->position(), 0, length);
    setProgressFillTwips(double(position) * kProgressTrackTwips / double(length));
}

void Begin1::openAndPlay(const QString &path) {
    MMControl1->close();
    MMControl1->open(path);
    Label9->show();
    Timer3->setEnabled(true);
    MMControl1->play();
}

void Begin1::rewindAndPlay() {
    MMControl1->rewind();
    Label9->show();
    Timer3->setEnabled(true);
    MMControl1->play();
}

void Begin1::highlightSentence(int sentence) {
    if (sentence < 1 || sentence > m_scriptLines.size())
        return;
    // The document's raw text counts each line break as one character, the
    // same positions a cursor uses.
    const QString text = Text1->document()->toRawText();
    const TextSelection selection = sentenceSelection(text, m_scriptLines[sentence - 1]);
    QTextCursor cursor(Text1->document());
    cursor.setPosition(int(selection.start));
    cursor.setPosition(int(selection.start + selection.length), QTextCursor::KeepAnchor);
    Text1->setTextCursor(cursor);
    Text1->ensureCursorVisible();
}

void Begin1::hideProgressFill() {
    Label9->hide();
    setProgressFillTwips(kProgressFillRestTwips);
}

void Begin1::setProgressFillTwips(double twips) {
    m_progressFillTwips = twips;
    Label9->resize(twipsToPixels(twips), Label9->height());
}

void Begin1::showCounter() {
    Label1->setText(QString::number(m_cycle.currentSentence) + u" / "_s +
                    QString::number(m_cycle.sentenceCount));
}

int Begin1::repeatValue() const {
    return Combo2->currentText().toInt();
}

int Begin1::pauseMilliseconds() const {
    return Combo3->currentText().toInt();
}

bool Begin1::automaticTicked() const {
    return Check1->checkState() == Qt::Checked;
}

} // namespace vovozodo
