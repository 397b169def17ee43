// Helpers of the vovozodo-lessons speed and memory runs:
//
//   bench_lessons_tool long MINUTES SPEECH_DIR WAV TRANSCRIPT
//       joins the sentences spoken in SPEECH_DIR (k.wav with k.txt) over and
//       over, with pauses of 250 to 1200 ms, into a recording of MINUTES and
//       its transcript; written as it goes, so hours take no memory.
//   bench_lessons_tool decode FILE
//       decodes FILE to its end the way vovozodo-lessons does and prints the
//       seconds it took: the floor the making of a lesson is measured against.
//   bench_lessons_tool listen FILE TRANSCRIPT
//       make's listening pass over FILE (decoding, levels, pauses) and then its
//       cuts for TRANSCRIPT, each timed: what the lesson maker's opening is
//       measured against.
#include "handles/sndfile_handles.h"
#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"
#include "lessons/progress.h"
#include "lessons/recording.h"
#include "lessons/sentence_aligner.h"
#include "lessons/transcript_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>
#include <vector>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

int makeLong(double minutes, const QString &speechDir, const QString &wavPath,
             const QString &transcriptPath) {
    struct Sentence {
        std::vector<float> samples;
        QByteArray text;
    };
    std::vector<Sentence> sentences;
    int rate = 0;
    for (int k = 1;; ++k) {
        const QString wav = QDir(speechDir).filePath(u"%1.wav"_s.arg(k));
        QFile text(QDir(speechDir).filePath(u"%1.txt"_s.arg(k)));
        if (!QFile::exists(wav) || !text.open(QIODevice::ReadOnly))
            break;
        SF_INFO info{};
        const UniqueSndfile file(sf_open(QFile::encodeName(wav).constData(), SFM_READ, &info));
        if (!file || info.channels != 1)
            qFatal("cannot read %s", qPrintable(wav));
        rate = info.samplerate;
        Sentence sentence{std::vector<float>(std::size_t(info.frames)), text.readAll().trimmed()};
        sf_readf_float(file.get(), sentence.samples.data(), info.frames);
        sentences.push_back(std::move(sentence));
    }
    if (sentences.empty())
        qFatal("no sentences in %s", qPrintable(speechDir));
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    UniqueSndfile out(sf_open(QFile::encodeName(wavPath).constData(), SFM_WRITE, &info));
    QFile transcript(transcriptPath);
    if (!out || !transcript.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(wavPath));
    QRandomGenerator random(14);
    const auto total = qint64(minutes * 60 * rate);
    qint64 written = 0;
    const std::vector<float> silence(std::size_t(rate * 2), 0.0f);
    for (std::size_t k = 0; written < total; k = (k + 1) % sentences.size()) {
        const Sentence &sentence = sentences[k];
        sf_writef_float(out.get(), sentence.samples.data(), sf_count_t(sentence.samples.size()));
        const qint64 pause = qint64(rate) * (250 + random.bounded(951)) / 1000;
        sf_writef_float(out.get(), silence.data(), pause);
        written += qint64(sentence.samples.size()) + pause;
        transcript.write(sentence.text + '\n');
    }
    if (!closeChecked(out))
        qFatal("cannot write %s", qPrintable(wavPath));
    return 0;
}

int decode(const QString &path) {
    QElapsedTimer timer;
    timer.start();
    const std::unique_ptr<Recording> recording = openRecording(path);
    std::vector<float> block(std::size_t(8192 * recording->channels()));
    qint64 frames = 0;
    while (const qint64 got = recording->read(block.data(), 8192))
        frames += got;
    std::printf("%.3f s to decode %.1f s of sound\n", double(timer.nsecsElapsed()) / 1e9,
                double(frames) / recording->sampleRate());
    return 0;
}

int listen(const QString &path, const QString &transcriptPath) {
    QFile file(transcriptPath);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(transcriptPath));
    const QStringList sentences =
        readTranscript(QString::fromUtf8(file.readAll()), transcriptPath).sentences;
    QElapsedTimer timer;
    timer.start();
    const std::unique_ptr<Recording> recording = openRecording(path);
    Progress silent(false);
    const LevelProfile profile = measureLevels(*recording, false, silent);
    const SpeechMap speech = findPauses(profile);
    const double listened = double(timer.nsecsElapsed()) / 1e9;
    const Alignment alignment = alignSentences(profile, speech, sentences);
    std::printf("%.3f s listening, %.3f s with the cuts (%zu)\n", listened,
                double(timer.nsecsElapsed()) / 1e9, alignment.spans.size());
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == u"long"_s && arguments.size() == 6)
        return makeLong(arguments[2].toDouble(), arguments[3], arguments[4], arguments[5]);
    if (arguments.value(1) == u"decode"_s && arguments.size() == 3)
        return decode(arguments[2]);
    if (arguments.value(1) == u"listen"_s && arguments.size() == 4)
        return listen(arguments[2], arguments[3]);
    std::fprintf(stderr, "usage: bench_lessons_tool long MINUTES SPEECH_DIR WAV TRANSCRIPT\n"
                         "       bench_lessons_tool decode FILE\n"
                         "       bench_lessons_tool listen FILE TRANSCRIPT\n");
    return 2;
}
