#include "lessons/interrupt.h"

#include <csignal>

namespace vovozodo {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void raiseFlag(int) {
    g_interrupted = 1;
}

} // namespace

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = raiseFlag;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool interruptRequested() {
    return g_interrupted != 0;
}

void stopIfInterrupted() {
    if (g_interrupted)
        throw Interrupted();
}

} // namespace vovozodo
