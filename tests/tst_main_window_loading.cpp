// The main window's load (catalogue, settings lists) and the loading of a
// lesson through the lesson chooser.
#include "support/main_window_rig.h"
#include "support/modal_answerer.h"
#include "ui/begin1.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {
QStringList itemsOf(const QComboBox *combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}
} // namespace

class MainWindowLoadingTest : public QObject {
    Q_OBJECT

private slots:
    void loadFillsListsAndOpensNothing() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(2, u"  Lesson two "_s, {u"a"_s, u"b"_s}));
        rig.open();
        QVERIFY(rig.device().log.isEmpty());
        const QComboBox *lessons = rig.combo("Combo1");
        QCOMPARE(lessons->count(), 16);
        QCOMPARE(lessons->currentIndex(), 0);
        QCOMPARE(lessons->itemText(2), u"2. Lesson two"_s);
        QCOMPARE(lessons->itemText(1), u"1. Error: The script file has not been found."_s);
        QVERIFY(rig.window().lessonValid(2));
        QVERIFY(!rig.window().lessonValid(0));
        QVERIFY(!rig.window().lessonValid(1));

        QCOMPARE(itemsOf(rig.combo("Combo2")),
                 (QStringList{u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
        QCOMPARE(rig.combo("Combo2")->currentText(), u"1"_s);
        QCOMPARE(itemsOf(rig.combo("Combo3")),
                 (QStringList{u"500"_s, u"1000"_s, u"2000"_s, u"3000"_s, u"4000"_s}));
        QCOMPARE(rig.combo("Combo3")->currentText(), u"500"_s);
        QVERIFY(rig.check()->isChecked());
        QVERIFY(rig.combo("Combo2")->isEnabled());
        QVERIFY(!rig.combo("Combo4")->isEnabled());
        QCOMPARE(rig.combo("Combo4")->count(), 0);
        QVERIFY(!rig.button("Command5")->isEnabled());
        QVERIFY(rig.label("Label1")->text().isEmpty());
        QVERIFY(rig.text()->toPlainText().isEmpty());
        QCOMPARE(rig.window().progressFillTwips(), 480.0);
        QVERIFY(!rig.label("Label9")->isHidden());
        for (int i = 0; i < 3; ++i)
            QVERIFY(!rig.playback.timer(i)->isEnabled());
    }

    void automaticallyEnablesAndDisablesTheSettingLists() {
        MainWindowRig rig;
        rig.open();
        rig.combo("Combo2")->setCurrentIndex(3);
        rig.check()->click();
        QVERIFY(!rig.combo("Combo2")->isEnabled());
        QVERIFY(!rig.combo("Combo3")->isEnabled());
        QCOMPARE(rig.combo("Combo2")->currentText(), u"3"_s);
        rig.check()->click();
        QVERIFY(rig.combo("Combo2")->isEnabled());
        QVERIFY(rig.combo("Combo3")->isEnabled());

        // A screen reader toggles the box through its action, without a click, and
        // reads the lists' state back through their interfaces.
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(rig.check());
        QVERIFY(box && box->actionInterface());
        const auto listsEnabled = [&] {
            const bool repeat =
                !QAccessible::queryAccessibleInterface(rig.combo("Combo2"))->state().disabled;
            const bool pause =
                !QAccessible::queryAccessibleInterface(rig.combo("Combo3"))->state().disabled;
            return repeat == pause ? std::optional(repeat) : std::nullopt;
        };
        box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(!box->state().checked);
        QCOMPARE(listsEnabled(), std::optional(false));
        box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(box->state().checked);
        QCOMPARE(listsEnabled(), std::optional(true));
    }

    void choosingALessonComposesTheTranscript() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(3, u"Title"_s,
                                        {u"  Head  "_s, u"  one"_s, u"two"_s, u"  three"_s}));
        rig.open();
        rig.device().log.clear();
        rig.combo("Combo1")->setCurrentIndex(3);

        QCOMPARE(rig.window().loadedLesson(), 3);
        QCOMPARE(rig.window().scriptLines(),
                 (QStringList{u"Head"_s, u"  one"_s, u"two"_s, u"  three"_s}));
        // "Head" is 16 wide: (85 - 16) / 2 = 34 spaces.
        QCOMPARE(rig.text()->toPlainText(), QString(34, u' ') + u"Head\n  onetwo\n  three"_s);
        QCOMPARE(itemsOf(rig.combo("Combo4")),
                 (QStringList{u"--- Select ---"_s, u"1. Head..."_s, u"2. one..."_s, u"3. two..."_s,
                              u"4. thre..."_s}));
        QCOMPARE(rig.combo("Combo4")->currentIndex(), 0);
        QVERIFY(rig.combo("Combo4")->isEnabled());
        QVERIFY(rig.button("Command5")->isEnabled());
        QCOMPARE(rig.label("Label1")->text(), u"0 / 4"_s);
        QCOMPARE(rig.window().cycle().currentSentence, 0);
        QCOMPARE(rig.window().cycle().playCount, 0);
        QCOMPARE(rig.device().commands(), QStringList{u"Close"_s});
        QVERIFY(rig.label("Label9")->isHidden());
        QCOMPARE(rig.window().progressFillTwips(), 13.0);
        QCOMPARE(QApplication::focusWidget() == rig.text() ||
                     rig.window().focusWidget() == rig.text(),
                 true);
    }

    void guardIgnoresPromptLoadedLessonAndErrorEntries() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(1, u"One"_s, {u"a"_s}));
        QVERIFY(rig.library.writeTranscript(2, {u"Two"_s, u"a"_s})); // no sound file
        rig.open();
        rig.combo("Combo1")->setCurrentIndex(1);
        const QString text = rig.text()->toPlainText();
        rig.device().log.clear();

        for (int position : {2, 5, 1, 0}) {
            rig.combo("Combo1")->setCurrentIndex(position);
            QCOMPARE(rig.combo("Combo1")->currentIndex(), position);
            QCOMPARE(rig.window().loadedLesson(), 1);
            QCOMPARE(rig.text()->toPlainText(), text);
        }
        QVERIFY(rig.device().log.isEmpty());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void aShorterLessonReplacesTheSentenceChooser() {
        MainWindowRig rig;
        QStringList nine, five;
        for (int i = 1; i <= 9; ++i)
            nine << u"s"_s + QString::number(i);
        for (int i = 1; i <= 5; ++i)
            five << u"t"_s + QString::number(i);
        QVERIFY(rig.library.writeLesson(1, u"Nine"_s, nine));
        QVERIFY(rig.library.writeLesson(2, u"Five"_s, five));
        rig.open();
        rig.combo("Combo1")->setCurrentIndex(1);
        QCOMPARE(rig.combo("Combo4")->count(), 10);
        rig.combo("Combo1")->setCurrentIndex(2);
        QCOMPARE(rig.combo("Combo4")->count(), 6);
        QCOMPARE(rig.label("Label1")->text(), u"0 / 5"_s);
    }

    // What Windows editors save as "Unicode": UTF-16 with a byte-order mark.
    void utf16TranscriptIsReadAsItsText_data() {
        QTest::addColumn<int>("encoding");
        QTest::newRow("little-endian") << int(QStringConverter::Utf16LE);
        QTest::newRow("big-endian") << int(QStringConverter::Utf16BE);
    }
    void utf16TranscriptIsReadAsItsText() {
        QFETCH(int, encoding);
        MainWindowRig rig;
        QStringEncoder encode(QStringConverter::Encoding(encoding),
                              QStringConverter::Flag::WriteBom);
        const QByteArray bytes = encode(u"第一课\r\n今天很冷。\r\n明天下雪。\r\n"_s);
        QVERIFY(rig.library.writeRaw(1, u"script.txt"_s, bytes));
        QVERIFY(rig.library.writeSoundFiles(1, 1, 2));
        rig.open();
        QCOMPARE(rig.combo("Combo1")->itemText(1), u"1. 第一课"_s);
        rig.combo("Combo1")->setCurrentIndex(1);
        QCOMPARE(rig.window().scriptLines(), (QStringList{u"今天很冷。"_s, u"明天下雪。"_s}));
    }

    void lessonWithOnlyATitleShowsAnEmptyTranscript() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeTranscript(4, {u"Just a title"_s}));
        rig.open();
        rig.combo("Combo1")->setCurrentIndex(4);
        QCOMPARE(rig.window().loadedLesson(), 4);
        QCOMPARE(rig.text()->toPlainText(), QString());
        QCOMPARE(itemsOf(rig.combo("Combo4")), QStringList{u"--- Select ---"_s});
        QCOMPARE(rig.label("Label1")->text(), u"0 / 0"_s);
        // Playback has nothing to play.
        rig.device().log.clear();
        rig.button("Command5")->click();
        QVERIFY(rig.device().log.isEmpty());
    }

    void vanishedTranscriptWarnsAndKeepsThePreviousLessonPlaying() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(1, u"One"_s, {u"a"_s, u"b"_s}));
        QVERIFY(rig.library.writeLesson(2, u"Two"_s, {u"c"_s}));
        rig.open();
        rig.combo("Combo1")->setCurrentIndex(1);
        rig.button("Command5")->click();
        QVERIFY(rig.device().isPlaying());
        QVERIFY(QFile::remove(rig.library.lessonFolder(2) + u"/script.txt"_s));
        const QString text = rig.text()->toPlainText();
        rig.device().log.clear();

        ModalAnswerer answer(QMessageBox::Ok);
        rig.combo("Combo1")->setCurrentIndex(2);

        QVERIFY(answer.seen().shown);
        QCOMPARE(answer.seen().title, u"Warning!"_s);
        QCOMPARE(answer.seen().text, u"The file 'script.txt' doesn't exist!"_s);
        QCOMPARE(answer.seen().icon, QMessageBox::Warning);
        QCOMPARE(answer.seen().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(rig.combo("Combo1")->currentIndex(), 1);
        QCOMPARE(rig.window().loadedLesson(), 1);
        QCOMPARE(rig.text()->toPlainText(), text);
        QVERIFY(rig.device().log.isEmpty());
        QVERIFY(rig.device().isPlaying());
        QVERIFY(rig.progressTick().isEnabled());
    }

    void vanishedTranscriptBeforeAnyLoadReturnsToThePrompt() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(2, u"Two"_s, {u"c"_s}));
        rig.open();
        QVERIFY(QFile::remove(rig.library.lessonFolder(2) + u"/script.txt"_s));
        ModalAnswerer answer(QMessageBox::Ok);
        rig.combo("Combo1")->setCurrentIndex(2);
        QVERIFY(answer.seen().shown);
        QCOMPARE(rig.combo("Combo1")->currentIndex(), 0);
        QCOMPARE(rig.window().loadedLesson(), 0);
        QVERIFY(!rig.button("Command5")->isEnabled());
    }

    void loadingALessonStopsPlaybackAndWaits() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(1, u"One"_s, {u"a"_s, u"b"_s}));
        QVERIFY(rig.library.writeLesson(2, u"Two"_s, {u"c"_s}));
        rig.open();
        rig.combo("Combo1")->setCurrentIndex(1);
        rig.button("Command5")->click();
        rig.device().finishPlay();
        QVERIFY(rig.repeatWait().isEnabled());
        rig.combo("Combo1")->setCurrentIndex(2);
        QVERIFY(!rig.repeatWait().isEnabled());
        QVERIFY(!rig.advanceWait().isEnabled());
        QVERIFY(!rig.progressTick().isEnabled());
        QVERIFY(!rig.device().isPlaying());
        QCOMPARE(rig.window().cycle().playCount, 0);
    }
};

QTEST_MAIN(MainWindowLoadingTest)
#include "tst_main_window_loading.moc"
