#include "support/manual_timer.h"

namespace vovozodo {

bool ManualTimer::fire() {
    if (!isEnabled())
        return false;
    emit tick();
    return true;
}

} // namespace vovozodo
