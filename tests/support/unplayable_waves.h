#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace vovozodo {

// A wave header byte by byte, so a test can state what no encoder writes.
struct WaveHeader {
    quint16 formatTag = 1; // PCM
    quint16 channels = 1;
    quint32 sampleRate = 8000;
    quint16 bitsPerSample = 16;
    quint32 dataBytes = 1600; // what the data chunk claims
    qint64 dataHeld = -1;     // what follows it; -1: as claimed
    QByteArray beforeData;    // chunks between "fmt " and "data"
    QByteArray afterData;
};

QByteArray waveBytes(const WaveHeader &header);
// A LIST chunk that claims `claimedSize` bytes and holds `held`.
QByteArray listChunk(quint32 claimedSize, qsizetype held);
bool writeFile(const QString &path, const QByteArray &bytes);

// Sound files a lesson may name that the device must refuse: it plays nothing,
// reports no length and stays usable.
struct UnplayableWave {
    QString row;  // the test row's name
    QString kind; // what writeUnplayableWave() makes
};
QList<UnplayableWave> unplayableWaves();

// Puts the kind of file named by `kind` at `nativePath` ("missing" leaves it
// absent); false when it cannot be made.
bool writeUnplayableWave(const QString &nativePath, const QString &kind);

} // namespace vovozodo
