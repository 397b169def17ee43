#pragma once

#include "playback/sound_device.h"

#include <memory>

namespace vovozodo {

class WavePlayer;

// The "WaveAudio" device: the window's string commands and properties, handed
// to a WavePlayer (wave files streamed to the default audio output).
class WaveAudioDevice final : public SoundDevice {
    Q_OBJECT

public:
    explicit WaveAudioDevice(QObject *parent = nullptr);
    ~WaveAudioDevice() override;

    void setDeviceType(const QString &type) override;
    void setFileName(const QString &windowsPath) override;
    void setCommand(const QString &command) override;
    void setNotify(bool notify) override;
    void setWait(bool wait) override;
    void setShareable(bool shareable) override;
    void setTimeFormat(qint32 format) override;
    qint32 length() const override;
    qint32 position() const override;

private:
    QString m_fileName;
    bool m_notify = false;
    std::unique_ptr<WavePlayer> m_player;
};

} // namespace vovozodo
