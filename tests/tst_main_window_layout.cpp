// The main window as designed: geometry in twips, colours, stacking, tab
// order and the state it starts in.
#include "support/main_window_rig.h"
#include "support/pump_until.h"
#include "ui/begin1.h"
#include "ui/twips.h"

#include <QApplication>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

QRectF twipsOf(const QWidget *w) {
    const QRect g = w->geometry();
    return {pixelsToTwips(g.x()), pixelsToTwips(g.y()), pixelsToTwips(g.width()),
            pixelsToTwips(g.height())};
}

// One pixel is 15 twips: a designed size is met when it is within half a pixel.
bool near(double twips, double designed) {
    return qAbs(twips - designed) <= 7.5;
}

void showActive(QWidget &window) {
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

QStringList tabCycle(QWidget &window, int presses) {
    QStringList order;
    for (int i = 0; i < presses; ++i) {
        QWidget *focused = QApplication::focusWidget();
        order << (focused ? focused->objectName() : u"(none)"_s);
        QTest::keyClick(focused ? focused : &window, Qt::Key_Tab);
    }
    return order;
}

} // namespace

class MainWindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void windowIsFramelessAndDesignedSize() {
        MainWindowRig rig;
        rig.open();
        QVERIFY(rig.window().windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(rig.window().size(), QSize(492, 367));
        QCOMPARE(rig.window().minimumSize(), rig.window().maximumSize());
        QCOMPARE(rig.window().palette().color(QPalette::Window), QColor(0, 192, 0));
        QVERIFY(rig.window().windowTitle().isEmpty());
    }

