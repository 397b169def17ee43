#include "support/modal_driver.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

namespace vovozodo {

ModalDriver::ModalDriver(std::chrono::milliseconds deadline) {
    m_deadline.setSingleShot(true);
    QObject::connect(&m_deadline, &QTimer::timeout, &m_context, [this] { closeAllModals(); });
    m_deadline.start(deadline);
}

ModalDriver::~ModalDriver() = default;

void ModalDriver::whenModal(std::function<void(QWidget *)> step, QWidget *over) {
    QTimer::singleShot(0, &m_context, [this, step = std::move(step), over] { poll(step, over); });
}

void ModalDriver::poll(std::function<void(QWidget *)> step, QWidget *over) {
    QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal != over && modal->isActiveWindow()) {
        step(modal);
        return;
    }
    if (m_timedOut)
        return;
    QTimer::singleShot(2, &m_context, [this, step = std::move(step), over] { poll(step, over); });
}

void ModalDriver::closeAllModals() {
    // done() closes a dialog even when it refuses Esc and close requests.
    for (int guard = 0; guard < 16; ++guard) {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        m_timedOut = true;
        dialog->done(QDialog::Rejected);
    }
}

} // namespace vovozodo
