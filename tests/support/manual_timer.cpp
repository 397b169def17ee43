#include "support/manual_timer.h"

bool ManualTimer::fire() {
    if (!isEnabled())
        return false;
    emit tick();
    return true;
}
