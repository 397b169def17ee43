// Arbitrary bytes as a lesson's sound file: open() parses the header with
// libsndfile and refuses what cannot be played, then rewind() and close(). The
// recording is never played, so nothing waits on a sound server; without one,
// open() still parses and checks the file before it looks for the output.
#include "fuzz_support.h"

#include "playback/wave_audio_device.h"

#include <QCoreApplication>
#include <QString>

#include <string>

using namespace vovozodo;

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
    QObject::connect(&device, &SoundDevice::done, &device,
                     [&reported](SoundDevice::NotifyCode) { ++reported; });
    device.open(windows);
    // Open or refused, never playing; a refused file has no length.
    const SoundDevice::State opened = device.state();
    FUZZ_CHECK(opened != SoundDevice::State::Playing);
    FUZZ_CHECK(device.length() >= 0 &&
               (opened == SoundDevice::State::Stopped || device.length() == 0));
    FUZZ_CHECK(device.position() == 0);
    device.rewind();
    FUZZ_CHECK(device.position() == 0 && device.state() == opened);
    device.close();
    FUZZ_CHECK(device.length() == 0 && device.position() == 0);
    FUZZ_CHECK(device.state() == SoundDevice::State::NotOpen);
    device.close();
    // Nothing was played, so nothing may be reported.
    QCoreApplication::processEvents();
    FUZZ_CHECK(reported == 0);
    return 0;
}
