#pragma once

#include "ui/twips.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace vovozodo {

// Helpers for building a window from its design: names, twip geometry, fonts
// and colours, the same way for every window.
namespace design {

// The designs name Windows fonts. Where a sans-serif one is not installed,
// Liberation Sans has the closest metrics, so captions keep fitting their
// designed boxes; fontconfig maps "Times New Roman" to Liberation Serif by
// itself. Chinese text falls back to an installed CJK font glyph by glyph.
inline QFont font(const QString &family, double points) {
    QFont f(family);
    f.setFamilies({family, QStringLiteral("Liberation Sans")});
    if (family == QLatin1StringView("Times New Roman"))
        f.setFamilies({family, QStringLiteral("Liberation Serif")});
    f.setPointSizeF(points);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f;
}

inline void place(QWidget *control, const char *name, double left, double top, double width,
                  double height) {
    control->setObjectName(QLatin1StringView(name));
    control->setGeometry(twipsRect(left, top, width, height));
}

inline void fillBackground(QWidget *control, const QColor &colour) {
    QPalette palette = control->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, colour);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

inline void setTextColour(QWidget *control, const QColor &colour) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, colour);
    control->setPalette(palette);
}

// A caption label: literal text, transparent, never takes the focus.
inline QLabel *label(QWidget *parent, const char *name, const QString &text, double left,
                     double top, double width, double height) {
    auto *l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    place(l, name, left, top, width, height);
    l->setFocusPolicy(Qt::NoFocus);
    return l;
}

inline QPushButton *button(QWidget *parent, const char *name, const QString &text, double left,
                           double top, double width, double height) {
    auto *b = new QPushButton(text, parent);
    place(b, name, left, top, width, height);
    // Enter clicks the focused button, as with the platform's own buttons;
    // no button is the window's default.
    b->setAutoDefault(true);
    b->setDefault(false);
    return b;
}

} // namespace design

} // namespace vovozodo
