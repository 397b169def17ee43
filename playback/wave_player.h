#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class QObject;
class QString;

namespace vovozodo {

// The wave-audio device's state: the open recording, where the next play
// starts, and the play under way on the sound server. Its operations are the
// device's commands. Done(Successful) is raised only when a play has reached
// the end of its recording as heard; a play cut short by close, open or
// rewind, a file that cannot be opened and an output that fails never raise it.
class WavePlayer {
public:
    // `done` receives the end of a play started with notification, always as
    // an event of its own on `context`'s thread, never from inside a call.
    WavePlayer(QObject *context, std::function<void(qint16)> done);
    ~WavePlayer();
    WavePlayer(const WavePlayer &) = delete;
    WavePlayer &operator=(const WavePlayer &) = delete;

    void close();
    void open(const QString &windowsPath);
    void play(bool notify);
    void rewind();

    // Of the open recording, in milliseconds; 0 when nothing is open.
    qint32 lengthMs() const;
    qint32 positionMs() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace vovozodo
