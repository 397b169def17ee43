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

// The edge a caption keeps when it sizes itself to its text: one before a
// box is right-aligned and still ends where the box begins.
enum class Anchor { Left, Right };

QLabel *caption(QWidget *parent, const char *name, const QString &text, double left, double top,
                double width, double height, Anchor anchor) {
    QLabel *l = label(parent, name, text, left, top, width, height);
    if (anchor == Anchor::Right)
        l->setAlignment(Qt::AlignRight | Qt::AlignTop);
    const QRect designed = l->geometry();
    l->adjustSize();
    if (anchor == Anchor::Right)
        l->move(designed.right() + 1 - l->width(), designed.top());
    return l;
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

    m_title = label(this, "Label3", u"Vidurivu 2004.10"_s, 0, 0, 7410, 360);
    fillBackground(m_title, kLightYellow);
    setTextColour(m_title, design::kLavender);
    m_title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_title->setFont(designFont(u"MS Sans Serif"_s, 13.5));

    m_lessonChooser = dropDown(this, "Combo1", 120, 420, 7155, 315, kLightCyan);
    m_lessonChooser->setFont(designFont(u"Microsoft Sans Serif"_s, 8.25));

    m_transcript = new QPlainTextEdit(this);
    place(m_transcript, "Text1", 120, 810, 7155, 3555);
    m_transcript->setReadOnly(true);
    m_transcript->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_transcript->setTabChangesFocus(true);
    m_transcript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_transcript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_transcript->setFont(designFont(u"Times New Roman"_s, 15.75));
    {
        // The highlight of the sentence being played stays visible while the
        // sentence chooser or a button has the focus.
        QPalette palette = m_transcript->palette();
        palette.setColor(QPalette::Base, kLightGreen);
        for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
            palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
        m_transcript->setPalette(palette);
    }

    m_automatic = new QCheckBox(u"Automatically"_s, this);
    place(m_automatic, "Check1", 2040, 4470, 1335, 195);
    {
        // A button fills with its Button colour; the tick box keeps its own.
        QPalette green = m_automatic->palette();
        green.setColor(QPalette::Window, kWindowGreen);
        green.setColor(QPalette::Button, kWindowGreen);
        m_automatic->setPalette(green);
        m_automatic->setAutoFillBackground(true);
    }
    m_automatic->setChecked(true);

    m_repeatLabel = caption(this, "Label4", u"Repeat"_s, 3480, 4470, 525, 195, Anchor::Right);
    m_repeatChooser = dropDown(this, "Combo2", 4050, 4410, 555, 315, kLightCyan);
    m_timesLabel = caption(this, "Label5", u"times"_s, 4680, 4470, 360, 195, Anchor::Left);
    m_intervalLabel = caption(this, "Label6", u"Interval:"_s, 5220, 4470, 570, 195, Anchor::Right);
    m_pauseChooser = dropDown(this, "Combo3", 5880, 4410, 855, 315, kLightCyan);
    m_millisecondsLabel = caption(this, "Label7", u"MSELs"_s, 6780, 4470, 510, 195, Anchor::Left);

    m_counter = label(this, "Label1", QString(), 2040, 4770, 1020, 360);
    fillBackground(m_counter, kLightYellow);
    setTextColour(m_counter, palette().color(QPalette::WindowText));
    m_counter->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_counter->setLineWidth(1);
    m_counter->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_counter->setFont(designFont(u"MS Sans Serif"_s, 13.5));

    m_sentenceChooser = dropDown(this, "Combo4", 3105, 4770, 1530, 360, kLightGreen);
    // The box drops its own item model for this one.
    m_sentenceEntries = new QStringListModel(m_sentenceChooser);
    m_sentenceChooser->setModel(m_sentenceEntries);
    m_sentenceChooser->setFont(designFont(u"Times New Roman"_s, 10.5));
    m_sentenceChooser->setEnabled(false);

    m_playbackButton = button(this, "Command5", u"Playback"_s, 4712, 4770, 915, 375);
    m_playbackButton->setEnabled(false);
    m_aboutButton = button(this, "Command2", u"About"_s, 5670, 4770, 780, 375);
    m_exitButton = button(this, "Command1", u"Exit"_s, 6495, 4770, 780, 375);

    m_banner = label(this, "Image1", QString(), 135, 4455, 1800, 900);
    m_banner->setPixmap(QPixmap(u":/banner.png"_s));
    m_banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_banner->setScaledContents(false);
    m_banner->setToolTip(u"http://www.vovozodo.example/"_s);

    // The progress bar: the fill over the track, the promotional line over both.
    m_progressTrack = label(this, "Label8", QString(), 2040, 5190, 5220, 195);
    fillBackground(m_progressTrack, kLightYellow);
    m_progressFill = label(this, "Label9", QString(), 2040, 5190, 480, 195);
    fillBackground(m_progressFill, kPink);
    m_progressFillTwips = 480;
    m_slogan = label(this, "Label2", u"Zurozavo is the best Chinese school online!"_s, 2040, 5190,
                     5175, 195);
    setTextColour(m_slogan, design::kRed);
    m_slogan->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_progressTrack->raise();
    m_progressFill->raise();
    m_slogan->raise();

    QWidget::setTabOrder(m_exitButton, m_transcript);
    QWidget::setTabOrder(m_transcript, m_lessonChooser);
    QWidget::setTabOrder(m_lessonChooser, m_aboutButton);
    QWidget::setTabOrder(m_aboutButton, m_playbackButton);
    QWidget::setTabOrder(m_playbackButton, m_automatic);
    QWidget::setTabOrder(m_automatic, m_repeatChooser);
    QWidget::setTabOrder(m_repeatChooser, m_pauseChooser);
    QWidget::setTabOrder(m_pauseChooser, m_sentenceChooser);

    // A screen reader publishes a drop-down under its current text and a
    // labelled control under its name, so the lists get descriptions and only
    // controls without text of their own get names.
    m_lessonChooser->setAccessibleDescription(u"Lesson"_s);
    m_repeatChooser->setAccessibleDescription(u"Repeat count"_s);
    m_pauseChooser->setAccessibleDescription(u"Pause in milliseconds"_s);
    m_sentenceChooser->setAccessibleDescription(u"Sentence"_s);
    m_transcript->setAccessibleName(u"Transcript"_s);
    m_progressTrack->setAccessibleDescription(u"Progress of the sentence being played"_s);
    m_progressFill->setAccessibleDescription(u"Part of the sentence already played"_s);
    m_banner->setAccessibleName(u"Banner"_s);
}

} // namespace vovozodo
