#include "ui/about_window.h"

#include "ui/design_palette.h"
#include "ui/key_codes.h"
#include "ui/notice_window.h"
#include "ui/window_accessibility.h"
#include "ui/window_design.h"
#include "ui/window_placement.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

using design::kBlue;
using design::kLightYellow;
using design::kRed;

// Labels grow from their top-left corner to fit their caption.
QLabel *captionLabel(QWidget *parent, const char *name, const QString &text, double left,
                     double top, double width, double height, const QColor &colour, double points) {
    QLabel *l = design::label(parent, name, text, left, top, width, height);
    design::setTextColour(l, colour);
    l->setFont(design::font(u"Microsoft Sans Serif"_s, points));
    l->adjustSize();
    return l;
}

} // namespace

void FrmAbout::showModal(QWidget *owner) {
    // The owner may go away while the window is open; the pointer then
    // follows the window into deletion.
    QPointer<FrmAbout> about = new FrmAbout(owner);
    about->exec();
    delete about;
}

FrmAbout::FrmAbout(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(u"frmAbout"_s);
    setWindowTitle(QString());
    publishWindow(this, u"About Vovozodo"_s);
    setFixedSize(twipsToPixels(5595), twipsToPixels(3195));
    design::fillBackground(this, kLightYellow);

    m_icon = design::label(this, "picIcon", QString(), 240, 360, 480, 480);
    m_icon->setPixmap(QPixmap(u":/icon.png"_s));
    m_icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    design::fillBackground(m_icon, kLightYellow);
    m_icon->setAccessibleName(u"Vovozodo icon"_s);

    m_title = captionLabel(this, "lblTitle", u"Vovozodo"_s, 900, 420, 4440, 375, design::kDarkGreen,
                           15.75);
    m_version =
        captionLabel(this, "lblVersion", u"No. 2 (2004.10)"_s, 930, 990, 1500, 255, kBlue, 10.5);
    m_description[0] = captionLabel(this, "lblDescription0", u"Developer: The Vovozodo Team"_s, 915,
                                    1380, 2925, 255, kRed, 10.5);
    m_description[1] = captionLabel(this, "lblDescription1", u"Tel\uFF1A+1 555 0100"_s, 915, 1740,
                                    2220, 255, kBlue, 10.5);
    m_description[2] = captionLabel(this, "lblDescription2", u"E-mail: team@vovozodo.example"_s,
                                    915, 2130, 3390, 255, kRed, 10.5);
    m_disclaimer = captionLabel(this, "lblDisclaimer", u"Announcement: It's a free software."_s,
                                240, 2640, 2505, 195, design::kDarkGreen, 8.25);

    // Created in tab order: OK first, so it also has the focus on opening.
    m_okButton = design::button(this, "Command2", u"OK"_s, 4500, 2640, 975, 315);
    m_myWordsButton = design::button(this, "Command1", u"My Words"_s, 3480, 2640, 960, 315);

    // Key preview: the window sees a key before the focused button does.
    installEventFilter(this);
    m_myWordsButton->installEventFilter(this);
    m_okButton->installEventFilter(this);

    connect(m_myWordsButton, &QPushButton::clicked, this, &FrmAbout::onMyWordsClicked);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

QString FrmAbout::noticeText() {
    return u"     Hello, everyone! Welcome to use this freeware.\r\n"
           "     1. You must first make sure that your computer can correctly display Chinese "
           "characters.\r\n"
           "     2. Vovozodo is a free electronical monthly.\r\n"
           "     3. These 15 articles are collected from Chinese newspapers and are read by me.\r\n"
           "     4. I hope that you can enjoy them. Could you tell me your comment via email?\r\n"
           "     5. You may replace these files with your own files, if you find that they "
           "cannot meet your need.\r\n"
           "     6. Shortcut: Playback 0; Exit Esc.\r\n"
           "     Enjoy!"_s;
}

void FrmAbout::onMyWordsClicked() {
    // The notice is made afresh each time; if this window goes away while the
    // notice is up, the notice goes with it and nothing here is touched again.
    QPointer<Notice1> notice = new Notice1(this);
    notice->setMessage(noticeText());
    notice->exec();
    delete notice;
}

bool FrmAbout::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress &&
        onKeyDown(virtualKeyCode(*static_cast<QKeyEvent *>(event))))
        return true;
    return QDialog::eventFilter(watched, event);
}

// Returns whether the key was taken; any other key goes on to the focused
// button. Esc is taken so that a button held down by Space cannot swallow it.
bool FrmAbout::onKeyDown(int keyCode) {
    if (keyCode != kVirtualKeyEscape)
        return false;
    done(QDialog::Rejected);
    return true;
}

void FrmAbout::paintEvent(QPaintEvent *event) {
    QDialog::paintEvent(event);
    // The etched separator: a grey line with a 2-pixel white line just below
    // it. Each runs from its first point up to, not including, its last; the
    // white pen grows downwards so it never covers the grey.
    QPainter painter(this);
    const int x2 = twipsToPixels(5460);
    const int greyY = twipsToPixels(2490);
    const int greyX = twipsToPixels(90);
    painter.fillRect(greyX, greyY, x2 - greyX, 1, design::kGrey);
    const int whiteY = twipsToPixels(2505);
    const int whiteX = twipsToPixels(135);
    painter.fillRect(whiteX, whiteY, x2 - whiteX, 2, Qt::white);
}

void FrmAbout::closeEvent(QCloseEvent *event) {
    accept();
    event->accept();
}

void FrmAbout::showEvent(QShowEvent *event) {
    placement::centreOnOwner(this);
    m_okButton->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

} // namespace vovozodo
