#include "support/modal_answerer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

namespace vovozodo {

namespace {

void poll(QMessageBox::StandardButton button, std::shared_ptr<ModalAnswerer::Seen> seen,
          std::shared_ptr<bool> alive, std::shared_ptr<QElapsedTimer> clock, int timeoutMs) {
    if (!*alive || clock->elapsed() > timeoutMs)
        return;
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
        seen->shown = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        seen->defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton())
                                                   : QMessageBox::NoButton;
        if (QAbstractButton *b = box->button(button))
            b->click();
        else
            box->reject();
        return;
    }
    QTimer::singleShot(2, [=] { poll(button, seen, alive, clock, timeoutMs); });
}

} // namespace

ModalAnswerer::ModalAnswerer(QMessageBox::StandardButton button, int timeoutMs)
    : m_seen(std::make_shared<Seen>()), m_alive(std::make_shared<bool>(true)) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QTimer::singleShot(
        0, [=, seen = m_seen, alive = m_alive] { poll(button, seen, alive, clock, timeoutMs); });
}

ModalAnswerer::~ModalAnswerer() {
    *m_alive = false;
}

} // namespace vovozodo
