#pragma once

#include "playback/sound_device.h"

#include <memory>

// The "WaveAudio" device: wave files decoded by libsndfile in small blocks
// (memory does not grow with a file's length) and played through the default
// audio output. Done(Successful) is raised only when a play has reached the
// end of its recording; a play cut short by "Close", "Open" or "Prev", a file
// that cannot be opened and an output that fails never raise it.
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
    struct Private;
    std::unique_ptr<Private> d;
};
