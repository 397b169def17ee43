// The main window's shortcuts (Esc, keypad 0), the Exit confirmation and
// what closing the windows does.
#include "library/install_root.h"
#include "startup/background.h"
#include "support/main_window_rig.h"
#include "support/modal_answerer.h"
#include "support/modal_driver.h"
#include "support/pump_until.h"
#include "ui/begin1.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

void showActive(QWidget &window) {
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

void openLessonShown(MainWindowRig &rig) {
    QVERIFY(rig.library.writeLesson(1, u"One"_s, {u"first"_s, u"second"_s}));
    rig.open();
    showActive(rig.window());
    rig.combo("Combo1")->setCurrentIndex(1);
}

} // namespace

class KeyboardAndExitTest : public QObject {
    Q_OBJECT

private slots:
    void escapeFromAnyControlAsksToExit_data() {
        QTest::addColumn<QString>("control");
        for (const char *name :
             {"Command1", "Text1", "Combo1", "Combo2", "Combo4", "Check1", "Command5"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void escapeFromAnyControlAsksToExit() {
        QFETCH(QString, control);
        MainWindowRig rig;
        openLessonShown(rig);
        auto *widget = rig.window().findChild<QWidget *>(control);
        QVERIFY(widget);
        widget->setFocus();
        QVERIFY(pumpUntil([&] { return QApplication::focusWidget() == widget; }));

        ModalAnswerer answer(QMessageBox::No);
        QTest::keyClick(widget, Qt::Key_Escape);
        QVERIFY(answer.seen().shown);
        QCOMPARE(answer.seen().title, u"Attention!"_s);
        QCOMPARE(answer.seen().text, u"Do you really want to exit?"_s);
        QCOMPARE(answer.seen().icon, QMessageBox::Information);
        QCOMPARE(answer.seen().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(answer.seen().defaultButton, QMessageBox::No);
        QVERIFY(rig.window().isVisible());
    }

    void shiftEscapeBehavesLikeEscape() {
        MainWindowRig rig;
        openLessonShown(rig);
        ModalAnswerer answer(QMessageBox::No);
        QTest::keyClick(rig.text(), Qt::Key_Escape, Qt::ShiftModifier);
        QVERIFY(answer.seen().shown);
    }

    void answeringNoKeepsPlaybackGoing() {
        MainWindowRig rig;
        openLessonShown(rig);
        rig.button("Command5")->click();
        rig.device().finishPlay();
        QVERIFY(rig.repeatWait().isEnabled());
        rig.device().log.clear();
        ModalAnswerer answer(QMessageBox::No);
        rig.button("Command1")->click();
        QVERIFY(answer.seen().shown);
        QVERIFY(rig.device().log.isEmpty());
        QVERIFY(rig.repeatWait().isEnabled());
        QVERIFY(rig.window().isVisible());
    }

    void answeringYesClosesTheDeviceAndTheWindow() {
        MainWindowRig rig;
        openLessonShown(rig);
        rig.button("Command5")->click();
        QSignalSpy exited(&rig.window(), &Begin1::exitConfirmed);
        rig.combo("Combo1")->setFocus();
        QVERIFY(pumpUntil([&] { return QApplication::focusWidget() == rig.combo("Combo1"); }));
        ModalAnswerer answer(QMessageBox::Yes);
        QTest::keyClick(rig.combo("Combo1"), Qt::Key_Escape);
        QVERIFY(answer.seen().shown);
        QCOMPARE(rig.device().commands().last(), u"Close"_s);
        QVERIFY(!rig.window().isVisible());
        QCOMPARE(exited.count(), 1);
    }

    void keypadZeroPlaysOnlyOnceALessonIsLoaded() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(1, u"One"_s, {u"first"_s}));
        rig.open();
        showActive(rig.window());
        rig.device().log.clear();
        QTest::keyClick(rig.button("Command1"), Qt::Key_0, Qt::KeypadModifier);
        QVERIFY(rig.device().log.isEmpty());

        rig.combo("Combo1")->setCurrentIndex(1);
        rig.device().log.clear();
        QTest::keyClick(rig.text(), Qt::Key_0);
        QVERIFY(rig.device().log.isEmpty()); // the main keyboard's 0 is no shortcut
        QTest::keyClick(rig.text(), Qt::Key_Insert, Qt::KeypadModifier); // Num Lock off
        QVERIFY(rig.device().log.isEmpty());
        QTest::keyClick(rig.text(), Qt::Key_0, Qt::KeypadModifier);
        QCOMPARE(rig.device().commands(), (QStringList{u"Close"_s, u"Open"_s, u"Play"_s}));
        QCOMPARE(rig.label("Label1")->text(), u"1 / 1"_s);
    }

    void keysStillReachTheFocusedControl() {
        MainWindowRig rig;
        openLessonShown(rig);
        QComboBox *repeat = rig.combo("Combo2");
        repeat->setFocus();
        QVERIFY(pumpUntil([&] { return QApplication::focusWidget() == repeat; }));
        QTest::keyClick(repeat, Qt::Key_Down);
        QCOMPARE(repeat->currentText(), u"2"_s);
        // A keypad 0 plays and still arrives at the list, which picks "0" by it.
        QTest::keyClick(repeat, Qt::Key_0, Qt::KeypadModifier);
        QCOMPARE(rig.device().plays, 1);
        QCOMPARE(repeat->currentText(), u"0"_s);
    }

    void aboutOpensModalOverTheMainWindowAndEscClosesOnlyIt() {
        MainWindowRig rig;
        openLessonShown(rig);
        rig.button("Command5")->click();
        QString opened;
        QWidget *openedOwner = nullptr;
        ModalDriver driver;
        driver.whenModal(
            [&](QWidget *modal) {
                opened = modal->objectName();
                openedOwner = modal->parentWidget();
                QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal,
                                Qt::Key_Escape);
            },
            &rig.window());
        rig.button("Command2")->click();
        QVERIFY(!driver.timedOut());
        QCOMPARE(opened, u"frmAbout"_s);
        QCOMPARE(openedOwner, &rig.window());
        // Esc went to the About window alone: no exit question, playback on.
        QVERIFY(rig.window().isVisible());
        QVERIFY(rig.device().isPlaying());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void exitClosesBothWindows() {
        LessonLibrary library;
        QVERIFY(library.writeLesson(1, u"One"_s, {u"first"_s}));
        FakePlayback playback;
        Background background([](char *, std::uint32_t) { return std::uint32_t(0); },
                              playback.services());
        InstallRoot = library.root();
        background.show();
        for (int tick = 0; tick < 10; ++tick)
            QVERIFY(playback.timer(0)->fire());
        QPointer<Begin1> main = background.mainWindow();
        QVERIFY(main && main->isVisible());

        ModalAnswerer answer(QMessageBox::Yes);
        main->exitCommand();
        QVERIFY(answer.seen().shown);
        QVERIFY(!background.isVisible());
        // The device goes with the main window: its log is read while it is still there.
        QCOMPARE(playback.device()->commands().last(), u"Close"_s);
        QVERIFY(pumpUntil([&] { return main.isNull(); }));
        InstallRoot.clear();
    }

    // A close request from the desktop (Alt+F4, a taskbar's close), on the main
    // window or on the backdrop, asks as Exit does, during automatic playback
    // too: one question however many requests come, No keeps everything as it
    // was, and nothing closes before Yes.
    void closeRequestFromTheDesktopAsksTheExitQuestion_data() {
        QTest::addColumn<bool>("onBackdrop");
        QTest::addColumn<bool>("yes");
        QTest::newRow("main window, No") << false << false;
        QTest::newRow("backdrop, No") << true << false;
        QTest::newRow("main window, Yes") << false << true;
        QTest::newRow("backdrop, Yes") << true << true;
    }
    void closeRequestFromTheDesktopAsksTheExitQuestion() {
        QFETCH(bool, onBackdrop);
        QFETCH(bool, yes);
        LessonLibrary library;
        QVERIFY(library.writeLesson(1, u"One"_s, {u"first"_s, u"second"_s}));
        FakePlayback playback;
        Background background([](char *, std::uint32_t) { return std::uint32_t(0); },
                              playback.services());
        InstallRoot = library.root();
        background.show();
        for (int tick = 0; tick < 10; ++tick)
            QVERIFY(playback.timer(0)->fire());
        QPointer<Begin1> main = background.mainWindow();
        QVERIFY(main && main->isVisible());
        main->findChild<QComboBox *>(u"Combo1"_s)->setCurrentIndex(1);
        main->playbackCommand();
        QVERIFY(playback.device()->isPlaying());
        playback.device()->log.clear();
        // The device goes with the main window once Yes is answered: its log is
        // kept as it stood at its last change of state.
        QStringList logAtLastChange;
        const QObject watch; // goes before the log it writes to
        FakeSoundDevice *device = playback.device();
        connect(device, &SoundDevice::stateChanged, &watch,
                [&logAtLastChange, device] { logAtLastChange = device->log; });
        QWidget *target = onBackdrop ? static_cast<QWidget *>(&background) : main.data();

        int questions = 0;
        ModalDriver driver;
        driver.whenModal([&](QWidget *modal) {
            ++questions;
            QVERIFY(!target->close()); // a second request while it is up
            QVERIFY(main->isVisible() && background.isVisible());
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box && box->text() == u"Do you really want to exit?"_s);
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QVERIFY(!target->close());
        QVERIFY(pumpUntil([&] { return questions == 1 && !QApplication::activeModalWidget(); }));
        pumpFor(std::chrono::milliseconds(50));
        QCOMPARE(questions, 1);
        QVERIFY(!driver.timedOut());
        if (yes) {
            QVERIFY(!background.isVisible());
            QCOMPARE(logAtLastChange, QStringList{u"Close"_s});
            QVERIFY(pumpUntil([&] { return main.isNull(); }));
        } else {
            QVERIFY(main->isVisible() && background.isVisible());
            QVERIFY(playback.device()->log.isEmpty());
            QVERIFY(playback.device()->isPlaying());
        }
        InstallRoot.clear();
    }
};

QTEST_MAIN(KeyboardAndExitTest)
#include "tst_keyboard_and_exit.moc"
