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

void Begin1::onSentenceEntrySelected(int position) {
    m_handledSentencePick = position;
    if (position <= 0)
        return;
    m_cycle.currentSentence = position;
    showCounter();
    highlightSentence(position);
    openAndPlay(soundFilePath(InstallRoot, m_loadedLesson, position, u".WAV"));
}

void Begin1::onSentenceEntryActivated(int position) {
    // A user's pick of the entry already selected changes nothing in the list
    // but is still a choice of that sentence.
    if (m_handledSentencePick == position) {
        m_handledSentencePick = -1;
        return;
    }
    onSentenceEntrySelected(position);
    m_handledSentencePick = -1;
}

void Begin1::selectSentenceEntry(int position) {
    // Selecting from code always counts as a choice, even of the entry already
    // selected: a one-sentence lesson keeps looping, and an advance that lands
    // on the entry Playback already chose restarts it like a pending repeat.
    if (m_sentenceChooser->currentIndex() == position)
        onSentenceEntrySelected(position);
    else
        m_sentenceChooser->setCurrentIndex(position);
    m_handledSentencePick = -1;
}

void Begin1::playbackCommand() {
    switch (m_cycle.playbackRequested(m_loadedLesson > 0, m_sentenceChooser->currentIndex())) {
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
    m_progressTick->setEnabled(false);
    hideProgressFill();
    switch (m_cycle.playSucceeded(automaticTicked(), repeatValue())) {
    case PlaybackCycle::AfterPlay::Stop:
        break;
    case PlaybackCycle::AfterPlay::RepeatWait:
        m_repeatWait->setInterval(pauseMilliseconds());
        m_repeatWait->setEnabled(true);
        break;
    case PlaybackCycle::AfterPlay::AdvanceWait:
        m_advanceWait->setInterval(pauseMilliseconds());
        m_advanceWait->setEnabled(true);
        break;
    }
}

void Begin1::onRepeatWaitOver() {
    m_repeatWait->setEnabled(false);
    highlightSentence(m_cycle.currentSentence);
    rewindAndPlay();
}

void Begin1::onAdvanceWaitOver() {
    m_advanceWait->setEnabled(false);
    showCounter();
    selectSentenceEntry(m_cycle.currentSentence);
}

void Begin1::onProgressTick() {
    const qint64 length = m_soundDevice->length();
    // Nothing sensible to draw for a recording of no length.
    if (length <= 0)
        return;
    const qint64 position = std::clamp<qint64>(m_soundDevice->position(), 0, length);
    setProgressFillTwips(double(position) * kProgressTrackTwips / double(length));
}

void Begin1::openAndPlay(const QString &path) {
    m_soundDevice->close();
    m_soundDevice->open(path);
    m_progressFill->show();
    m_progressTick->setEnabled(true);
    m_soundDevice->play();
}

void Begin1::rewindAndPlay() {
    m_soundDevice->rewind();
    m_progressFill->show();
    m_progressTick->setEnabled(true);
    m_soundDevice->play();
}

void Begin1::highlightSentence(int sentence) {
    if (sentence < 1 || sentence > m_scriptLines.size())
        return;
    // The document's raw text counts each line break as one character, the
    // same positions a cursor uses.
    const QString text = m_transcript->document()->toRawText();
    const TextSelection selection = sentenceSelection(text, m_scriptLines[sentence - 1]);
    QTextCursor cursor(m_transcript->document());
    cursor.setPosition(int(selection.start));
    cursor.setPosition(int(selection.start + selection.length), QTextCursor::KeepAnchor);
    m_transcript->setTextCursor(cursor);
    m_transcript->ensureCursorVisible();
}

void Begin1::hideProgressFill() {
    m_progressFill->hide();
    setProgressFillTwips(kProgressFillRestTwips);
}

void Begin1::setProgressFillTwips(double twips) {
    m_progressFillTwips = twips;
    m_progressFill->resize(twipsToPixels(twips), m_progressFill->height());
}

void Begin1::showCounter() {
    m_counter->setText(QString::number(m_cycle.currentSentence) + u" / "_s +
                       QString::number(m_cycle.sentenceCount));
}

int Begin1::repeatValue() const {
    return m_repeatChooser->currentText().toInt();
}

int Begin1::pauseMilliseconds() const {
    return m_pauseChooser->currentText().toInt();
}

bool Begin1::automaticTicked() const {
    return m_automatic->checkState() == Qt::Checked;
}

} // namespace vovozodo
