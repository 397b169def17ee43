#include "playback/wave_audio_device.h"

#include "playback/wave_player.h"

namespace vovozodo {

WaveAudioDevice::WaveAudioDevice(QObject *parent)
    : SoundDevice(parent),
      m_player(std::make_unique<WavePlayer>(
          this, WavePlayer::Listener{[this](NotifyCode code) { emit done(code); },
                                     [this](State state) { emit stateChanged(state); }})) {}

WaveAudioDevice::~WaveAudioDevice() = default;

void WaveAudioDevice::open(const QString &windowsPath) {
    m_player->open(windowsPath);
}

void WaveAudioDevice::play() {
    m_player->play();
}

void WaveAudioDevice::rewind() {
    m_player->rewind();
}

void WaveAudioDevice::close() {
    m_player->close();
}

SoundDevice::State WaveAudioDevice::state() const {
    return m_player->state();
}

qint32 WaveAudioDevice::length() const {
    return m_player->lengthMs();
}

qint32 WaveAudioDevice::position() const {
    return m_player->positionMs();
}

} // namespace vovozodo
