// The start-up window: finding the lesson library through the settings file,
// and the hand-over to the main window on its timer's ticks.
#include "library/install_root.h"
#include "platform/windows_directory.h"
#include "startup/background.h"
#include "startup/install_path.h"
#include "support/fake_playback.h"
#include "support/windows_folder.h"
#include "ui/about_window.h"
#include "ui/begin1.h"
#include "ui/notice_window.h"
#include "ui/twips.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <string>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

struct Started {
    FakePlayback playback;
    std::unique_ptr<Background> window;
    QString scratchCaption() const { return window->findChild<QLabel *>(u"Label1"_s)->text(); }
};

std::unique_ptr<Started> start(const QString &windowsDirectory) {
    InstallRoot.clear();
    auto started = std::make_unique<Started>();
    started->window = std::make_unique<Background>(directoryQuery(windowsDirectory.toUtf8()),
                                                   started->playback.services());
    return started;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { InstallRoot.clear(); }

    void windowsDirectoryIsUpperCasedAndKeepsItsNul() {
        QCOMPARE(GetWindowsDir(directoryQuery("c:\\Windows")), u"C:\\WINDOWS\0"_s);
        QCOMPARE(GetWindowsDir(directoryQuery(QByteArray(19, 'w'))), QString(19, u'W') + QChar(0));
        QCOMPARE(GetWindowsDir(directoryQuery(QByteArray(20, 'w'))), QString());
        QCOMPARE(GetWindowsDir(directoryQuery(QByteArray())), QString());
        QCOMPARE(GetWindowsDir(directoryQuery(" /etc")), u"/ETC\0"_s);
    }

    void captionKeepsTextUpToTheFirstNul() {
        QCOMPARE(captionOf(u"abc\0def"_s), u"abc"_s);
        QCOMPARE(captionOf(u"abc"_s), u"abc"_s);
        QCOMPARE(captionOf(u"\0"_s), QString());
    }

    void settingsValueBecomesTheInstallRoot_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("root");
        QTest::newRow("plain") << QByteArray("[InstallSettings]\r\nInstallPath=/srv/lessons\r\n")
                               << u"/srv/lessons\\"_s;
        QTest::newRow("other case, blanks, quotes")
            << QByteArray("[installsettings]\n  INSTALLPATH = \"/srv/a b\" \n") << u"/srv/a b\\"_s;
        QTest::newRow("trailing backslash kept")
            << QByteArray("[InstallSettings]\nInstallPath=D:\\x\\\n") << u"D:\\x\\\\"_s;
        QTest::newRow("value empty")
            << QByteArray("[InstallSettings]\nInstallPath=\n") << QString();
        QTest::newRow("value 'empty'")
            << QByteArray("[InstallSettings]\nInstallPath=empty\n") << u"empty\\"_s;
        QTest::newRow("key missing") << QByteArray("[InstallSettings]\nOther=1\n") << u"empty\\"_s;
        QTest::newRow("section missing") << QByteArray("[Other]\nInstallPath=/x\n") << u"empty\\"_s;
        QTest::newRow("179 characters arrive whole")
            << QByteArray("[InstallSettings]\nInstallPath=") + QByteArray(179, 'p') + "\n"
            << QString(179, u'p') + u'\\';
        QTest::newRow("180 characters lose the last")
            << QByteArray("[InstallSettings]\nInstallPath=") + QByteArray(179, 'p') + "q\n"
            << QString(179, u'p') + u'\\';
        QTest::newRow("chinese folder in UTF-8")
            << QByteArray("[InstallSettings]\nInstallPath=/srv/课程\n") << u"/srv/课程\\"_s;
        // As a Chinese settings tool writes it: GBK, never to be read as Latin-1.
        QTest::newRow("chinese folder in GBK")
            << QByteArray("[InstallSettings]\nInstallPath=/srv/\xBF\xCE\xB3\xCC\n")
            << u"/srv/课程\\"_s;
    }
    void settingsValueBecomesTheInstallRoot() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, root);
        WindowsFolder folder;
        QVERIFY(folder.isValid());
        QVERIFY(folder.writeSettings(settings));
        auto started = start(folder.path());
        QCOMPARE(InstallRoot, root);
    }

    void emptyValueLeavesTheWindowsDirectoryInTheScratchLabel() {
        WindowsFolder folder;
        QVERIFY(folder.isValid());
        QVERIFY(folder.writeSettings("[InstallSettings]\nInstallPath=\n"));
        auto started = start(folder.path());
        QCOMPARE(InstallRoot, QString());
        QCOMPARE(started->scratchCaption(), folder.path().toUpper());
    }

    void missingSettingsFileGivesTheEmptyFolder() {
        WindowsFolder folder;
        QVERIFY(folder.isValid());
        auto started = start(folder.path());
        QCOMPARE(InstallRoot, u"empty\\"_s);
        QCOMPARE(started->scratchCaption(), u"empty"_s);
    }

    void overlongWindowsDirectoryLooksInTheRootFolder() {
        // 20 characters do not fit: the settings path becomes "\Vidurivu 2004_10.INI".
        auto started = start(u"/tmp/twenty-chars-xx"_s);
        QCOMPARE(InstallRoot, u"empty\\"_s);
    }

    void mainWindowIsLoadedOnTheFirstTickAndShownOnTheTenth() {
        WindowsFolder folder;
        QVERIFY(folder.isValid());
        auto started = start(folder.path());
        ManualTimer *timer = started->playback.timer(0);
        QVERIFY(timer->isEnabled());
        QCOMPARE(timer->interval(), 100);
        QVERIFY(!started->window->mainWindow());

        QVERIFY(timer->fire());
        Begin1 *main = started->window->mainWindow();
        QVERIFY(main);
        QVERIFY(!main->isVisible());
        QCOMPARE(main->parentWidget(), started->window.get());
        QCOMPARE(main->findChild<QComboBox *>(u"Combo1"_s)->count(), 16);
        for (int tick = 2; tick <= 9; ++tick) {
            QVERIFY(timer->fire());
            QVERIFY(!main->isVisible());
        }
        QVERIFY(timer->fire());
        QCOMPARE(started->window->startupTicks(), 10);
        QVERIFY(!timer->isEnabled());
        QVERIFY(main->isVisible());
        QVERIFY(!timer->fire());
        QCOMPARE(started->window->startupTicks(), 10);
    }

    void screenReadersAnnounceEveryWindowByName() {
        WindowsFolder folder;
        QVERIFY(folder.isValid());
        auto started = start(folder.path());
        for (int tick = 1; tick <= 10; ++tick)
            QVERIFY(started->playback.timer(0)->fire());
        Begin1 *main = started->window->mainWindow();
        FrmAbout about(main);
        Notice1 notice(&about);
        const auto announced = [](QWidget *window) {
            const QAccessibleInterface *face = QAccessible::queryAccessibleInterface(window);
            return std::pair(face->text(QAccessible::Name), face->role());
        };
        QCOMPARE(announced(started->window.get()), std::pair(u"Vovozodo"_s, QAccessible::Window));
        QCOMPARE(announced(main), std::pair(u"Vidurivu 2004.10"_s, QAccessible::Window));
        QCOMPARE(announced(&about), std::pair(u"About Vovozodo"_s, QAccessible::Dialog));
        QCOMPARE(announced(&notice), std::pair(u"Notice for Users"_s, QAccessible::Dialog));
    }

    void loadingLabelIsCentredOnTheScreen() {
        WindowsFolder folder;
        QVERIFY(folder.isValid());
        auto started = start(folder.path());
        const QLabel *loading = started->window->findChild<QLabel *>(u"Label2"_s);
        QCOMPARE(loading->text(), u"Loading ..."_s);
        const QSize screen = started->window->screen()->geometry().size();
        QVERIFY(qAbs(loading->x() - (screen.width() - loading->width()) / 2) <= 1);
        QVERIFY(qAbs(loading->y() - (screen.height() - loading->height()) / 2) <= 1);
        QVERIFY(started->window->windowState().testFlag(Qt::WindowMaximized));
        QCOMPARE(started->window->windowTitle(), u"Vovozodo"_s);
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
