#pragma once

namespace vovozodo {

// Plays a little silence on a sink of the test's own, so that a missing sound
// server is reported as such and not as a fault of the device or the cycle.
bool soundServerReachable();

// Fails the calling test with a clear message when no server answers.
#define REQUIRE_SOUND_SERVER()                                                                     \
    do {                                                                                           \
        if (!soundServerReachable())                                                               \
            QFAIL("no sound server reachable: run the tests through scripts/test");                \
    } while (false)

} // namespace vovozodo
