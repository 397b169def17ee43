// The About window and the user notice it opens: their looks, keys and
// stacking over their owners.
#include "support/modal_driver.h"
#include "support/pump_until.h"
#include "ui/about_window.h"
#include "ui/notice_window.h"
#include "ui/twips.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

QPushButton *button(QWidget *window, const QString &name) {
    return window->findChild<QPushButton *>(name);
}

QString caption(const QWidget *control) {
    if (const auto *l = qobject_cast<const QLabel *>(control))
        return l->text();
    if (const auto *b = qobject_cast<const QAbstractButton *>(control))
        return b->text();
    return {};
}

// Every control's name, caption and geometry, in creation order.
QStringList snapshot(const QWidget *window) {
    QStringList lines{window->objectName() + u'|' + window->windowTitle()};
    for (const QWidget *w : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const QRect g = w->geometry();
        lines << u"%1|%2|%3,%4 %5x%6"_s.arg(w->objectName(), caption(w))
                     .arg(g.x())
                     .arg(g.y())
                     .arg(g.width())
                     .arg(g.height());
    }
    return lines;
}

} // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT

    QWidget m_owner;

private slots:
    void initTestCase() {
        m_owner.setGeometry(100, 80, 560, 420);
        m_owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_owner));
    }

    void controlsSitWhereDesigned() {
        FrmAbout about(&m_owner);
        Notice1 notice(&about);
        notice.setMessage(FrmAbout::noticeText());
        QCOMPARE(about.size(), QSize(twipsToPixels(5595), twipsToPixels(3195)));
        QCOMPARE(notice.size(), QSize(twipsToPixels(5625), twipsToPixels(4245)));
        QCOMPARE(notice.windowTitle(), u"Notice for Users"_s);

        // Width 0: a label that sizes itself to its caption from its corner.
        const struct {
            QWidget *window;
            QString name, caption;
            int left, top, width, height;
        } controls[] = {
            {&about, u"picIcon"_s, {}, 240, 360, 480, 480},
            {&about, u"lblTitle"_s, u"Vovozodo"_s, 900, 420, 0, 0},
            {&about, u"lblVersion"_s, u"No. 2 (2004.10)"_s, 930, 990, 0, 0},
            {&about, u"lblDescription0"_s, u"Developer: The Vovozodo Team"_s, 915, 1380, 0, 0},
            {&about, u"lblDescription1"_s, u"Tel\uFF1A+1 555 0100"_s, 915, 1740, 0, 0},
            {&about, u"lblDescription2"_s, u"E-mail: team@vovozodo.example"_s, 915, 2130, 0, 0},
            {&about, u"lblDisclaimer"_s, u"Announcement: It's a free software."_s, 240, 2640, 0, 0},
            {&about, u"Command1"_s, u"My Words"_s, 3480, 2640, 960, 315},
            {&about, u"Command2"_s, u"OK"_s, 4500, 2640, 975, 315},
            {&notice, u"Label2"_s, u"My Words"_s, 0, 0, 5640, 300},
            {&notice, u"Label1"_s, FrmAbout::noticeText(), 180, 465, 5325, 3180},
            {&notice, u"OKButton"_s, u"OK"_s, 2250, 3795, 1155, 375},
        };
        for (const auto &c : controls) {
            const QWidget *w = c.window->findChild<QWidget *>(c.name);
            QVERIFY2(w, qPrintable(c.name));
            QCOMPARE(caption(w), c.caption);
            const QRect designed = twipsRect(c.left, c.top, c.width, c.height);
            QCOMPARE(c.width ? w->geometry() : QRect(w->pos(), QSize()),
                     c.width ? designed : QRect(designed.topLeft(), QSize()));
        }
        QCOMPARE(about.findChild<QLabel *>(u"picIcon"_s)->pixmap().size(), QSize(32, 32));
        // The notice text fits its fixed label, wrapped lines included.
        const auto *text = notice.findChild<QLabel *>(u"Label1"_s);
        QVERIFY(text->heightForWidth(text->width()) <= text->height());
    }

    void separatorIsEtchedAtItsDesignedRows() {
        FrmAbout about(&m_owner);
        const QImage image = about.grab().toImage();
        const QColor yellow(255, 255, 192), grey(128, 128, 128), white(Qt::white);
        const int y = twipsToPixels(2490), x = twipsToPixels(3000);
        const QList<QColor> column{yellow, grey, white, white, yellow};
        for (int row = 0; row < column.size(); ++row)
            QCOMPARE(image.pixelColor(x, y - 1 + row), column.at(row));
        // The grey starts further left; both stop short of their end point.
        QCOMPARE(image.pixelColor(twipsToPixels(90), y), grey);
        QCOMPARE(image.pixelColor(twipsToPixels(90), y + 1), yellow);
        QCOMPARE(image.pixelColor(twipsToPixels(5460), y), yellow);
    }

    // A close request from the desktop does what OK does.
    void okHasTheFocusAndEnterOrACloseRequestClosesOnlyTheAboutWindow_data() {
        QTest::addColumn<bool>("closeRequest");
        QTest::newRow("Enter") << false;
        QTest::newRow("close request") << true;
    }
    void okHasTheFocusAndEnterOrACloseRequestClosesOnlyTheAboutWindow() {
        QFETCH(bool, closeRequest);
        ModalDriver driver;
        QString focus;
        QPoint centre;
        int result = -1;
        driver.whenModal([&](QWidget *about) {
            centre = about->geometry().center();
            focus = QApplication::focusWidget()->objectName();
            QObject::connect(static_cast<QDialog *>(about), &QDialog::finished,
                             [&](int r) { result = r; });
            if (closeRequest)
                QVERIFY(about->close());
            else
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        FrmAbout::showModal(&m_owner);
        QVERIFY(!driver.timedOut());
        QCOMPARE(focus, u"Command2"_s);
        QCOMPARE(centre, m_owner.geometry().center());
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(m_owner.isVisible());
    }

    // Key preview: Esc closes the window whichever button has the focus, even
    // one held down by Space, which would otherwise take the Esc itself.
    void escClosesTheAboutWindowWhicheverButtonHasTheFocus_data() {
        QTest::addColumn<QString>("focused");
        QTest::addColumn<bool>("heldDown");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("OK") << u"Command2"_s << false << Qt::KeyboardModifiers();
        QTest::newRow("My Words, Shift+Esc")
            << u"Command1"_s << false << Qt::KeyboardModifiers(Qt::ShiftModifier);
        QTest::newRow("My Words held down") << u"Command1"_s << true << Qt::KeyboardModifiers();
    }
    void escClosesTheAboutWindowWhicheverButtonHasTheFocus() {
        QFETCH(QString, focused);
        QFETCH(bool, heldDown);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        FrmAbout about(&m_owner);
        QSignalSpy finished(&about, &QDialog::finished);
        QSignalSpy myWords(button(&about, u"Command1"_s), &QPushButton::clicked);
        ModalDriver driver;
        driver.whenModal([&](QWidget *) {
            QPushButton *b = button(&about, focused);
            b->setFocus();
            if (heldDown)
                QTest::keyPress(b, Qt::Key_Space);
            QTest::keyClick(b, Qt::Key_Escape, modifiers);
        });
        about.exec();
        QVERIFY(!driver.timedOut());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(myWords.count(), 0);
    }

    void myWordsOpensTheNoticeOverTheAboutWindow() {
        ModalDriver driver;
        QString noticeName, focusInNotice, text;
        QPoint noticeCentre, aboutCentre;
        bool ownedByAbout = false, staysOnEsc = false, aboutBackOnTop = false;
        driver.whenModal([&](QWidget *about) {
            aboutCentre = about->geometry().center();
            driver.whenModal(
                [&](QWidget *notice) {
                    noticeName = notice->objectName();
                    ownedByAbout = notice->parentWidget() == about;
                    noticeCentre = notice->geometry().center();
                    text = caption(notice->findChild<QLabel *>(u"Label1"_s));
                    focusInNotice = QApplication::focusWidget()->objectName();
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                    notice->close();
                    pumpFor(std::chrono::milliseconds(20));
                    staysOnEsc = QApplication::activeModalWidget() == notice;
                    if (staysOnEsc)
                        QTest::keyClick(notice->focusWidget(), Qt::Key_Space);
                },
                about);
            QTest::keyClick(button(about, u"Command1"_s), Qt::Key_Space);
            aboutBackOnTop = QApplication::activeModalWidget() == about;
            button(about, u"Command2"_s)->click();
        });
        FrmAbout::showModal(&m_owner);
        QVERIFY(!driver.timedOut());
        QCOMPARE(noticeName, u"Notice1"_s);
        QVERIFY(ownedByAbout);
        QCOMPARE(noticeCentre, aboutCentre);
        QCOMPARE(focusInNotice, u"OKButton"_s);
        QVERIFY(staysOnEsc);
        QVERIFY(aboutBackOnTop);

        // Eight lines, seven CR LF between them, each led by exactly five blanks.
        QCOMPARE(text.count(u'\n'), 7);
        QCOMPARE(text.count(u'\r'), 7);
        const QStringList lines = text.split(u"\r\n"_s);
        QCOMPARE(lines.size(), 8);
        for (const QString &line : lines)
            QVERIFY2(line.startsWith(u"     "_s) && !line.at(5).isSpace(), qPrintable(line));
        QCOMPARE(lines.at(6), u"     6. Shortcut: Playback 0; Exit Esc."_s);
        QCOMPARE(lines.at(7), u"     Enjoy!"_s);
    }

    void everyOpeningStartsFromTheDesign() {
        QList<QStringList> shown;
        for (int opening = 0; opening < 2; ++opening) {
            ModalDriver driver;
            driver.whenModal([&](QWidget *about) {
                shown << snapshot(about);
                driver.whenModal(
                    [&](QWidget *notice) {
                        shown << snapshot(notice);
                        button(notice, u"OKButton"_s)->click();
                    },
                    about);
                button(about, u"Command1"_s)->click();
                QTest::keyClick(about->focusWidget(), Qt::Key_Escape);
            });
            FrmAbout::showModal(&m_owner);
            QVERIFY(!driver.timedOut());
        }
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown.at(2), shown.at(0));
        QCOMPARE(shown.at(3), shown.at(1));
        QVERIFY(m_owner.findChildren<QDialog *>().isEmpty());
    }
};

QTEST_MAIN(AboutWindowTest)
#include "tst_about_window.moc"
