#pragma once

#include <QObject>
#include <QString>

namespace vovozodo {

// The sound device the main window drives with string commands, the way a
// multimedia control is driven: set FileName, then "Open"; "Play" returns at
// once and the end of a play is reported later through done(); "Prev" rewinds
// the open recording; "Close" stops and releases it and is harmless when
// nothing is open. No command's outcome is reported back to the caller.
class SoundDevice : public QObject {
    Q_OBJECT

public:
    // Notification codes carried by done().
    enum NotifyCode : qint16 { Successful = 1, Superseded = 2, Aborted = 4, Failure = 8 };

    using QObject::QObject;
    ~SoundDevice() override = default;

    virtual void setDeviceType(const QString &type) = 0;
    virtual void setFileName(const QString &windowsPath) = 0;
    // "Close", "Open", "Play" or "Prev"; anything else is ignored.
    virtual void setCommand(const QString &command) = 0;
    // When true, the next "Play" reports its end through done().
    virtual void setNotify(bool notify) = 0;
    // When true a command would block until it completes; never used blocking.
    virtual void setWait(bool wait) = 0;
    virtual void setShareable(bool shareable) = 0;
    // 0 = milliseconds, the only format used.
    virtual void setTimeFormat(qint32 format) = 0;

    // Length of the open recording and the play position, in milliseconds;
    // 0 when nothing is open.
    virtual qint32 length() const = 0;
    virtual qint32 position() const = 0;

signals:
    // A play started with Notify set has ended; Successful only when it
    // reached the end of its recording. Always delivered as an event of its
    // own, never from inside a command.
    void done(qint16 notifyCode);
};

} // namespace vovozodo
