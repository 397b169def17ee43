#pragma once

#include "playback/sound_device.h"

#include <QStringList>

namespace vovozodo {

// Records what it is told, in order, as readable lines ("FileName=...",
// "Command=Open", "Notify=true", ...). A test ends a play with finishPlay().
class FakeSoundDevice final : public SoundDevice {
    Q_OBJECT

public:
    using SoundDevice::SoundDevice;

    void setDeviceType(const QString &type) override;
    void setFileName(const QString &windowsPath) override;
    void setCommand(const QString &command) override;
    void setNotify(bool notify) override;
    void setWait(bool wait) override;
    void setShareable(bool shareable) override;
    void setTimeFormat(qint32 format) override;
    qint32 length() const override { return m_length; }
    qint32 position() const override { return m_position; }

    void setLength(qint32 ms) { m_length = ms; }
    void setPosition(qint32 ms) { m_position = ms; }

    // Raises done() as the real device would when the current play ends.
    void finishPlay(qint16 code = Successful) { emit done(code); }

    QStringList log;              // every call, in order
    QStringList commands() const; // only the Command= lines, without the prefix
    QString fileName;
    bool playing = false; // a "Play" since the last Open/Close/Prev
    int plays = 0;        // "Play" commands so far

private:
    qint32 m_length = 0;
    qint32 m_position = 0;
};

} // namespace vovozodo
