#pragma once

#include "playback/sound_device.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

namespace vovozodo {

// Every done() of a device with the time it arrived, counted from the last mark().
class DoneLog {
public:
    explicit DoneLog(SoundDevice &device);

    void mark() { clock.restart(); }
    qsizetype successes() const { return codes.count(SoundDevice::Successful); }
    // "1 at 320 ms, ..." for failure messages.
    QString describe() const;

    QList<qint16> codes;
    QList<qint64> at;
    QElapsedTimer clock;
};

// What the main window does to play a file from its start: close, open, play.
void openAndPlay(SoundDevice &device, const QString &windowsPath);

} // namespace vovozodo
