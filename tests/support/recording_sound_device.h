#pragma once

#include "playback/sound_device.h"

#include <QList>

#include <chrono>
#include <memory>

namespace vovozodo {

// Forwards every call to a real device and keeps a timed log of the plays it
// was asked for and the completions it reported, so a test or a benchmark can
// check the order of plays and the pauses between them on a real output.
class RecordingSoundDevice final : public SoundDevice {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    struct Event {
        enum Kind { Play, Done } kind;
        qint64 atUsecs;    // since the device was made
        QString fileName;  // the file open when the event happened
        qint16 notifyCode; // Done only
    };

    explicit RecordingSoundDevice(std::unique_ptr<SoundDevice> inner, QObject *parent = nullptr);

    void open(const QString &windowsPath) override;
    void play() override;
    void rewind() override { m_inner->rewind(); }
    void close() override { m_inner->close(); }
    State state() const override { return m_inner->state(); }
    qint32 length() const override { return m_inner->length(); }
    qint32 position() const override { return m_inner->position(); }

    const QList<Event> &events() const { return m_events; }
    qsizetype count(Event::Kind kind) const;
    // When the device was made, on the steady clock.
    Clock::time_point madeAt() const { return m_madeAt; }

private:
    qint64 usecsSinceMade() const;

    std::unique_ptr<SoundDevice> m_inner;
    QString m_fileName;
    Clock::time_point m_madeAt = Clock::now();
    QList<Event> m_events;
};

} // namespace vovozodo
