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

    m_heading = design::label(this, "Label2", u"My Words"_s, 0, 0, 5640, 300);
    design::fillBackground(m_heading, design::kLightGreen);
    m_heading->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_heading->setFont(design::font(u"MS Sans Serif"_s, 12));

    // Fixed size: long lines wrap at word boundaries. The text keeps its CR LF
    // line ends as assigned; when painted, a CR is laid out as a blank at the
    // end of its line, so only the LF shows as a line break.
    m_message = design::label(this, "Label1", QString(), 180, 465, 5325, 3180);
    design::setTextColour(m_message, design::kRed);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message->setWordWrap(true);
    m_message->setFont(design::font(u"MS Sans Serif"_s, 9.75));

    m_okButton = design::button(this, "OKButton", u"OK"_s, 2250, 3795, 1155, 375);
    m_okButton->setFont(design::font(u"Microsoft Sans Serif"_s, 9));
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void Notice1::setMessage(const QString &text) {
    m_message->setText(text);
}

void Notice1::showEvent(QShowEvent *event) {
    placement::centreOnOwner(this);
    m_okButton->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

} // namespace vovozodo
