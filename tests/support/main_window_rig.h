#pragma once

#include "support/fake_playback.h"
#include "support/lesson_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <memory>

namespace vovozodo {

class Begin1;

// A main window over a temporary lesson library, with a fake sound device and
// hand-fired timers. Controls are found by their names.
class MainWindowRig {
public:
    MainWindowRig();
    ~MainWindowRig();

    // Creates the window (its load scans the library as it is now).
    Begin1 &open();
    Begin1 &window() const { return *m_window; }

    LessonLibrary library;
    FakePlayback playback;

    FakeSoundDevice &device() const { return *playback.device(); }
    ManualTimer &advanceWait() const { return *playback.timer(0); }  // Timer1
    ManualTimer &repeatWait() const { return *playback.timer(1); }   // Timer2
    ManualTimer &progressTick() const { return *playback.timer(2); } // Timer3

    QComboBox *combo(const char *name) const;
    QLabel *label(const char *name) const;
    QPushButton *button(const char *name) const;
    QCheckBox *check() const;
    QPlainTextEdit *text() const;

    // The selected text of the transcript view.
    QString selectedText() const;
    qsizetype selectionStart() const;

private:
    std::unique_ptr<Begin1> m_window;
};

} // namespace vovozodo
