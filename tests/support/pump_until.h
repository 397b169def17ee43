#pragma once

#include <chrono>
#include <functional>

namespace vovozodo {

// Processes events until `condition` holds or `deadline` has passed; returns
// whether the condition held. Tests wait with this, never with sleeps. The
// deadline only bounds a hang: generous, for sanitizers on a busy machine.
bool pumpUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(30));

// Processes events for the given time, for tests that must show something
// does NOT happen.
void pumpFor(std::chrono::milliseconds duration);

} // namespace vovozodo
