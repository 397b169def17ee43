#pragma once

#include <QComboBox>

class QWidget;

namespace vovozodo {

// Where the window system really has the program's windows. Under X11 a
// reparenting window manager answers a window's first placement with events
// that the toolkit may read before the window manager has put the frame in
// place; the toolkit then keeps the frame's first corner as the window's
// position while the window stands elsewhere, and drop-down lists and boxes
// placed from that position open away from their owner.
namespace placement {

// Brings the toolkit's idea of where `window` stands in line with the window
// system. Only X11 can be asked; elsewhere this does nothing.
void syncWithWindowSystem(QWidget *window);

// Centres `window`, frame included, over its owner as the window system
// has the owner; a window without an owner stays where it is.
void centreOnOwner(QWidget *window);

// For a window whose size or frame is settled only once it is on the screen
// (a message box sizes itself when shown, and the window manager adds the
// frame): centres it over its owner when it is shown and again whenever the
// window manager changes its size or frame, but not when the learner merely
// drags it.
void keepCentredOnOwner(QWidget *window);

} // namespace placement

// A drop-down list that always opens at its control: it checks where its
// window really stands before it drops down.
class DropDownList final : public QComboBox {
    Q_OBJECT

public:
    using QComboBox::QComboBox;
    void showPopup() override;
};

} // namespace vovozodo
