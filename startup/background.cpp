#include "startup/background.h"

#include "library/install_root.h"
#include "library/install_setting.h"
#include "platform/settings_file.h"
#include "playback/timer.h"
#include "startup/install_path.h"
#include "ui/begin1.h"
#include "ui/design_palette.h"
#include "ui/twips.h"
#include "ui/window_accessibility.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QScreen>

namespace vovozodo {

using namespace Qt::StringLiterals;

Background::Background(platform::WindowsDirectoryQuery windowsDirectory, PlaybackServices services)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_handOverTick(services.createTimer()), m_windowsDirectory(std::move(windowsDirectory)),
      m_services(std::move(services)) {
    // Before anything that makes the toolkit publish the window under another role.
    publishWindow(this, u"Vovozodo"_s);
    setObjectName(u"Background"_s);
    setWindowTitle(u"Vovozodo"_s);
    setWindowIcon(QIcon(u":/icon.png"_s));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    setGeometry(twipsRect(210, 1365, 7380, 4245));

    m_loadingText = new QLabel(u"Loading ..."_s, this);
    m_loadingText->setObjectName(u"Label2"_s);
    QFont font(u"MS Sans Serif"_s);
    font.setPointSizeF(24);
    m_loadingText->setFont(font);
    QPalette yellow = m_loadingText->palette();
    yellow.setColor(QPalette::WindowText, design::kLightYellow);
    m_loadingText->setPalette(yellow);
    m_loadingText->setGeometry(twipsRect(2070, 1755, 2265, 555));
    m_loadingText->adjustSize();

    m_scratchLabel = new QLabel(this);
    m_scratchLabel->setObjectName(u"Label1"_s);
    m_scratchLabel->setGeometry(twipsRect(2400, 3000, 1395, 195));
    m_scratchLabel->hide();

    m_handOverTick->setInterval(100);
    connect(m_handOverTick.get(), &Timer::tick, this, &Background::onHandOverTick);
    load();
}

Background::~Background() = default;

Begin1 *Background::mainWindow() const {
    return m_mainWindow;
}

QString Background::GetWindowsDir() const {
    return vovozodo::GetWindowsDir(m_windowsDirectory);
}

void Background::load() {
    // Without a window manager the maximised state alone changes nothing, so
    // the window also takes the screen's size itself.
    if (const QScreen *display = screen())
        setGeometry(display->geometry());
    setWindowState(Qt::WindowMaximized);

    m_scratchLabel->setText(captionOf(GetWindowsDir()));
    const QString settingsFile =
        m_scratchLabel->text() + QLatin1StringView(platform::kSettingsFileName);

    // The count is taken as a 16-bit number, as the window's own code keeps it.
    const InstallPathLookup lookup = lookUpInstallPath(settingsFile);
    if (qint16(lookup.count) > 0) {
        m_scratchLabel->setText(captionOf(lookup.value));
        InstallRoot = m_scratchLabel->text() + u'\\';
    }

    const QScreen *display = screen();
    const QSize screenPixels = display ? display->geometry().size() : size();
    const float left = (float(pixelsToTwips(screenPixels.width())) -
                        float(pixelsToTwips(m_loadingText->width()))) /
                       2;
    const float top = (float(pixelsToTwips(screenPixels.height())) -
                       float(pixelsToTwips(m_loadingText->height()))) /
                      2;
    m_loadingText->move(twipsToPixels(left), twipsToPixels(top));

    m_handOverTick->setEnabled(true);
}

void Background::onHandOverTick() {
    ++StartupTicks;
    if (StartupTicks == 1) {
        m_mainWindow = new Begin1(m_services, this);
        m_mainWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_mainWindow, &Begin1::exitConfirmed, this, [this] {
            m_leaving = true;
            close();
        });
    } else if (StartupTicks == 10) {
        m_handOverTick->setEnabled(false);
        if (m_mainWindow)
            m_mainWindow->show();
    }
}

void Background::closeEvent(QCloseEvent *event) {
    // The backdrop carries the taskbar button, so the desktop's close requests
    // often come here. The program ends only on the learner's Yes: the request
    // asks the main window's exit question, and while the main window is still
    // loading there is nobody to ask yet, so it is let go.
    if (m_leaving) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_mainWindow)
        m_mainWindow->requestExit();
}

} // namespace vovozodo
