#pragma once

#include "playback/timer.h"

namespace vovozodo {

// A timer that never ticks by itself: the test fires it.
class ManualTimer final : public Timer {
    Q_OBJECT

public:
    using Timer::Timer;

    // Ticks once if enabled, like a real timer whose interval has passed.
    // Returns whether it ticked.
    bool fire();
    int rearmCount() const { return m_rearms; }

protected:
    void rearm(bool, int) override { ++m_rearms; }

private:
    int m_rearms = 0;
};

} // namespace vovozodo
