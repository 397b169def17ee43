#pragma once

#include <QObject>
#include <QString>

namespace vovozodo {

// The sound device the main window plays its sentences through. open() names
// the recording, play() returns at once and reports the play's end later
// through done(); rewind() moves back to the start of the open recording;
// close() stops and releases it and is harmless when nothing is open. No
// operation reports its outcome to the caller: a file that cannot be opened or
// a play that cannot start simply never ends successfully.
class SoundDevice : public QObject {
    Q_OBJECT

public:
    // How a play ended, carried by done().
    enum NotifyCode : qint16 { Successful = 1, Superseded = 2, Aborted = 4, Failure = 8 };
    Q_ENUM(NotifyCode)

    enum class State { NotOpen, Stopped, Playing };
    Q_ENUM(State)

    using QObject::QObject;
    ~SoundDevice() override = default;

    // Closes whatever was open, then opens the recording at a Windows-style
    // path (resolved as every lesson path is).
    virtual void open(const QString &windowsPath) = 0;
    // Plays from the current position to the end. During a play it keeps
    // playing and the earlier play is reported as Superseded.
    virtual void play() = 0;
    // Cuts a play short (Aborted) and moves back to the start.
    virtual void rewind() = 0;
    // Cuts a play short (Aborted) and releases the recording.
    virtual void close() = 0;

    virtual State state() const = 0;
    // Length of the open recording and the play position, in milliseconds;
    // 0 when nothing is open.
    virtual qint32 length() const = 0;
    virtual qint32 position() const = 0;

signals:
    // A play has ended; Successful only when it reached the end of its
    // recording. Always delivered as an event of its own, never from inside
    // an operation, so the caller's handlers never run nested.
    void done(vovozodo::SoundDevice::NotifyCode code);
    // Raised as the state changes, from inside an operation too.
    void stateChanged(vovozodo::SoundDevice::State state);
};

} // namespace vovozodo
