#pragma once

#include <QElapsedTimer>
#include <QString>

namespace vovozodo {

// One line on the terminal, rewritten in place, for work that takes more than
// a moment. Silent when standard error is no terminal or when asked to be.
class Progress {
public:
    explicit Progress(bool enabled);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // `fraction` 0 to 1 of the step `what`.
    void show(const QString &what, double fraction);
    void clear();

private:
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_started;
    QElapsedTimer m_lastDrawn;
};

} // namespace vovozodo
