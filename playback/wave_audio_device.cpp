#include "playback/wave_audio_device.h"

#include "playback/wave_player.h"

namespace vovozodo {

using namespace Qt::StringLiterals;

WaveAudioDevice::WaveAudioDevice(QObject *parent)
    : SoundDevice(parent),
      m_player(std::make_unique<WavePlayer>(this, [this](qint16 code) { emit done(code); })) {}

WaveAudioDevice::~WaveAudioDevice() = default;

// Only wave audio is ever asked for; there is nothing to choose.
void WaveAudioDevice::setDeviceType(const QString &) {}

void WaveAudioDevice::setFileName(const QString &windowsPath) {
    m_fileName = windowsPath;
}

void WaveAudioDevice::setCommand(const QString &command) {
    if (command == u"Close"_s) {
        m_player->close();
    } else if (command == u"Open"_s) {
        m_player->open(m_fileName);
    } else if (command == u"Play"_s) {
        m_player->play(m_notify);
    } else if (command == u"Prev"_s) {
        m_player->rewind();
    }
}

void WaveAudioDevice::setNotify(bool notify) {
    m_notify = notify;
}

// Commands never block here, and the device is never shared.
void WaveAudioDevice::setWait(bool) {}
void WaveAudioDevice::setShareable(bool) {}
// Milliseconds is the only time format.
void WaveAudioDevice::setTimeFormat(qint32) {}

qint32 WaveAudioDevice::length() const {
    return m_player->lengthMs();
}

qint32 WaveAudioDevice::position() const {
    return m_player->positionMs();
}

} // namespace vovozodo
