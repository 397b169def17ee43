#include "tst_lessons_support.h"

#include <QFile>
#include <QRandomGenerator>

#include <sndfile.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
constexpr int kSyllableMs = 170;
constexpr int kSyllableGapMs = 40;
} // namespace

SyntheticRecording writeSyntheticSpeech(const QString &path,
                                        const QList<SyntheticSentence> &sentences,
                                        const QList<int> &pausesMs,
                                        const SyntheticOptions &options) {
    SyntheticRecording recording;
    const int rate = recording.sampleRate;
    std::vector<float> samples;
    const auto silence = [&](int ms) {
        samples.insert(samples.end(), std::size_t(rate * ms / 1000), 0.0f);
    };
    if (options.jingle) {
        for (int i = 0; i < rate * 5 / 2; ++i) {
            const double t = double(i) / rate;
            samples.push_back(
                float(0.1 * (std::sin(2 * M_PI * 523.3 * t) + std::sin(2 * M_PI * 659.3 * t) +
                             std::sin(2 * M_PI * 784.0 * t))));
        }
        recording.jingleEnd = qint64(samples.size());
        silence(700);
    }
    int syllableIndex = 0;
    for (qsizetype k = 0; k < sentences.size(); ++k) {
        const SyntheticSentence &sentence = sentences[k];
        recording.starts.push_back(qint64(samples.size()));
        for (int s = 0; s < sentence.syllables; ++s) {
            // Each syllable its own pitch, so no two sound alike.
            const double f0 = 110.0 + 15.0 * (syllableIndex++ % 7);
            const int length = rate * kSyllableMs / 1000;
            for (int i = 0; i < length; ++i) {
                const double t = double(i) / rate;
                const double envelope = std::sin(M_PI * i / length);
                double value = 0;
                for (int h = 1; h <= 8; ++h)
                    value += std::sin(2 * M_PI * f0 * h * t) / h;
                samples.push_back(float(0.25 * envelope * value));
            }
            if (s + 1 < sentence.syllables)
                silence(s + 1 == sentence.commaAfter ? sentence.commaMs : kSyllableGapMs);
        }
        recording.ends.push_back(qint64(samples.size()));
        silence(pausesMs.value(k, 500));
    }
    if (options.noiseSnrDb > 0) {
        double power = 0;
        qint64 voiced = 0;
        for (std::size_t k = 0; k < recording.starts.size(); ++k)
            for (qint64 i = recording.starts[k]; i < recording.ends[k]; ++i, ++voiced)
                power += double(samples[std::size_t(i)]) * samples[std::size_t(i)];
        const double rms =
            std::sqrt(power / double(voiced) / std::pow(10.0, options.noiseSnrDb / 10));
        QRandomGenerator random(7);
        for (float &sample : samples)
            sample += float((random.generateDouble() - 0.5) * std::sqrt(12.0) * rms);
    }
    const auto gain = float(std::pow(10.0, options.gainDb / 20));
    for (float &sample : samples)
        sample *= gain;

    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return {};
    sf_writef_float(file, samples.data(), sf_count_t(samples.size()));
    sf_close(file);
    return recording;
}

QString clipsMismatch(const QString &labelTrack, const SyntheticRecording &recording) {
    QFile file(labelTrack);
    if (!file.open(QIODevice::ReadOnly))
        return labelTrack + u": missing"_s;
    std::vector<std::pair<qint64, qint64>> clips;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (const QList<QByteArray> fields = line.split('\t'); fields.size() >= 2)
            clips.emplace_back(std::llround(fields[0].toDouble() * recording.sampleRate),
                               std::llround(fields[1].toDouble() * recording.sampleRate));
    const std::size_t count = recording.starts.size();
    if (clips.size() != count)
        return u"%1 clips for %2 sentences"_s.arg(clips.size()).arg(count);
    QStringList wrong;
    // Labels are rounded to microseconds: one sample of slack.
    for (std::size_t k = 0; k < count; ++k) {
        const auto [start, end] = clips[k];
        const qint64 previousEnd = k == 0 ? recording.jingleEnd : recording.ends[k - 1];
        const qint64 nextStart = k + 1 == count ? recording.ends[k] * 4 : recording.starts[k + 1];
        if (start > recording.starts[k] + 1 || end + 1 < recording.ends[k] ||
            start + 1 < previousEnd || end > nextStart + 1)
            wrong.append(u"sentence %1: clip %2-%3 s, voice %4-%5 s"_s.arg(k + 1)
                             .arg(double(start) / recording.sampleRate, 0, 'f', 3)
                             .arg(double(end) / recording.sampleRate, 0, 'f', 3)
                             .arg(double(recording.starts[k]) / recording.sampleRate, 0, 'f', 3)
                             .arg(double(recording.ends[k]) / recording.sampleRate, 0, 'f', 3));
    }
    return wrong.join(u"; "_s);
}

bool writeText(const QString &path, const QString &text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}
