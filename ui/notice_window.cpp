#include "ui/notice_window.h"

#include "ui/design_palette.h"
#include "ui/window_accessibility.h"
#include "ui/window_design.h"
#include "ui/window_placement.h"

#include <QPushButton>

namespace vovozodo {

using namespace Qt::StringLiterals;

Notice1::Notice1(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(u"Notice1"_s);
    setWindowTitle(u"Notice for Users"_s);
    publishWindow(this, windowTitle());
    setFixedSize(twipsToPixels(5625), twipsToPixels(4245));
    design::fillBackground(this, design::kLightYellow);

    Label2 = design::label(this, "Label2", u"My Words"_s, 0, 0, 5640, 300);
    design::fillBackground(Label2, design::kLightGreen);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2->setFont(design::font(u"MS Sans Serif"_s, 12));

    // Fixed size: long lines wrap at word boundaries. The text keeps its CR LF
    // line ends as assigned; when painted, a CR is laid out as a blank at the
    // end of its line, so only the LF shows as a line break.
    Label1 = design::label(this, "Label1", QString(), 180, 465, 5325, 3180);
    design::setTextColour(Label1, design::kRed);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setFont(design::font(u"MS Sans Serif"_s, 9.75));

    OKButton = design::button(this, "OKButton", u"OK"_s, 2250, 3795, 1155, 375);
    OKButton->setFont(design::font(u"Microsoft Sans Serif"_s, 9));
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void Notice1::setLabel1Caption(const QString &text) {
    Label1->setText(text);
}

void Notice1::showEvent(QShowEvent *event) {
    placement::centreOnOwner(this);
    OKButton->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

} // namespace vovozodo