    void controlsStandWhereDesigned_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRectF>("designed");
        const auto row = [](const char *name, double l, double t, double w, double h) {
            QTest::newRow(name) << QString::fromLatin1(name) << QRectF(l, t, w, h);
        };
        row("Label3", 0, 0, 7410, 360);
        row("Combo1", 120, 420, 7155, 315);
        row("Text1", 120, 810, 7155, 3555);
        row("Check1", 2040, 4470, 1335, 195);
        row("Combo2", 4050, 4410, 555, 315);
        row("Combo3", 5880, 4410, 855, 315);
        row("Label1", 2040, 4770, 1020, 360);
        row("Combo4", 3105, 4770, 1530, 360);
        row("Command5", 4712, 4770, 915, 375);
        row("Command2", 5670, 4770, 780, 375);
        row("Command1", 6495, 4770, 780, 375);
        row("Image1", 135, 4455, 1800, 900);
        row("Label8", 2040, 5190, 5220, 195);
        row("Label9", 2040, 5190, 480, 195);
        row("Label2", 2040, 5190, 5175, 195);
    }
    void controlsStandWhereDesigned() {
        QFETCH(QString, name);
        QFETCH(QRectF, designed);
        MainWindowRig rig;
        rig.open();
        const auto *control = rig.window().findChild<QWidget *>(name);
        QVERIFY(control);
        const QRectF actual = twipsOf(control);
        QVERIFY2(near(actual.x(), designed.x()) && near(actual.y(), designed.y()) &&
                     near(actual.width(), designed.width()) &&
                     near(actual.height(), designed.height()),
                 qPrintable(u"%1 stands at %2,%3 %4x%5 twips"_s.arg(name)
                                .arg(actual.x())
                                .arg(actual.y())
                                .arg(actual.width())
                                .arg(actual.height())));
    }

    void captionsSizeToTheirTextFromTheirDesignedEdge() {
        MainWindowRig rig;
        rig.open();
        // Left-aligned captions keep their left edge, right-aligned ones their right edge.
        QVERIFY(near(twipsOf(rig.label("Label5")).x(), 4680));
        QVERIFY(near(twipsOf(rig.label("Label7")).x(), 6780));
        QVERIFY(near(twipsOf(rig.label("Label4")).right(), 3480 + 525));
        QVERIFY(near(twipsOf(rig.label("Label6")).right(), 5220 + 570));
        for (const char *name : {"Label4", "Label5", "Label6", "Label7"}) {
            QLabel *caption = rig.label(name);
            QVERIFY(caption->width() >= caption->sizeHint().width());
            QVERIFY(!caption->autoFillBackground());
        }
        QCOMPARE(rig.label("Label4")->text(), u"Repeat"_s);
        QCOMPARE(rig.label("Label5")->text(), u"times"_s);
        QCOMPARE(rig.label("Label6")->text(), u"Interval:"_s);
        QCOMPARE(rig.label("Label7")->text(), u"MSELs"_s);
    }

    void textsAndColours() {
        MainWindowRig rig;
        rig.open();
        QCOMPARE(rig.label("Label3")->text(), u"Vidurivu 2004.10"_s);
        QCOMPARE(rig.label("Label2")->text(), u"Zurozavo is the best Chinese school online!"_s);
        QCOMPARE(rig.check()->text(), u"Automatically"_s);
        QCOMPARE(rig.button("Command5")->text(), u"Playback"_s);
        QCOMPARE(rig.button("Command2")->text(), u"About"_s);
        QCOMPARE(rig.button("Command1")->text(), u"Exit"_s);
        QCOMPARE(rig.label("Label3")->palette().color(QPalette::Window), QColor(255, 255, 192));
        QCOMPARE(rig.label("Label3")->palette().color(QPalette::WindowText), QColor(128, 128, 255));
        QCOMPARE(rig.label("Label9")->palette().color(QPalette::Window), QColor(255, 192, 192));
        QCOMPARE(rig.label("Label2")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(rig.text()->palette().color(QPalette::Base), QColor(192, 255, 192));
        QCOMPARE(rig.combo("Combo1")->palette().color(QPalette::Button), QColor(192, 255, 255));
        QCOMPARE(rig.combo("Combo4")->palette().color(QPalette::Button), QColor(192, 255, 192));
        QCOMPARE(rig.text()->font().family(), u"Times New Roman"_s);
        QCOMPARE(rig.text()->font().pointSizeF(), 15.75);
        QVERIFY(!rig.text()->font().bold());
        for (const char *name : {"Command1", "Command2", "Command5"})
            QVERIFY(!rig.button(name)->isDefault());
    }

    void progressBarLabelsAreStackedFillOverTrackUnderText() {
        MainWindowRig rig;
        rig.open();
        const QObjectList stack = rig.window().children();
        const qsizetype track = stack.indexOf(rig.label("Label8"));
        const qsizetype fill = stack.indexOf(rig.label("Label9"));
        const qsizetype text = stack.indexOf(rig.label("Label2"));
        QVERIFY(track < fill);
        QVERIFY(fill < text);
    }

    void transcriptIsReadOnlyButSelectableAndKeepsItsHighlight() {
        MainWindowRig rig;
        rig.open();
        QPlainTextEdit *text = rig.text();
        QVERIFY(text->isReadOnly());
        QVERIFY(text->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
        QVERIFY(text->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        const QPalette palette = text->palette();
        QCOMPARE(palette.color(QPalette::Inactive, QPalette::Highlight),
                 palette.color(QPalette::Active, QPalette::Highlight));
        for (const char *name : {"Combo1", "Combo2", "Combo3", "Combo4"})
            QVERIFY(!rig.combo(name)->isEditable());
    }

    void tabOrderSkipsDisabledControlsAndWraps() {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(1, u"One"_s, {u"first"_s}));
        rig.open();
        showActive(rig.window());
        QCOMPARE(QApplication::focusWidget(), rig.button("Command1"));
        QCOMPARE(tabCycle(rig.window(), 8),
                 (QStringList{u"Command1"_s, u"Text1"_s, u"Combo1"_s, u"Command2"_s, u"Check1"_s,
                              u"Combo2"_s, u"Combo3"_s, u"Command1"_s}));
        rig.combo("Combo1")->setCurrentIndex(1);
        rig.button("Command1")->setFocus();
        QVERIFY(pumpUntil([&] { return QApplication::focusWidget() == rig.button("Command1"); }));
        QCOMPARE(tabCycle(rig.window(), 10),
                 (QStringList{u"Command1"_s, u"Text1"_s, u"Combo1"_s, u"Command2"_s, u"Command5"_s,
                              u"Check1"_s, u"Combo2"_s, u"Combo3"_s, u"Combo4"_s, u"Command1"_s}));
    }

    void screenReadersCanTellTheControlsApart() {
        MainWindowRig rig;
        rig.open();
        QCOMPARE(rig.combo("Combo1")->accessibleDescription(), u"Lesson"_s);
        QCOMPARE(rig.combo("Combo2")->accessibleDescription(), u"Repeat count"_s);
        QCOMPARE(rig.combo("Combo3")->accessibleDescription(), u"Pause in milliseconds"_s);
        QCOMPARE(rig.combo("Combo4")->accessibleDescription(), u"Sentence"_s);
        QCOMPARE(rig.text()->accessibleName(), u"Transcript"_s);
        // Labels that show text are published by that text.
        for (const char *name :
             {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7"})
            QVERIFY(rig.label(name)->accessibleName().isEmpty());
    }

    void rendersItsColoursWhereDesigned() {
        MainWindowRig rig;
        rig.open();
        showActive(rig.window());
        const QImage shot = rig.window().grab().toImage();
        QCOMPARE(shot.size(), QSize(492, 367));
        const auto at = [&](double leftTwips, double topTwips) {
            return QColor(shot.pixel(twipsToPixels(leftTwips), twipsToPixels(topTwips)));
        };
        QCOMPARE(at(60, 4000), QColor(0, 192, 0));       // window, left of the transcript
        QCOMPARE(at(30, 30), QColor(255, 255, 192));     // title strip
        QCOMPARE(at(2055, 5205), QColor(255, 192, 192)); // progress fill before any play
        QCOMPARE(at(7200, 5205), QColor(255, 255, 192)); // progress track
        const QColor banner = at(135 + 60, 4455 + 60);   // the banner's red edge
        QVERIFY(banner.red() > 150 && banner.green() < 100);
        QCOMPARE(rig.label("Image1")->pixmap().size(), QSize(120, 60));
    }
};

QTEST_MAIN(MainWindowLayoutTest)
#include "tst_main_window_layout.moc"
