#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <memory>

namespace vovozodo {

// Answers the next modal box from the event loop, so a test never hangs on
// one. Records what the box showed; the box is answered with `button`.
class ModalAnswerer {
public:
    struct Seen {
        bool shown = false;
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };

    // Arms the answerer: polls for an active modal message box every few
    // milliseconds (for up to `timeoutMs`) and clicks `button` on it.
    explicit ModalAnswerer(QMessageBox::StandardButton button, int timeoutMs = 30000);
    ~ModalAnswerer();

    const Seen &seen() const { return *m_seen; }

private:
    std::shared_ptr<Seen> m_seen;
    std::shared_ptr<bool> m_alive;
};

} // namespace vovozodo
