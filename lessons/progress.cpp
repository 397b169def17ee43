#include "lessons/progress.h"

#include <cstdio>
#include <unistd.h>

namespace vovozodo {

namespace {
// Nothing shows for work that ends sooner, and the line is redrawn at most this often.
constexpr qint64 kQuietStartMs = 500;
constexpr qint64 kRedrawMs = 100;
} // namespace

Progress::Progress(bool enabled) : m_enabled(enabled && isatty(STDERR_FILENO)) {
    m_started.start();
    m_lastDrawn.start();
}

Progress::~Progress() {
    clear();
}

void Progress::show(const QString &what, double fraction) {
    if (!m_enabled || m_started.elapsed() < kQuietStartMs)
        return;
    if (m_shown && m_lastDrawn.elapsed() < kRedrawMs)
        return;
    m_lastDrawn.restart();
    const int percent = qBound(0, int(fraction * 100.0), 100);
    std::fprintf(stderr, "\r\033[K%s %d%%", qPrintable(what), percent);
    std::fflush(stderr);
    m_shown = true;
}

void Progress::clear() {
    if (!m_shown)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    m_shown = false;
}

} // namespace vovozodo
