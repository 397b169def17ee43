// Arbitrary bytes as a lesson's sound file: "Open" parses the header with
// libsndfile and refuses what cannot be played, then "Prev" and "Close". The
// recording is never played, so nothing waits on a sound server; without one,
// "Open" still parses and checks the file before it looks for the output.
#include "fuzz_support.h"

#include "playback/wave_audio_device.h"

#include <QCoreApplication>
#include <QString>

#include <string>

using namespace vovozodo;

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    // The device uses Qt timers and events, which want an application object; it lives
    // until the process ends.
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argc > 0) ? (*argv)[0] : nullptr, nullptr};
    new QCoreApplication(qtArgc, qtArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::string native = fuzz::scratchFolder() + "/1.wav";
    // Named the way playback names it, with the extension in capitals.
    static const QString windows = fuzz::windowsStyle(fuzz::scratchFolder() + "/1.WAV");

    if (!fuzz::writeFile(native, data, size))
        return 0;

    WaveAudioDevice device;
    int reported = 0;
    QObject::connect(&device, &SoundDevice::done, &device, [&reported](qint16) { ++reported; });
    device.setDeviceType(u"WaveAudio"_s);
    device.setTimeFormat(0);
    device.setWait(false);
    device.setShareable(false);
    device.setNotify(true);
    device.setFileName(windows);
    device.setCommand(u"Open"_s);
    FUZZ_CHECK(device.length() >= 0);
    FUZZ_CHECK(device.position() == 0);
    device.setCommand(u"Prev"_s);
    FUZZ_CHECK(device.position() == 0);
    device.setCommand(u"Close"_s);
    FUZZ_CHECK(device.length() == 0 && device.position() == 0);
    device.setCommand(u"Close"_s);
    // Nothing was played, so nothing may be reported.
    QCoreApplication::processEvents();
    FUZZ_CHECK(reported == 0);
    return 0;
}
