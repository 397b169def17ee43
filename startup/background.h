#pragma once

#include "platform/windows_directory.h"
#include "playback/playback_services.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;

namespace vovozodo {

class Begin1;
class Timer;

// The start-up window: a black full-screen backdrop saying "Loading ...". It
// finds the lesson library, loads the main window on its timer's first tick
// and shows it on the tenth, then stays behind it as the program's only
// taskbar entry until it is closed.
class Background final : public QWidget {
    Q_OBJECT

public:
    explicit Background(
        platform::WindowsDirectoryQuery windowsDirectory = platform::GetWindowsDirectoryA,
        PlaybackServices services = PlaybackServices::system());
    ~Background() override;

    QString GetWindowsDir() const;

    int startupTicks() const { return StartupTicks; }
    Begin1 *mainWindow() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void load();
    void onHandOverTick();

    QLabel *m_scratchLabel = nullptr;
    QLabel *m_loadingText = nullptr;
    std::unique_ptr<Timer> m_handOverTick;
    quint8 StartupTicks = 0;

    platform::WindowsDirectoryQuery m_windowsDirectory;
    PlaybackServices m_services;
    QPointer<Begin1> m_mainWindow;
    bool m_leaving = false; // the learner said Yes to the exit question
};

} // namespace vovozodo
