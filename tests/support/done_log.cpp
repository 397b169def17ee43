#include "support/done_log.h"

#include <QStringList>

namespace vovozodo {

using namespace Qt::StringLiterals;

DoneLog::DoneLog(SoundDevice &device) {
    QObject::connect(&device, &SoundDevice::done, &device, [this](qint16 code) {
        codes << code;
        at << clock.elapsed();
    });
    clock.start();
}

QString DoneLog::describe() const {
    QStringList parts;
    for (qsizetype i = 0; i < codes.size(); ++i)
        parts << u"%1 at %2 ms"_s.arg(codes[i]).arg(at[i]);
    return parts.isEmpty() ? u"none"_s : parts.join(u", "_s);
}

void openAndPlay(SoundDevice &device, const QString &windowsPath) {
    device.setCommand(u"Close"_s);
    device.setFileName(windowsPath);
    device.setCommand(u"Open"_s);
    device.setNotify(true);
    device.setCommand(u"Play"_s);
}

} // namespace vovozodo
