#include "playback/pulse_connection.h"

#include <pulse/pulseaudio.h>

namespace vovozodo {

PulseLock::PulseLock(pa_threaded_mainloop *loop) : m_loop(loop) {
    pa_threaded_mainloop_lock(m_loop);
}

PulseLock::~PulseLock() {
    pa_threaded_mainloop_unlock(m_loop);
}

PulseConnection::PulseConnection(std::function<void()> changed) : m_changed(std::move(changed)) {}

PulseConnection::~PulseConnection() {
    if (!m_loop)
        return;
    {
        PulseLock lock(m_loop);
        dropContext();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

bool PulseConnection::connect() {
    if (!m_loop) {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return false;
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
            return false;
        }
    }
    PulseLock lock(m_loop);
    if (m_context && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
        return true;
    dropContext();
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Vovozodo");
    if (!m_context)
        return false;
    pa_context_set_state_callback(m_context, &PulseConnection::onStateChanged, this);
    // Never start a server: that would run (and wait for) a daemon from the
    // user-interface thread, on every play while none can start.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        dropContext();
        return false;
    }
    return true;
}

bool PulseConnection::isReady() const {
    if (!m_loop)
        return false;
    PulseLock lock(m_loop);
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool PulseConnection::hasFailed() const {
    if (!m_loop)
        return true;
    PulseLock lock(m_loop);
    return !m_context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context));
}

void PulseConnection::drop() {
    if (!m_loop)
        return;
    PulseLock lock(m_loop);
    dropContext();
}

void PulseConnection::dropContext() {
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void PulseConnection::onStateChanged(pa_context *context, void *self) {
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state))
        static_cast<PulseConnection *>(self)->m_changed();
}

} // namespace vovozodo
