#pragma once

#include "playback/sound_device.h"

#include <memory>

namespace vovozodo {

class WavePlayer;

// The real sound device: wave files streamed to the default audio output by a
// WavePlayer.
class WaveAudioDevice final : public SoundDevice {
    Q_OBJECT

public:
    explicit WaveAudioDevice(QObject *parent = nullptr);
    ~WaveAudioDevice() override;

    void open(const QString &windowsPath) override;
    void play() override;
    void rewind() override;
    void close() override;
    State state() const override;
    qint32 length() const override;
    qint32 position() const override;

private:
    std::unique_ptr<WavePlayer> m_player;
};

} // namespace vovozodo
