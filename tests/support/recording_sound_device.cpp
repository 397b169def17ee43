#include "support/recording_sound_device.h"

#include <algorithm>

namespace vovozodo {

RecordingSoundDevice::RecordingSoundDevice(std::unique_ptr<SoundDevice> inner, QObject *parent)
    : SoundDevice(parent), m_inner(std::move(inner)) {
    // Direct: the stamp is taken when the inner device reports, not when the
    // window gets round to handling it.
    connect(m_inner.get(), &SoundDevice::done, this, [this](NotifyCode code) {
        m_events.append({Event::Done, usecsSinceMade(), m_fileName, code});
        emit done(code);
    });
    connect(m_inner.get(), &SoundDevice::stateChanged, this, &SoundDevice::stateChanged);
}

void RecordingSoundDevice::open(const QString &windowsPath) {
    m_fileName = windowsPath;
    m_inner->open(windowsPath);
}

void RecordingSoundDevice::play() {
    m_events.append({Event::Play, usecsSinceMade(), m_fileName, 0});
    m_inner->play();
}

qsizetype RecordingSoundDevice::count(Event::Kind kind) const {
    return std::count_if(m_events.cbegin(), m_events.cend(),
                         [kind](const Event &e) { return e.kind == kind; });
}

qint64 RecordingSoundDevice::usecsSinceMade() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_madeAt).count();
}

} // namespace vovozodo
