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
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), Timer1(services.createTimer()),
      m_windowsDirectory(std::move(windowsDirectory)), m_services(std::move(services)) {
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

    Label2 = new QLabel(u"Loading ..."_s, this);
    Label2->setObjectName(u"Label2"_s);
    QFont font(u"MS Sans Serif"_s);
    font.setPointSizeF(24);
    Label2->setFont(font);
    QPalette yellow = Label2->palette();
    yellow.setColor(QPalette::WindowText, design::kLightYellow);
    Label2->setPalette(yellow);
    Label2->setGeometry(twipsRect(2070, 1755, 2265, 555));
    Label2->adjustSize();

    Label1 = new QLabel(this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setGeometry(twipsRect(2400, 3000, 1395, 195));
    Label1->hide();

    Timer1->setInterval(100);
    connect(Timer1.get(), &Timer::tick, this, &Background::onTimer1Tick);
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

    Label1->setText(captionOf(GetWindowsDir()));
    const QString settingsFile = Label1->text() + QLatin1StringView(platform::kSettingsFileName);

    // The count is taken as a 16-bit number, as the window's own code keeps it.
    const InstallPathLookup lookup = lookUpInstallPath(settingsFile);
    if (qint16(lookup.count) > 0) {
        Label1->setText(captionOf(lookup.value));
        InstallRoot = Label1->text() + u'\\';
    }

    const QScreen *display = screen();
    const QSize screenPixels = display ? display->geometry().size() : size();
    const float left =
        (float(pixelsToTwips(screenPixels.width())) - float(pixelsToTwips(Label2->width()))) / 2;
    const float top =
        (float(pixelsToTwips(screenPixels.height())) - float(pixelsToTwips(Label2->height()))) / 2;
    Label2->move(twipsToPixels(left), twipsToPixels(top));

    Timer1->setEnabled(true);
}

void Background::onTimer1Tick() {
    ++StartupTicks;
    if (StartupTicks == 1) {
        m_mainWindow = new Begin1(m_services, this);
        m_mainWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_mainWindow, &Begin1::exitConfirmed, this, [this] {
            m_leaving = true;
            close();
        });
    } else if (StartupTicks == 10) {
        Timer1->setEnabled(false);
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
