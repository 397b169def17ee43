#pragma once

#include "handles/pulse_handles.h"

#include <functional>

namespace vovozodo {

// The connection to the sound server, run by libpulse on a thread of its own.
// Nothing here waits for the server: a server that has died or stopped
// answering can never block the caller. A connection that has failed is
// dropped and the next play connects afresh, so a server that has come back
// (or a new one at the same address) is used again. The toolkit's own audio
// output is not used for this reason: once its one reconnection attempt, three
// seconds after the server went away, finds no server, it never plays again,
// and a stream that fails while it is being set up blocks its start() for good.
class PulseConnection {
public:
    // `changed` runs on libpulse's thread, with the lock held, whenever the
    // connection becomes ready or fails; it must only hand the news on.
    explicit PulseConnection(std::function<void()> changed);
    ~PulseConnection();
    PulseConnection(const PulseConnection &) = delete;
    PulseConnection &operator=(const PulseConnection &) = delete;

    // Starts connecting unless connected or connecting; false when that
    // cannot even begin (no server at the address, for one).
    bool connect();
    bool isReady() const;
    bool hasFailed() const;
    // Why the connection, or a stream on it, failed, in libpulse's words.
    const char *failure() const;
    // Forgets a failed connection; the next connect() starts afresh.
    void drop();

    // Every call of this class and of the stream takes libpulse's lock itself
    // (it nests), so they may also be made from libpulse's own thread.
    pa_threaded_mainloop *loop() const { return m_loop.get(); }
    // Only with the loop locked.
    pa_context *context() const { return m_context.get(); }

private:
    static void onStateChanged(pa_context *context, void *self);

    std::function<void()> m_changed;
    UniquePulseLoop m_loop;
    UniquePulseContext m_context; // let go with the loop locked
    int m_lastError = 0;          // of the context last let go
};

} // namespace vovozodo
