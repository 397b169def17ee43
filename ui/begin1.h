#pragma once

#include "library/lesson_paths.h"
#include "playback/playback_cycle.h"
#include "playback/playback_services.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStringListModel;

namespace vovozodo {

class SoundDevice;
class Timer;

// The main listening window: lesson chooser, transcript, playback settings,
// sentence chooser, counter, progress bar and the commands. It owns the lesson
// state and drives the sentence playback cycle.
class Begin1 final : public QWidget {
    Q_OBJECT

public:
    // Loading the window prepares the sound device and scans the lessons under
    // the install root; `owner` is the window it stays in front of.
    explicit Begin1(const PlaybackServices &services, QWidget *owner = nullptr);
    ~Begin1() override;

    // Lesson state, read by tests and the other windows.
    bool lessonValid(int position) const;
    int loadedLesson() const { return m_loadedLesson; }
    const QStringList &scriptLines() const { return m_scriptLines; }
    const PlaybackCycle &cycle() const { return m_cycle; }
    // The progress fill's width in twips (fractions kept).
    double progressFillTwips() const { return m_progressFillTwips; }

    // The commands the shortcuts run.
    void exitCommand();
    void playbackCommand();

    // A close request from the desktop (Alt+F4, a taskbar's close), on this
    // window or on its owner: the exit question, as Exit asks it. It is asked
    // once, however many requests come while it is up, and not while another
    // of the program's modal windows is open.
    void requestExit();

signals:
    // Exit was confirmed: the window has been unloaded and its owner must go.
    void exitConfirmed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void load();
    void unload();

    // Event handlers.
    void onAutomaticClicked();
    void onLessonChosen();
    void onSentenceEntrySelected(int position);
    void onSentenceEntryActivated(int position);
    void onDeviceDone(qint16 notifyCode);
    void onAdvanceWaitOver();
    void onRepeatWaitOver();
    void onProgressTick();
    void onKeyDown(int keyCode);
    void aboutCommand();

    // Steps shared by the handlers.
    void selectSentenceEntry(int position);
    void highlightSentence(int sentence);
    void openAndPlay(const QString &path);
    void rewindAndPlay();
    void stopPlayback();
    void hideProgressFill();
    void setProgressFillTwips(double twips);
    void showCounter();
    int repeatValue() const;
    int pauseMilliseconds() const;
    bool automaticTicked() const;

    // Controls, named by role; each keeps its design name as its objectName
    // (the table in docs/architecture.md pairs the two).
    QLabel *m_counter = nullptr;
    QLabel *m_slogan = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_repeatLabel = nullptr;
    QLabel *m_timesLabel = nullptr;
    QLabel *m_intervalLabel = nullptr;
    QLabel *m_millisecondsLabel = nullptr;
    QLabel *m_progressTrack = nullptr;
    QLabel *m_progressFill = nullptr;
    QLabel *m_banner = nullptr;
    QComboBox *m_lessonChooser = nullptr;
    QComboBox *m_repeatChooser = nullptr;
    QComboBox *m_pauseChooser = nullptr;
    QComboBox *m_sentenceChooser = nullptr;
    QStringListModel *m_sentenceEntries = nullptr; // m_sentenceChooser's entries
    QPlainTextEdit *m_transcript = nullptr;
    QCheckBox *m_automatic = nullptr;
    QPushButton *m_exitButton = nullptr;
    QPushButton *m_aboutButton = nullptr;
    QPushButton *m_playbackButton = nullptr;
    std::unique_ptr<SoundDevice> m_soundDevice;
    std::unique_ptr<Timer> m_advanceWait;
    std::unique_ptr<Timer> m_repeatWait;
    std::unique_ptr<Timer> m_progressTick;

    // Lesson state.
    std::array<bool, kChooserEntries> m_lessonValid{};
    int m_loadedLesson = 0;
    QStringList m_scriptLines; // entry k-1 is sentence k
    PlaybackCycle m_cycle;

    double m_progressFillTwips = 0;
    int m_handledSentencePick = -1; // a user's pick that already ran its handling
    bool m_unloaded = false;
    bool m_exitAsked = false; // the exit question is up, or about to be
    bool m_leaving = false;   // the learner said Yes
};

} // namespace vovozodo
