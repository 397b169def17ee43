#pragma once

#include "playback/sound_device.h"

#include <QStringList>

namespace vovozodo {

// Records what it is told, in order, as readable lines ("Close",
// "Open C:\...\1.WAV", "Play", "Rewind"). A test ends a play with finishPlay().
class FakeSoundDevice final : public SoundDevice {
    Q_OBJECT

public:
    using SoundDevice::SoundDevice;

    void open(const QString &windowsPath) override;
    void play() override;
    void rewind() override;
    void close() override;
    State state() const override { return m_state; }
    qint32 length() const override { return m_length; }
    qint32 position() const override { return m_position; }

    void setLength(qint32 ms) { m_length = ms; }
    void setPosition(qint32 ms) { m_position = ms; }

    // Raises done() as the real device would when the current play ends; a
    // superseded play is still under way.
    void finishPlay(NotifyCode code = Successful);

    bool isPlaying() const { return m_state == State::Playing; }
    QStringList commands() const; // the log's first words: "Close", "Open", ...

    QStringList log; // every call, in order
    QString fileName;
    int plays = 0; // play() calls so far

private:
    void setState(State state);

    State m_state = State::NotOpen;
    qint32 m_length = 0;
    qint32 m_position = 0;
};

} // namespace vovozodo
