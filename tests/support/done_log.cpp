#include "support/done_log.h"

#include <QStringList>

namespace vovozodo {

using namespace Qt::StringLiterals;

DoneLog::DoneLog(SoundDevice &device) {
    QObject::connect(&device, &SoundDevice::done, &device, [this](SoundDevice::NotifyCode code) {
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
    device.close();
    device.open(windowsPath);
    device.play();
}

} // namespace vovozodo
