// The sentence playback cycle, driven with a fake device and hand-fired
// timer ticks: repeats, pauses, advancing, looping and the progress bar.
#include "playback/highlight.h"
#include "support/main_window_rig.h"
#include "ui/begin1.h"

#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

// Follows the cycle from its device and timers, one event at a time, and
// returns the sentences played in order.
class CycleDriver {
public:
    explicit CycleDriver(MainWindowRig &rig) : m_rig(rig) {}

    int playingSentence() const {
        const QString name = m_rig.device().fileName.section(u'\\', -1);
        return name.section(u'.', 0, 0).toInt();
    }

    // Ends each play and fires whichever wait follows, `plays` times.
    QList<int> run(int plays) {
        QList<int> order;
        for (int i = 0; i < plays; ++i) {
            if (!m_rig.device().isPlaying())
                break;
            order << playingSentence();
            m_rig.device().finishPlay();
            if (!m_rig.repeatWait().fire() && !m_rig.advanceWait().fire())
                break;
        }
        return order;
    }

private:
    MainWindowRig &m_rig;
};

void openLesson(MainWindowRig &rig, int sentences) {
    QStringList lines;
    for (int k = 1; k <= sentences; ++k)
        lines << u"Sentence "_s + QString::number(k) + u'.';
    QVERIFY(rig.library.writeLesson(1, u"Lesson"_s, lines));
    rig.open();
    rig.combo("Combo1")->setCurrentIndex(1);
}

} // namespace

class PlaybackCycleTest : public QObject {
    Q_OBJECT

private slots:
    void cycleDecisionsWithoutAWindow() {
        PlaybackCycle cycle;
        cycle.lessonLoaded(2);
        QCOMPARE(cycle.playbackRequested(true, 0), PlaybackCycle::Request::SelectFirst);
        QCOMPARE(cycle.currentSentence, 1);
        QCOMPARE(cycle.playSucceeded(true, 1), PlaybackCycle::AfterPlay::RepeatWait);
        QCOMPARE(cycle.playSucceeded(true, 1), PlaybackCycle::AfterPlay::AdvanceWait);
        QCOMPARE(cycle.currentSentence, 2);
        QCOMPARE(cycle.playCount, 0);
        QCOMPARE(cycle.playSucceeded(true, 0), PlaybackCycle::AfterPlay::AdvanceWait);
        QCOMPARE(cycle.currentSentence, 1);
        QCOMPARE(cycle.playbackRequested(false, 1), PlaybackCycle::Request::Nothing);
        cycle.lessonLoaded(0);
        QCOMPARE(cycle.playbackRequested(true, 0), PlaybackCycle::Request::Nothing);
    }

    void playCountSaturatesInsteadOfOverflowing() {
        PlaybackCycle cycle;
        cycle.lessonLoaded(1);
        cycle.currentSentence = 1;
        cycle.playCount = std::numeric_limits<int>::max() - 1;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(cycle.playSucceeded(false, 4), PlaybackCycle::AfterPlay::Stop);
        QCOMPARE(cycle.playCount, std::numeric_limits<int>::max());
        QCOMPARE(cycle.playSucceeded(true, 4), PlaybackCycle::AfterPlay::AdvanceWait);
    }

