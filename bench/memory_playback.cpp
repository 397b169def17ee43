// Memory while playing: one play of a wave file through the real device, then
// the process's peak and current resident size. bench/memory runs it once per
// file, each time in a fresh process, so the peaks can be compared.
//
//   bench_memory_playback FILE SECONDS
//
// Plays FILE until its Done or for SECONDS, whichever comes first, and prints
// "peak_kb=<VmHWM> rss_kb=<VmRSS> played_ms=<ms> done=<0|1>".
#include "playback/sound_device.h"
#include "playback/wave_audio_device.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

qint64 statusKb(const char *field) {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool secondsOk = false;
    const double seconds = args.value(2).toDouble(&secondsOk);
    if (args.size() != 3 || !secondsOk || seconds <= 0) {
        std::fprintf(stderr, "usage: bench_memory_playback FILE SECONDS\n");
        return 2;
    }

    WaveAudioDevice device;
    bool done = false;
    QObject::connect(&device, &SoundDevice::done, &app, [&](qint16 code) {
        done = code == SoundDevice::Successful;
        app.quit();
    });
    device.open(args.at(1));
    if (device.length() <= 0) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(args.at(1)));
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    device.play();
    QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();
    const qint64 playedMs = device.position();
    device.close();

    std::printf("peak_kb=%lld rss_kb=%lld played_ms=%lld done=%d\n", statusKb("VmHWM:"),
                statusKb("VmRSS:"), playedMs, done ? 1 : 0);
    return playedMs > 0 ? 0 : 1;
}
