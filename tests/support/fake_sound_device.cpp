#include "support/fake_sound_device.h"

namespace vovozodo {

using namespace Qt::StringLiterals;

void FakeSoundDevice::setDeviceType(const QString &type) {
    log << u"DeviceType="_s + type;
}

void FakeSoundDevice::setFileName(const QString &windowsPath) {
    fileName = windowsPath;
    log << u"FileName="_s + windowsPath;
}

void FakeSoundDevice::setCommand(const QString &command) {
    log << u"Command="_s + command;
    if (command == u"Play") {
        playing = true;
        ++plays;
    } else {
        playing = false;
    }
}

void FakeSoundDevice::setNotify(bool notify) {
    log << (notify ? u"Notify=true"_s : u"Notify=false"_s);
}

void FakeSoundDevice::setWait(bool wait) {
    log << (wait ? u"Wait=true"_s : u"Wait=false"_s);
}

void FakeSoundDevice::setShareable(bool shareable) {
    log << (shareable ? u"Shareable=true"_s : u"Shareable=false"_s);
}

void FakeSoundDevice::setTimeFormat(qint32 format) {
    log << u"TimeFormat="_s + QString::number(format);
}

QStringList FakeSoundDevice::commands() const {
    QStringList out;
    for (const QString &line : log)
        if (line.startsWith(u"Command="))
            out << line.mid(8);
    return out;
}

} // namespace vovozodo
