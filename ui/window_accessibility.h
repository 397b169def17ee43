#pragma once

class QString;
class QWidget;

namespace vovozodo {

// Screen readers announce a window by its accessible name and role. The
// toolkit reports a plain widget window as a "filler" and names a window only
// by its caption, which the main window and the About window do not have. This
// gives `window` the window role (dialogs keep theirs) and `name`.
void publishWindow(QWidget *window, const QString &name);

} // namespace vovozodo
