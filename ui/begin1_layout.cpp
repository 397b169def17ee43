// The main window's controls as designed: positions and sizes in twips,
// colours, fonts, stacking and tab order.
#include "ui/begin1.h"

#include "ui/design_palette.h"
#include "ui/twips.h"
#include "ui/window_accessibility.h"
#include "ui/window_design.h"
#include "ui/window_placement.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

using design::fillBackground;
using design::label;
using design::place;
using design::setTextColour;

using design::kLightCyan;
using design::kLightGreen;
using design::kLightYellow;
using design::kPink;
using design::kWindowGreen;

QFont designFont(const QString &family, double points) {
    return design::font(family, points);
}

// Caption labels size themselves to their text, keeping their right edge
// when right-aligned.
void fitToText(QLabel *l, bool keepRightEdge) {
    const QRect designed = l->geometry();
    l->adjustSize();
    if (keepRightEdge)
        l->move(designed.right() + 1 - l->width(), designed.top());
}

QComboBox *dropDown(QWidget *parent, const char *name, double left, double top, double width,
                    double height, const QColor &colour) {
    auto *combo = new DropDownList(parent);
    place(combo, name, left, top, width, height);
    combo->setEditable(false);
    fillBackground(combo, colour);
    // Long lists must not make the box measure every entry.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(4);
    if (auto *view = qobject_cast<QListView *>(combo->view()))
        view->setUniformItemSizes(true);
    return combo;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, double left, double top,
                    double width, double height) {
    return design::button(parent, name, text, left, top, width, height);
}

} // namespace

