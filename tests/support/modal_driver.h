#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class QWidget;

namespace vovozodo {

// Drives modal windows from the event loop, so a test never hangs on one:
// queued steps run on the window that becomes modal, and when the deadline
// passes every modal dialog still open is closed.
class ModalDriver {
public:
    explicit ModalDriver(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    ~ModalDriver();

    // Runs `step` on the modal window once one other than `over` (the window
    // it is expected to open over, if any) is active, so keys reach it.
    void whenModal(std::function<void(QWidget *modal)> step, QWidget *over = nullptr);

    // Whether the deadline passed with a modal window still open.
    bool timedOut() const { return m_timedOut; }

private:
    void poll(std::function<void(QWidget *)> step, QWidget *over);
    void closeAllModals();

    QObject m_context; // pending polls die with the driver
    QTimer m_deadline;
    bool m_timedOut = false;
};

} // namespace vovozodo
