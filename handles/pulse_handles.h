#pragma once

#include <pulse/pulseaudio.h>

#include <memory>

namespace vovozodo {

// libpulse's objects, each holding one reference. Except for the loop, they
// are let go only with the loop locked (PulseLock); letting one go first
// silences its callbacks, so that none reaches an owner that is going.

struct PulseLoopRelease {
    void operator()(pa_threaded_mainloop *loop) const {
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
};
using UniquePulseLoop = std::unique_ptr<pa_threaded_mainloop, PulseLoopRelease>;

struct PulseContextRelease {
    void operator()(pa_context *context) const {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};
using UniquePulseContext = std::unique_ptr<pa_context, PulseContextRelease>;

// A stream still being created cannot be disconnected; its owner waits for
// it to be ready first (see PulseStream).
struct PulseStreamRelease {
    void operator()(pa_stream *stream) const {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        if (pa_stream_get_state(stream) == PA_STREAM_READY)
            pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
};
using UniquePulseStream = std::unique_ptr<pa_stream, PulseStreamRelease>;

// Letting an operation go does not cancel it: its reply still arrives.
struct PulseOperationRelease {
    void operator()(pa_operation *operation) const { pa_operation_unref(operation); }
};
using UniquePulseOperation = std::unique_ptr<pa_operation, PulseOperationRelease>;

// For an operation whose reply nobody waits for.
inline void letGo(pa_operation *operation) {
    const UniquePulseOperation released(operation);
}

// Holds libpulse's loop lock for its lifetime. Every call into a connection or
// stream object of libpulse is made under it, from any thread but the loop's
// own (whose callbacks already hold it).
class PulseLock {
public:
    explicit PulseLock(pa_threaded_mainloop *loop) : m_loop(loop) {
        pa_threaded_mainloop_lock(m_loop);
    }
    ~PulseLock() { pa_threaded_mainloop_unlock(m_loop); }
    PulseLock(const PulseLock &) = delete;
    PulseLock &operator=(const PulseLock &) = delete;

private:
    pa_threaded_mainloop *m_loop;
};

} // namespace vovozodo