void Begin1::createControls() {
    // Without a caption of its own, the window is announced by its title strip.
    // First, before anything makes the toolkit publish it under another role.
    publishWindow(this, u"Vidurivu 2004.10"_s);
    setObjectName(u"Begin1"_s);
    setWindowTitle(QString());
    setFixedSize(twipsToPixels(7380), twipsToPixels(5505));
    {
        // Only the window's own colour: its buttons and scroll bars keep theirs.
        QPalette green = palette();
        green.setColor(QPalette::Window, kWindowGreen);
        setPalette(green);
        setAutoFillBackground(true);
    }
    // The platform's standard dialog font, for every control without its own.
    setFont(designFont(u"MS Sans Serif"_s, 8));
    setWindowIcon(QIcon(u":/icon.png"_s));

    Label3 = label(this, "Label3", u"Vidurivu 2004.10"_s, 0, 0, 7410, 360);
    fillBackground(Label3, kLightYellow);
    setTextColour(Label3, design::kLavender);
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label3->setFont(designFont(u"MS Sans Serif"_s, 13.5));

    Combo1 = dropDown(this, "Combo1", 120, 420, 7155, 315, kLightCyan);
    Combo1->setFont(designFont(u"Microsoft Sans Serif"_s, 8.25));

    Text1 = new QPlainTextEdit(this);
    place(Text1, "Text1", 120, 810, 7155, 3555);
    Text1->setReadOnly(true);
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setTabChangesFocus(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setFont(designFont(u"Times New Roman"_s, 15.75));
    {
        // The highlight of the sentence being played stays visible while the
        // sentence chooser or a button has the focus.
        QPalette palette = Text1->palette();
        palette.setColor(QPalette::Base, kLightGreen);
        for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
            palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
        Text1->setPalette(palette);
    }

    Check1 = new QCheckBox(u"Automatically"_s, this);
    place(Check1, "Check1", 2040, 4470, 1335, 195);
    {
        // A button fills with its Button colour; the tick box keeps its own.
        QPalette green = Check1->palette();
        green.setColor(QPalette::Window, kWindowGreen);
        green.setColor(QPalette::Button, kWindowGreen);
        Check1->setPalette(green);
        Check1->setAutoFillBackground(true);
    }
    Check1->setChecked(true);

    Label4 = label(this, "Label4", u"Repeat"_s, 3480, 4470, 525, 195);
    Label4->setAlignment(Qt::AlignRight | Qt::AlignTop);
    fitToText(Label4, true);
    Combo2 = dropDown(this, "Combo2", 4050, 4410, 555, 315, kLightCyan);
    Label5 = label(this, "Label5", u"times"_s, 4680, 4470, 360, 195);
    fitToText(Label5, false);
    Label6 = label(this, "Label6", u"Interval:"_s, 5220, 4470, 570, 195);
    Label6->setAlignment(Qt::AlignRight | Qt::AlignTop);
    fitToText(Label6, true);
    Combo3 = dropDown(this, "Combo3", 5880, 4410, 855, 315, kLightCyan);
    Label7 = label(this, "Label7", u"MSELs"_s, 6780, 4470, 510, 195);
    fitToText(Label7, false);

    Label1 = label(this, "Label1", QString(), 2040, 4770, 1020, 360);
    fillBackground(Label1, kLightYellow);
    setTextColour(Label1, palette().color(QPalette::WindowText));
    Label1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label1->setLineWidth(1);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setFont(designFont(u"MS Sans Serif"_s, 13.5));

    Combo4 = dropDown(this, "Combo4", 3105, 4770, 1530, 360, kLightGreen);
    // The box drops its own item model for this one.
    m_sentenceEntries = new QStringListModel(Combo4);
    Combo4->setModel(m_sentenceEntries);
    Combo4->setFont(designFont(u"Times New Roman"_s, 10.5));
    Combo4->setEnabled(false);

    Command5 = button(this, "Command5", u"Playback"_s, 4712, 4770, 915, 375);
    Command5->setEnabled(false);
    Command2 = button(this, "Command2", u"About"_s, 5670, 4770, 780, 375);
    Command1 = button(this, "Command1", u"Exit"_s, 6495, 4770, 780, 375);

    Image1 = label(this, "Image1", QString(), 135, 4455, 1800, 900);
    Image1->setPixmap(QPixmap(u":/banner.png"_s));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setScaledContents(false);
    Image1->setToolTip(u"http://www.vovozodo.example/"_s);

    // The progress bar: the fill over the track, the promotional line over both.
    Label8 = label(this, "Label8", QString(), 2040, 5190, 5220, 195);
    fillBackground(Label8, kLightYellow);
    Label9 = label(this, "Label9", QString(), 2040, 5190, 480, 195);
    fillBackground(Label9, kPink);
    m_progressFillTwips = 480;
    Label2 = label(this, "Label2", u"Zurozavo is the best Chinese school online!"_s, 2040, 5190,
                   5175, 195);
    setTextColour(Label2, design::kRed);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label8->raise();
    Label9->raise();
    Label2->raise();

    QWidget::setTabOrder(Command1, Text1);
    QWidget::setTabOrder(Text1, Combo1);
    QWidget::setTabOrder(Combo1, Command2);
    QWidget::setTabOrder(Command2, Command5);
    QWidget::setTabOrder(Command5, Check1);
    QWidget::setTabOrder(Check1, Combo2);
    QWidget::setTabOrder(Combo2, Combo3);
    QWidget::setTabOrder(Combo3, Combo4);

    // A screen reader publishes a drop-down under its current text and a
    // labelled control under its name, so the lists get descriptions and only
    // controls without text of their own get names.
    Combo1->setAccessibleDescription(u"Lesson"_s);
    Combo2->setAccessibleDescription(u"Repeat count"_s);
    Combo3->setAccessibleDescription(u"Pause in milliseconds"_s);
    Combo4->setAccessibleDescription(u"Sentence"_s);
    Text1->setAccessibleName(u"Transcript"_s);
    Label8->setAccessibleDescription(u"Progress of the sentence being played"_s);
    Label9->setAccessibleDescription(u"Part of the sentence already played"_s);
    Image1->setAccessibleName(u"Banner"_s);
}

} // namespace vovozodo
