#include "support/unplayable_waves.h"

#include "support/tone.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <sys/stat.h>

#include <limits>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le16(quint16 v) {
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

} // namespace

QByteArray waveBytes(const WaveHeader &h) {
    const quint16 blockAlign = quint16(h.channels * (h.bitsPerSample / 8));
    QByteArray body = "WAVEfmt " + le32(16) + le16(h.formatTag) + le16(h.channels) +
                      le32(h.sampleRate) + le32(h.sampleRate * blockAlign) + le16(blockAlign) +
                      le16(h.bitsPerSample) + h.beforeData + "data" + le32(h.dataBytes);
    body += QByteArray(h.dataHeld < 0 ? qsizetype(h.dataBytes) : qsizetype(h.dataHeld), '\0');
    body += h.afterData;
    return "RIFF" + le32(quint32(body.size())) + body;
}

QByteArray listChunk(quint32 claimedSize, qsizetype held) {
    return "LIST" + le32(claimedSize) + "INFO" + QByteArray(held, '\0');
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QList<UnplayableWave> unplayableWaves() {
    return {
        // No recording at the path.
        {u"missing"_s, u"missing"_s},
        {u"text file"_s, u"text"_s},
        {u"folder"_s, u"folder"_s},
        {u"fifo"_s, u"fifo"_s},
        {u"link to /dev/zero"_s, u"zero"_s},
        // Headers libsndfile reads but whose numbers no recording has.
        {u"three channels"_s, u"three"_s},
        {u"300 channels"_s, u"300ch"_s},
        {u"no channels"_s, u"nochan"_s},
        {u"sample rate 0"_s, u"rate0"_s},
        {u"sample rate 1 Hz"_s, u"rate1"_s},
        {u"sample rate 10 MHz"_s, u"rate10M"_s},
        {u"sample rate 2^31-1"_s, u"rateMax"_s},
        {u"0 bits per sample"_s, u"bits0"_s},
        // Headers that end too early or lose their data chunk.
        {u"empty file"_s, u"empty"_s},
        {u"header cut at 12 bytes"_s, u"cut12"_s},
        {u"header cut at 30 bytes"_s, u"cut30"_s},
        {u"LIST chunk claiming 4 GiB before the data"_s, u"hugeListBefore"_s},
    };
}

bool writeUnplayableWave(const QString &native, const QString &kind) {
    WaveHeader h;
    auto withRate = [&](quint32 rate) {
        h.sampleRate = rate;
        return writeFile(native, waveBytes(h));
    };
    if (kind == u"missing")
        return !QFile::exists(native);
    if (kind == u"text")
        return writeFile(native, "1\tni hao\r\n2\tzai jian\r\n");
    if (kind == u"folder")
        return QDir().mkpath(native);
    if (kind == u"fifo")
        return ::mkfifo(QFile::encodeName(native).constData(), 0600) == 0;
    if (kind == u"zero")
        return QFile::link(u"/dev/zero"_s, native);
    if (kind == u"three")
        return writeTone(native, 440, 200, 44100, 3);
    if (kind == u"300ch") {
        h.channels = 300;
        h.dataBytes = 300 * 2 * 400;
        return writeFile(native, waveBytes(h));
    }
    if (kind == u"nochan") {
        h.channels = 0;
        h.dataBytes = 4410;
        return writeFile(native, waveBytes(h));
    }
    if (kind == u"rate0")
        return withRate(0);
    if (kind == u"rate1")
        return withRate(1);
    if (kind == u"rate10M")
        return withRate(10'000'000);
    if (kind == u"rateMax")
        return withRate(quint32(std::numeric_limits<qint32>::max()));
    if (kind == u"bits0") {
        h.bitsPerSample = 0;
        return writeFile(native, waveBytes(h));
    }
    if (kind == u"empty")
        return writeFile(native, {});
    if (kind == u"cut12")
        return writeFile(native, waveBytes(h).left(12));
    if (kind == u"cut30")
        return writeTone(native, 440, 300) && QFile::resize(native, 30);
    if (kind == u"hugeListBefore") {
        h.beforeData = listChunk(0xFFFFFFF0u, 64);
        return writeFile(native, waveBytes(h));
    }
    return false;
}

} // namespace vovozodo
