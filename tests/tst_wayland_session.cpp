// The windows on a Wayland session, where the compositor places every window
// and keeps owned ones with their owners only if they name them as parents.
// Run by tst_wayland_session.sh under a headless weston, whose seat has no
// input devices: keys and clicks are delivered to the widgets directly.
#include "startup/background.h"
#include "support/fake_playback.h"
#include "support/pump_until.h"
#include "support/windows_folder.h"
#include "ui/begin1.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>

using namespace vovozodo;

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// What a modal window was like once the compositor had shown it.
struct Shown {
    QString name;
    quintptr window = 0;
    quintptr parent = 0; // 0: none
};

// Waits for a modal window other than `over` to be shown by the compositor,
// records it, then runs `step` on it. Past the deadline the window is closed,
// so a test never hangs on it.
void whenShown(QWidget *over, QList<Shown> *log, std::function<void(QWidget *)> step,
               QDeadlineTimer deadline = QDeadlineTimer(30s)) {
    QTimer::singleShot(5, qApp, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        const bool shown =
            modal && modal != over && modal->windowHandle() && modal->windowHandle()->isExposed();
        if (shown) {
            log->append({modal->objectName(), quintptr(modal->windowHandle()),
                         quintptr(modal->windowHandle()->transientParent())});
            step(modal);
        } else if (deadline.hasExpired()) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->done(QDialog::Rejected);
        } else {
            whenShown(over, log, step, deadline);
        }
    });
}

void click(QWidget *window, const char *button) {
    window->findChild<QPushButton *>(QLatin1StringView(button))->click();
}

} // namespace

class WaylandSessionTest : public QObject {
    Q_OBJECT

private slots:
    void ownedWindowsNameTheirOwnersAndExitEndsTheRun() {
        WindowsFolder folder;
        QVERIFY(folder.isValid());
        FakePlayback playback;
        auto *background =
            new Background(directoryQuery(QFile::encodeName(folder.path())), playback.services());
        background->setAttribute(Qt::WA_DeleteOnClose);
        const QPointer<Background> running(background);
        background->show();
        QVERIFY(QTest::qWaitForWindowExposed(background, 30'000));
        for (int tick = 1; tick <= 10; ++tick)
            QVERIFY(playback.timer(0)->fire());
        Begin1 *main = background->mainWindow();
        QVERIFY(main);
        QVERIFY(QTest::qWaitForWindowExposed(main, 30'000));
        QCOMPARE(main->windowHandle()->transientParent(), background->windowHandle());
        const auto mainWindow = quintptr(main->windowHandle());

        // About, its notice over it, then the exit question answered with Yes.
        QList<Shown> shown;
        whenShown(main, &shown, [&](QWidget *about) {
            whenShown(about, &shown, [&, about](QWidget *notice) {
                click(notice, "OKButton");
                QTimer::singleShot(0, about, [about] { click(about, "Command2"); });
            });
            click(about, "Command1");
        });
        click(main, "Command2");
        whenShown(main, &shown, [](QWidget *question) {
            static_cast<QMessageBox *>(question)->button(QMessageBox::Yes)->click();
        });
        QTest::keyClick(main->focusWidget(), Qt::Key_Escape);
        QVERIFY(pumpUntil([&] { return running.isNull(); }, 30s));

        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].name, u"frmAbout"_s);
        QCOMPARE(shown[1].name, u"Notice1"_s);
        QCOMPARE(shown[0].parent, mainWindow);
        QCOMPARE(shown[1].parent, shown[0].window);
        QCOMPARE(shown[2].parent, mainWindow); // the exit question
    }
};

int main(int argc, char *argv[]) {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + u"/platforms"_s);
    if (platforms.entryList({u"*wayland*"_s}).isEmpty()) {
        std::puts("SKIP: the toolkit's Wayland platform (qt6-wayland) is not installed");
        return 77;
    }
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != u"wayland") {
        std::fprintf(stderr, "FAIL: running on %s, not on Wayland\n",
                     qPrintable(QGuiApplication::platformName()));
        return 1;
    }
    WaylandSessionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wayland_session.moc"
