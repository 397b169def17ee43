#include "ui/key_codes.h"

#include <QKeyEvent>

namespace vovozodo {

int virtualKeyCode(const QKeyEvent &event) {
    if (event.key() == Qt::Key_Escape)
        return kVirtualKeyEscape;
    if (event.key() == Qt::Key_0 && event.modifiers().testFlag(Qt::KeypadModifier))
        return kVirtualKeyNumpad0;
    return 0;
}

} // namespace vovozodo
