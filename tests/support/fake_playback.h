#pragma once

#include "playback/playback_services.h"
#include "support/fake_sound_device.h"
#include "support/manual_timer.h"

#include <QList>

namespace vovozodo {

// Playback services whose device and timers the test drives by hand. Keeps
// track of everything it hands out, in creation order.
class FakePlayback {
public:
    PlaybackServices services();

    FakeSoundDevice *device() const { return m_devices.isEmpty() ? nullptr : m_devices.back(); }
    // Timers in the order they were created.
    ManualTimer *timer(int index) const { return m_timers.value(index); }
    int timerCount() const { return int(m_timers.size()); }

private:
    QList<FakeSoundDevice *> m_devices;
    QList<ManualTimer *> m_timers;
};

} // namespace vovozodo
