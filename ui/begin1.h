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
    void onCheck1Click();
    void onCombo1SelectionChanged();
    void onCombo4SelectionChanged(int position);
    void onCombo4Activated(int position);
    void onDeviceDone(qint16 notifyCode);
    void onTimer1Tick();
    void onTimer2Tick();
    void onTimer3Tick();
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

    // Controls, named as in the window's design; docs/architecture.md says what
    // each one is.
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Image1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QComboBox *Combo2 = nullptr;
    QComboBox *Combo3 = nullptr;
    QComboBox *Combo4 = nullptr;
    QStringListModel *m_sentenceEntries = nullptr; // Combo4's entries
    QPlainTextEdit *Text1 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command5 = nullptr;
    std::unique_ptr<SoundDevice> MMControl1;
    std::unique_ptr<Timer> Timer1;
    std::unique_ptr<Timer> Timer2;
    std::unique_ptr<Timer> Timer3;

    // Lesson state.
    std::array<bool, kChooserEntries> m_lessonValid{};
    int m_loadedLesson = 0;
    QStringList m_scriptLines; // entry k-1 is sentence k
    PlaybackCycle m_cycle;

    double m_progressFillTwips = 0;
    int m_combo4ChangedTo = -1; // a user's pick that already ran its handling
    bool m_unloaded = false;
    bool m_exitAsked = false; // the exit question is up, or about to be
    bool m_leaving = false;   // the learner said Yes
};

} // namespace vovozodo
