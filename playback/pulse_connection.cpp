#include "playback/pulse_connection.h"

namespace vovozodo {

PulseConnection::PulseConnection(std::function<void()> changed) : m_changed(std::move(changed)) {}

PulseConnection::~PulseConnection() {
    if (!m_loop)
        return;
    PulseLock lock(loop());
    m_context.reset();
}

bool PulseConnection::connect() {
    if (!m_loop) {
        UniquePulseLoop loop(pa_threaded_mainloop_new());
        if (!loop || pa_threaded_mainloop_start(loop.get()) < 0)
            return false;
        m_loop = std::move(loop);
    }
    PulseLock lock(loop());
    if (m_context && PA_CONTEXT_IS_GOOD(pa_context_get_state(context())))
        return true;
    m_context.reset(pa_context_new(pa_threaded_mainloop_get_api(loop()), "Vovozodo"));
    if (!m_context)
        return false;
    pa_context_set_state_callback(context(), &PulseConnection::onStateChanged, this);
    // Never start a server: that would run (and wait for) a daemon from the
    // user-interface thread, on every play while none can start.
    if (pa_context_connect(context(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        m_lastError = pa_context_errno(context());
        m_context.reset();
        return false;
    }
    return true;
}

bool PulseConnection::isReady() const {
    if (!m_loop)
        return false;
    PulseLock lock(loop());
    return m_context && pa_context_get_state(context()) == PA_CONTEXT_READY;
}

bool PulseConnection::hasFailed() const {
    if (!m_loop)
        return true;
    PulseLock lock(loop());
    return !m_context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context()));
}

const char *PulseConnection::failure() const {
    if (!m_loop)
        return "no event loop for the connection";
    PulseLock lock(loop());
    return pa_strerror(m_context ? pa_context_errno(context()) : m_lastError);
}

void PulseConnection::drop() {
    if (!m_loop)
        return;
    PulseLock lock(loop());
    if (m_context)
        m_lastError = pa_context_errno(context());
    m_context.reset();
}

void PulseConnection::onStateChanged(pa_context *context, void *self) {
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state))
        static_cast<PulseConnection *>(self)->m_changed();
}

} // namespace vovozodo