    void startupSettingsPlayEachSentenceTwiceAndLoop() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.button("Command5")->click();
        QCOMPARE(rig.label("Label1")->text(), u"1 / 3"_s);
        QCOMPARE(CycleDriver(rig).run(7), (QList<int>{1, 1, 2, 2, 3, 3, 1}));
        QCOMPARE(rig.advanceWait().interval(), 500);
        QCOMPARE(rig.repeatWait().interval(), 500);
    }

    void repeatValueAndPauseAreReadWhenNeeded() {
        MainWindowRig rig;
        openLesson(rig, 2);
        rig.combo("Combo2")->setCurrentIndex(0);
        rig.combo("Combo3")->setCurrentIndex(4);
        rig.button("Command5")->click();
        QCOMPARE(CycleDriver(rig).run(3), (QList<int>{1, 2, 1}));
        QCOMPARE(rig.advanceWait().interval(), 4000);
        rig.combo("Combo2")->setCurrentIndex(4);
        QCOMPARE(CycleDriver(rig).run(6), (QList<int>{2, 2, 2, 2, 2, 1}));
    }

    void soundFilePathsUseTheCapitalExtension() {
        MainWindowRig rig;
        openLesson(rig, 2);
        rig.device().log.clear();
        rig.button("Command5")->click();
        QCOMPARE(rig.device().log,
                 (QStringList{u"Close"_s, u"Open "_s + rig.library.root() + u"t_1\\1.WAV"_s,
                              u"Play"_s}));
        QVERIFY(!rig.label("Label9")->isHidden());
        QVERIFY(rig.progressTick().isEnabled());
    }

    void uncheckedPlaysOnceAndPlaybackReplays() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.check()->click();
        rig.button("Command5")->click();
        rig.device().finishPlay();
        QVERIFY(!rig.repeatWait().isEnabled());
        QVERIFY(!rig.advanceWait().isEnabled());
        QVERIFY(rig.label("Label9")->isHidden());
        rig.device().log.clear();
        rig.button("Command5")->click();
        QCOMPARE(rig.device().commands(), (QStringList{u"Rewind"_s, u"Play"_s}));
        QCOMPARE(rig.window().cycle().currentSentence, 1);
    }

    void playsWhileUncheckedCountTowardsTheRepeats() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.check()->click();
        rig.button("Command5")->click();
        rig.device().finishPlay();
        rig.button("Command5")->click();
        rig.device().finishPlay();
        QCOMPARE(rig.window().cycle().playCount, 2);
        rig.check()->click();
        rig.button("Command5")->click();
        rig.device().finishPlay();
        QVERIFY(!rig.repeatWait().isEnabled());
        QVERIFY(rig.advanceWait().isEnabled());
        QCOMPARE(rig.window().cycle().currentSentence, 2);
    }

    void choosingASentenceKeepsThePlayCount() {
        MainWindowRig rig;
        openLesson(rig, 9);
        rig.combo("Combo2")->setCurrentIndex(2);
        rig.combo("Combo4")->setCurrentIndex(3);
        rig.device().finishPlay();
        rig.repeatWait().fire(); // sentence 3, second play
        rig.combo("Combo4")->setCurrentIndex(7);
        QCOMPARE(rig.window().cycle().playCount, 1);
        // The pending repeat still fires and restarts sentence 7.
        QCOMPARE(CycleDriver(rig).run(3), (QList<int>{7, 7, 8}));
    }

    void choosingTheFirstEntryPlaysNothing() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.combo("Combo4")->setCurrentIndex(2);
        rig.device().log.clear();
        rig.combo("Combo4")->setCurrentIndex(0);
        QVERIFY(rig.device().log.isEmpty());
        QVERIFY(rig.device().isPlaying() == false || rig.device().plays == 1);
        rig.button("Command5")->click();
        QCOMPARE(rig.window().cycle().currentSentence, 1);
        QCOMPARE(rig.combo("Combo4")->currentIndex(), 1);
    }

    void playbackDuringAPlayRestartsItUncounted() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.button("Command5")->click();
        rig.device().log.clear();
        rig.button("Command5")->click();
        QCOMPARE(rig.device().commands(), (QStringList{u"Rewind"_s, u"Play"_s}));
        QCOMPARE(rig.window().cycle().playCount, 0);
    }

    void playbackDuringTheAdvanceWaitPlaysTheNextSentenceAtOnce() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.combo("Combo2")->setCurrentIndex(0);
        rig.button("Command5")->click();
        rig.device().finishPlay();
        QVERIFY(rig.advanceWait().isEnabled());
        QCOMPARE(rig.label("Label1")->text(), u"1 / 3"_s); // still the sentence just ended
        rig.button("Command5")->click();
        QCOMPARE(rig.label("Label1")->text(), u"2 / 3"_s);
        QCOMPARE(CycleDriver(rig).playingSentence(), 2);
        // The pending advance lands on the entry already chosen: it restarts it.
        const int playsBefore = rig.device().plays;
        QVERIFY(rig.advanceWait().fire());
        QCOMPARE(rig.device().plays, playsBefore + 1);
        QCOMPARE(CycleDriver(rig).playingSentence(), 2);
        QCOMPARE(rig.combo("Combo4")->currentIndex(), 2);
    }

    void playbackDuringTheRepeatWaitReplaysAtOnce() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.button("Command5")->click();
        rig.device().finishPlay();
        QVERIFY(rig.repeatWait().isEnabled());
        rig.device().log.clear();
        rig.button("Command5")->click();
        QCOMPARE(rig.device().commands(), (QStringList{u"Rewind"_s, u"Play"_s}));
        QVERIFY(rig.repeatWait().isEnabled()); // only a lesson load cancels a wait
    }

    void oneSentenceLessonKeepsLooping() {
        MainWindowRig rig;
        openLesson(rig, 1);
        rig.combo("Combo2")->setCurrentIndex(0);
        rig.button("Command5")->click();
        QCOMPARE(CycleDriver(rig).run(4), (QList<int>{1, 1, 1, 1}));
        QCOMPARE(rig.device().plays, 5); // the fifth has just started
    }

    void uncheckingDuringARepeatWaitLetsThatRepeatPlay() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.button("Command5")->click();
        rig.device().finishPlay();
        rig.check()->click();
        QVERIFY(rig.repeatWait().fire());
        QVERIFY(rig.device().isPlaying());
        rig.device().finishPlay();
        QVERIFY(!rig.repeatWait().isEnabled());
        QVERIFY(!rig.advanceWait().isEnabled());
    }

    void otherDoneCodesChangeNothing() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.button("Command5")->click();
        for (const auto code :
             {SoundDevice::Superseded, SoundDevice::Aborted, SoundDevice::Failure})
            rig.device().finishPlay(code);
        QCOMPARE(rig.window().cycle().playCount, 0);
        QVERIFY(rig.progressTick().isEnabled());
        QVERIFY(!rig.label("Label9")->isHidden());
    }

    void progressFillFollowsThePlay() {
        MainWindowRig rig;
        openLesson(rig, 3);
        rig.button("Command5")->click();
        QCOMPARE(rig.window().progressFillTwips(), 13.0);
        rig.device().setLength(2000);
        rig.device().setPosition(500);
        QVERIFY(rig.progressTick().fire());
        QCOMPARE(rig.window().progressFillTwips(), 1305.0);
        // Long recordings: the product no longer fits 32 bits.
        rig.device().setLength(std::numeric_limits<qint32>::max());
        rig.device().setPosition(std::numeric_limits<qint32>::max() / 2);
        QVERIFY(rig.progressTick().fire());
        QVERIFY(qAbs(rig.window().progressFillTwips() - 2610.0) < 0.01);
        // A recording of no length keeps the fill as it is.
        rig.device().setLength(0);
        QVERIFY(rig.progressTick().fire());
        QVERIFY(qAbs(rig.window().progressFillTwips() - 2610.0) < 0.01);
        // Cut short by another play: the fill stays visible with its width.
        rig.combo("Combo4")->setCurrentIndex(2);
        QVERIFY(!rig.label("Label9")->isHidden());
        QVERIFY(qAbs(rig.window().progressFillTwips() - 2610.0) < 0.01);
        rig.device().finishPlay();
        QVERIFY(rig.label("Label9")->isHidden());
        QCOMPARE(rig.window().progressFillTwips(), 13.0);
        QVERIFY(!rig.progressTick().isEnabled());
    }

    void highlightSelectsTheTrimmedSentence() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(
            1, u"T"_s,
            {u"  Heading  "_s, u"  Second line. "_s, u"Heading"_s, u"heading too"_s, u"d line"_s}));
        rig.open();
        rig.combo("Combo1")->setCurrentIndex(1);
        rig.combo("Combo4")->setCurrentIndex(1);
        QCOMPARE(rig.selectedText(), u"Heading"_s);
        rig.combo("Combo4")->setCurrentIndex(2);
        QCOMPARE(rig.selectedText(), u"Second line."_s);
        const qsizetype second = rig.selectionStart();
        // A repeated sentence selects its first occurrence: the heading.
        rig.combo("Combo4")->setCurrentIndex(3);
        QCOMPARE(rig.selectionStart(), rig.text()->toPlainText().indexOf(u"Heading"_s));
        rig.combo("Combo4")->setCurrentIndex(4);
        QCOMPARE(rig.selectedText(), u"heading too"_s);
        // Contained in an earlier sentence: the earlier place is selected.
        rig.combo("Combo4")->setCurrentIndex(5);
        QCOMPARE(rig.selectionStart(), second + 5);
    }

    void sentenceSelectionWithoutAWindow() {
        QCOMPARE(sentenceSelection(u"  ab\u2029  cd", u"  cd "), (TextSelection{7, 2}));
        QCOMPARE(sentenceSelection(u"Abc abc", u"abc"), (TextSelection{4, 3}));
        QCOMPARE(sentenceSelection(u"xyz", u"missing"), (TextSelection{0, 0}));
    }
};

QTEST_MAIN(PlaybackCycleTest)
#include "tst_playback_cycle.moc"
