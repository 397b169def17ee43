#include "support/fake_sound_device.h"

namespace vovozodo {

using namespace Qt::StringLiterals;

void FakeSoundDevice::open(const QString &windowsPath) {
    fileName = windowsPath;
    log << u"Open "_s + windowsPath;
    setState(State::Stopped);
}

void FakeSoundDevice::play() {
    log << u"Play"_s;
    ++plays;
    if (m_state != State::NotOpen)
        setState(State::Playing);
}

void FakeSoundDevice::rewind() {
    log << u"Rewind"_s;
    if (m_state != State::NotOpen)
        setState(State::Stopped);
}

void FakeSoundDevice::close() {
    log << u"Close"_s;
    setState(State::NotOpen);
}

void FakeSoundDevice::finishPlay(NotifyCode code) {
    if (code != Superseded && m_state == State::Playing)
        setState(State::Stopped);
    emit done(code);
}

QStringList FakeSoundDevice::commands() const {
    QStringList out;
    for (const QString &line : log)
        out << line.section(u' ', 0, 0);
    return out;
}

void FakeSoundDevice::setState(State state) {
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

} // namespace vovozodo
