#pragma once

#include <exception>

namespace vovozodo {

// Ctrl-C and SIGTERM only raise a flag: the long loops poll it and unwind, so
// that the temporary lesson folder is removed on the way out.
void catchInterrupts();
bool interruptRequested();

struct Interrupted : std::exception {
    const char *what() const noexcept override { return "interrupted"; }
};

// Throws Interrupted once a signal has arrived.
void stopIfInterrupted();

} // namespace vovozodo
