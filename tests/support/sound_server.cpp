#include "support/sound_server.h"

#include "support/pump_until.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

namespace vovozodo {

using namespace std::chrono_literals;

bool soundServerReachable() {
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull())
        return false;
    QAudioFormat format;
    format.setSampleRate(44100);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    QByteArray silence(44100 * 2 / 5, '\0');
    QBuffer buffer(&silence);
    buffer.open(QIODevice::ReadOnly);
    QAudioSink probe(output, format);
    probe.start(&buffer);
    const bool heard = probe.error() == QAudio::NoError &&
                       pumpUntil([&] { return probe.processedUSecs() > 50'000; }, 10s);
    probe.stop();
    return heard;
}

} // namespace vovozodo
