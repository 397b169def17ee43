// Accuracy of vovozodo-lessons on recordings made at run time: sentences
// spoken by espeak-ng, joined by pauses of 250 to 1200 ms, with pauses inside
// sentences at commas, a jingle before the first sentence, with and without
// background noise at 20 dB SNR; the lesson is made once from the plain
// transcript, once from subtitles whose times are moved at random by up to
// 300 ms, and once from subtitles 2.3 s late and timed for 25 frames a second
// against sound at 23.976 (with 100 ms of jitter on top). Every clip must
// hold all of its own sentence and nothing of another (nor of the jingle);
// prints how far the cuts land from the middle of the true pauses. Exits 1
// when any clip fails.
//
//   bench_lessons_accuracy WORK_DIR [--seed N]
#include "handles/sndfile_handles.h"
#include "lessons/clip_plan.h"
#include "lessons/cue_snapper.h"
#include "lessons/cue_timing.h"
#include "lessons/input_error.h"
#include "lessons/level_profile.h"
#include "lessons/make_lesson.h"
#include "lessons/pause_finder.h"
#include "lessons/progress.h"
#include "lessons/recording.h"
#include "lessons/sentence_aligner.h"
#include "lessons/subtitle_reader.h"
#include "lessons/transcript_reader.h"

#ifdef VOVOZODO_WEBRTC_VAD
#include "lessons_webrtc_vad.h"
#endif

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

constexpr int kRate = 22050;

struct Spoken {
    QString text;
    std::vector<float> samples;
    // Where the voice is within `samples`.
    qint64 first = 0;
    qint64 last = 0;
};

std::vector<float> readMono(const QString &path) {
    SF_INFO info{};
    const UniqueSndfile file(sf_open(QFile::encodeName(path).constData(), SFM_READ, &info));
    if (!file || info.channels != 1 || info.samplerate != kRate)
        qFatal("cannot read %s", qPrintable(path));
    std::vector<float> samples(std::size_t(info.frames));
    sf_readf_float(file.get(), samples.data(), info.frames);
    return samples;
}

Spoken speak(const QString &text, const QString &voice, const QString &path) {
    if (!QFile::exists(path)) {
        QProcess espeak;
        espeak.start(u"espeak-ng"_s, {u"-v"_s, voice, u"-s"_s, u"150"_s, u"-w"_s, path, text});
        if (!espeak.waitForFinished(60000) || espeak.exitCode() != 0)
            qFatal("espeak-ng failed on %s", qPrintable(text));
    }
    Spoken spoken{text, readMono(path), 0, 0};
    // The voice: from the first to the last sample above -50 dBFS.
    const auto audible = [](float s) { return std::abs(s) > 0.00316f; };
    const auto begin = std::find_if(spoken.samples.begin(), spoken.samples.end(), audible);
    const auto end = std::find_if(spoken.samples.rbegin(), spoken.samples.rend(), audible);
    spoken.first = begin - spoken.samples.begin();
    spoken.last = qint64(spoken.samples.size()) - (end - spoken.samples.rbegin());
    return spoken;
}

QStringList chineseSentences() {
    QStringList sentences;
    const QDir lessons(QStringLiteral(SAMPLE_LESSONS_DIR));
    for (int n = 1; n <= 15; ++n) {
        QFile file(lessons.filePath(u"t_%1/script.txt"_s.arg(n)));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = decodeLessonText(file.readAll(), TextEncoding::Gb18030);
        const QStringList lines = text.split(u'\n');
        for (qsizetype k = 1; k < lines.size(); ++k)
            if (const QString line = lines[k].trimmed(); !line.isEmpty())
                sentences.append(line);
    }
    return sentences;
}

QStringList englishSentences(QRandomGenerator &random, int count) {
    const QStringList subjects = {u"My brother"_s,    u"The old teacher"_s,
                                  u"Our neighbour"_s, u"A young student"_s,
                                  u"The doctor"_s,    u"Her friend from school"_s};
    const QStringList verbs = {u"bought"_s,  u"carried"_s,  u"found"_s,
                               u"painted"_s, u"repaired"_s, u"forgot"_s};
    const QStringList objects = {u"a red bicycle"_s, u"the heavy suitcase"_s, u"some fresh bread"_s,
                                 u"an umbrella"_s,   u"the kitchen table"_s,  u"two tickets"_s};
    const QStringList tails = {u"yesterday morning"_s, u"after the rain stopped"_s,
                               u"before dinner"_s, u"near the station"_s, u"last summer"_s};
    const auto pick = [&](const QStringList &list) {
        return list[random.bounded(int(list.size()))];
    };
    QStringList sentences;
    for (int k = 0; k < count; ++k) {
        switch (k % 4) {
        case 0:
            sentences.append(pick(subjects) + u' ' + pick(verbs) + u' ' + pick(objects) + u'.');
            break;
        case 1: // a pause at a comma inside the sentence
            sentences.append(pick(tails).left(1).toUpper() + pick(tails).mid(1) + u", "_s +
                             pick(subjects).toLower() + u' ' + pick(verbs) + u' ' + pick(objects) +
                             u'.');
            break;
        case 2: // two commas: long sentences with long pauses inside
            sentences.append(pick(subjects) + u", who lives "_s + pick(tails) + u", "_s +
                             pick(verbs) + u' ' + pick(objects) + u' ' + pick(tails) + u'.');
            break;
        default:
            sentences.append(u"Yes, "_s + pick(objects) + u'.');
        }
    }
    return sentences;
}

struct Joined {
    std::vector<float> samples;
    std::vector<qint64> trueStart; // where each sentence's voice begins and ends
    std::vector<qint64> trueEnd;
    qint64 jingleEnd = 0;
};

Joined join(const std::vector<Spoken> &spoken, QRandomGenerator &random, bool noise) {
    Joined recording;
    // A jingle: a three-second tune of sustained notes over a chord, then a pause.
    const double notes[] = {523.3, 659.3, 784.0, 659.3, 587.3, 698.5,
                            880.0, 784.0, 659.3, 523.3, 587.3, 523.3};
    for (int i = 0; i < 3 * kRate; ++i) {
        const double t = double(i) / kRate;
        const double note = notes[std::size_t(t * 4) % std::size(notes)];
        recording.samples.push_back(
            float(0.12 * (std::sin(2 * M_PI * note * t) + 0.6 * std::sin(2 * M_PI * 261.6 * t) +
                          0.4 * std::sin(2 * M_PI * 329.6 * t))));
    }
    recording.jingleEnd = qint64(recording.samples.size());
    recording.samples.insert(recording.samples.end(), std::size_t(kRate * 0.8), 0.0f);
    for (std::size_t k = 0; k < spoken.size(); ++k) {
        const Spoken &s = spoken[k];
        const auto offset = qint64(recording.samples.size());
        // Only the voice: espeak's own silence around it would lengthen the pause.
        recording.samples.insert(recording.samples.end(), s.samples.begin() + s.first,
                                 s.samples.begin() + s.last);
        recording.trueStart.push_back(offset);
        recording.trueEnd.push_back(offset + (s.last - s.first));
        const int pauseMs = 250 + int(random.bounded(951));
        recording.samples.insert(recording.samples.end(), std::size_t(kRate * pauseMs / 1000),
                                 0.0f);
    }
    if (noise) {
        // 20 dB below the mean power of the voice.
        double power = 0;
        qint64 voiced = 0;
        for (std::size_t k = 0; k < spoken.size(); ++k)
            for (qint64 i = recording.trueStart[k]; i < recording.trueEnd[k]; ++i, ++voiced)
                power +=
                    double(recording.samples[std::size_t(i)]) * recording.samples[std::size_t(i)];
        const double noiseRms = std::sqrt(power / double(voiced) / 100.0);
        for (float &sample : recording.samples) {
            // Sum of uniforms: near enough to Gaussian noise.
            double n = 0;
            for (int j = 0; j < 4; ++j)
                n += random.generateDouble() - 0.5;
            sample += float(n * noiseRms * std::sqrt(3.0));
        }
    }
    return recording;
}

void writeWave(const QString &path, const std::vector<float> &samples) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    UniqueSndfile file(sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info));
    if (!file ||
        sf_writef_float(file.get(), samples.data(), sf_count_t(samples.size())) !=
            sf_count_t(samples.size()) ||
        !closeChecked(file))
        qFatal("cannot write %s", qPrintable(path));
}

QString srtTime(qint64 ms) {
    ms = std::max<qint64>(ms, 0);
    return u"%1:%2:%3,%4"_s.arg(ms / 3600000, 2, 10, QChar(u'0'))
        .arg(ms / 60000 % 60, 2, 10, QChar(u'0'))
        .arg(ms / 1000 % 60, 2, 10, QChar(u'0'))
        .arg(ms % 1000, 3, 10, QChar(u'0'));
}

struct Outcome {
    int sentences = 0;
    int failures = 0;
    std::vector<double> cutErrorsMs; // cut against the middle of the true pause
};

// Reads the clips back from the label track.
std::vector<std::pair<qint64, qint64>> readLabels(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no label track %s", qPrintable(path));
    std::vector<std::pair<qint64, qint64>> clips;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() >= 2)
            clips.emplace_back(std::llround(fields[0].toDouble() * kRate),
                               std::llround(fields[1].toDouble() * kRate));
    }
    return clips;
}

// Where the lesson was cut between sentences: the limit of each clip's tail.
// The pipeline of `make` up to the clips, with pauses from the level-based
// detector or, for comparison, from WebRTC's.
std::vector<SentenceSpan> spansOf(const MakeOptions &options, bool webrtc) {
    Progress silent(false);
    const std::unique_ptr<Recording> decoded = openRecording(options.audio);
    const LevelProfile profile = measureLevels(*decoded, false, silent);
#ifdef VOVOZODO_WEBRTC_VAD
    const SpeechMap speech = webrtc ? mapSpeech(profile, webrtcSpeechFrames(options.audio, profile))
                                    : findPauses(profile);
#else
    Q_UNUSED(webrtc);
    const SpeechMap speech = findPauses(profile);
#endif
    QStringList notes;
    if (options.subtitles.isEmpty()) {
        const QString text =
            decodeLessonText(readLessonTextFile(options.transcript), TextEncoding::Detect);
        return alignSentences(profile, speech, readTranscriptSentences(text, options.transcript))
            .spans;
    }
    const QString text =
        decodeLessonText(readLessonTextFile(options.subtitles), TextEncoding::Detect);
    const QList<Cue> cues = readSubtitles(text, options.subtitles).cues;
    return snapCues(profile, speech, applyCueTiming(cues, estimateCueTiming(profile, speech, cues)),
                    options.subtitles, notes);
}

// Where the lesson was cut between sentences: the limit of each clip's tail.
std::vector<qint64> cutsOf(const std::vector<SentenceSpan> &spans) {
    std::vector<qint64> cuts;
    for (const SentenceSpan &span : spans)
        cuts.push_back(span.limitAfter);
    return cuts;
}

Outcome judge(const Joined &recording, const std::vector<std::pair<qint64, qint64>> &clips,
              const std::vector<qint64> &cuts, const QString &name) {
    Outcome outcome;
    const std::size_t count = recording.trueStart.size();
    outcome.sentences = int(count);
    if (clips.size() != count) {
        std::printf("  %s: %zu clips for %zu sentences\n", qPrintable(name), clips.size(), count);
        outcome.failures = int(count);
        return outcome;
    }
    // A label track rounds to microseconds: allow one sample.
    for (std::size_t k = 0; k < count; ++k) {
        const auto [start, end] = clips[k];
        const bool whole = start <= recording.trueStart[k] + 1 && end + 1 >= recording.trueEnd[k];
        const bool alone =
            (k == 0 ? start + 1 >= recording.jingleEnd : start + 1 >= recording.trueEnd[k - 1]) &&
            (k + 1 == count || end <= recording.trueStart[k + 1] + 1);
        if (!whole || !alone) {
            ++outcome.failures;
            std::printf("  %s: sentence %zu: clip %.3f-%.3f s, voice %.3f-%.3f s%s%s\n",
                        qPrintable(name), k + 1, double(start) / kRate, double(end) / kRate,
                        double(recording.trueStart[k]) / kRate,
                        double(recording.trueEnd[k]) / kRate, whole ? "" : " (cut short)",
                        alone ? "" : " (holds another)");
        }
        if (k + 1 < count) {
            const auto cut = double(cuts[k]);
            const double middle = double(recording.trueEnd[k] + recording.trueStart[k + 1]) / 2.0;
            outcome.cutErrorsMs.push_back(std::abs(cut - middle) * 1000.0 / kRate);
        }
    }
    return outcome;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        qFatal("usage: bench_lessons_accuracy WORK_DIR [--seed N]");
    const QDir work(arguments[1]);
    QDir().mkpath(work.filePath(u"speech"_s));
    const quint32 seed = arguments.size() > 3 ? arguments[3].toUInt() : 14;
    QRandomGenerator random(seed);

    struct Language {
        QString name;
        QString voice;
        QStringList sentences;
    };
    const std::vector<Language> languages = {{u"zh"_s, u"cmn"_s, chineseSentences()},
                                             {u"en"_s, u"en"_s, englishSentences(random, 120)}};
    int total = 0;
    int failures = 0;
    [[maybe_unused]] int webrtcFailures = 0;
    std::vector<double> allErrors;
    for (const Language &language : languages) {
        std::vector<Spoken> spoken;
        for (qsizetype k = 0; k < language.sentences.size(); ++k)
            spoken.push_back(
                speak(language.sentences[k], language.voice,
                      work.filePath(u"speech/%1-%2-%3.wav"_s.arg(language.name).arg(seed).arg(k))));
        for (const bool noise : {false, true}) {
            const Joined recording = join(spoken, random, noise);
            const QString stem = work.filePath(language.name + (noise ? u"-noise"_s : u"-clean"_s));
            writeWave(stem + u".wav"_s, recording.samples);
            {
                QFile transcript(stem + u".txt"_s);
                transcript.open(QIODevice::WriteOnly);
                transcript.write(language.sentences.join(u'\n').toUtf8());
            }
            {
                // Each time off by up to 300 ms either way.
                QFile srt(stem + u".srt"_s);
                srt.open(QIODevice::WriteOnly);
                QTextStream out(&srt);
                for (std::size_t k = 0; k < spoken.size(); ++k) {
                    const auto jitter = [&] { return qint64(random.bounded(601)) - 300; };
                    out << (k + 1) << "\n"
                        << srtTime(recording.trueStart[k] * 1000 / kRate + jitter()) << " --> "
                        << srtTime(recording.trueEnd[k] * 1000 / kRate + jitter()) << "\n"
                        << language.sentences[qsizetype(k)] << "\n\n";
                }
            }
            {
                // Off by 2.3 s and timed for 25 frames a second against sound at
                // 23.976, each time off by up to 100 ms more.
                QFile srt(stem + u"-far.srt"_s);
                srt.open(QIODevice::WriteOnly);
                QTextStream out(&srt);
                const auto far = [&](qint64 sample) {
                    return qint64(double(sample) * 1000 / kRate * 23.976 / 25.0) + 2300 +
                           qint64(random.bounded(201)) - 100;
                };
                for (std::size_t k = 0; k < spoken.size(); ++k)
                    out << (k + 1) << "\n"
                        << srtTime(far(recording.trueStart[k])) << " --> "
                        << srtTime(far(recording.trueEnd[k])) << "\n"
                        << language.sentences[qsizetype(k)] << "\n\n";
            }
            for (const QString &kind : {u"txt"_s, u"srt"_s, u"far"_s}) {
                const bool subtitles = kind != u"txt"_s;
                const QString name =
                    QFileInfo(stem).fileName() + (kind == u"txt"_s   ? u" transcript"_s
                                                  : kind == u"srt"_s ? u" subtitles"_s
                                                                     : u" far subtitles"_s);
                const QString library = stem + u"-lib-"_s + kind;
                QDir(library).removeRecursively();
                QDir().mkpath(library);
                MakeOptions options;
                options.library = library;
                options.lesson = 1;
                options.audio = stem + u".wav"_s;
                (subtitles ? options.subtitles : options.transcript) =
                    stem + (kind == u"txt"_s   ? u".txt"_s
                            : kind == u"srt"_s ? u".srt"_s
                                               : u"-far.srt"_s);
                options.labels = stem + u'-' + kind + u".labels"_s;
                options.quiet = true;
                QStringList notes;
                Outcome outcome;
                try {
                    makeLesson(options, notes);
                    outcome = judge(recording, readLabels(options.labels),
                                    cutsOf(spansOf(options, false)), name);
                } catch (const InputError &error) {
                    std::printf("  %s: refused: %s\n", qPrintable(name),
                                qPrintable(error.message()));
                    outcome.sentences = int(spoken.size());
                    outcome.failures = outcome.sentences;
                }
                std::printf("%-26s %3d sentences, %d clips wrong; cut to middle of pause: median "
                            "%.0f ms, 95%% %.0f ms, worst %.0f ms\n",
                            qPrintable(name), outcome.sentences, outcome.failures,
                            percentile(outcome.cutErrorsMs, 0.5),
                            percentile(outcome.cutErrorsMs, 0.95),
                            percentile(outcome.cutErrorsMs, 1.0));
                total += outcome.sentences;
                failures += outcome.failures;
                allErrors.insert(allErrors.end(), outcome.cutErrorsMs.begin(),
                                 outcome.cutErrorsMs.end());
#ifdef VOVOZODO_WEBRTC_VAD
                // The same cuts from WebRTC's voice detector, for comparison only.
                Outcome other;
                const QString otherName = name + u" (WebRTC)"_s;
                try {
                    const std::vector<SentenceSpan> spans = spansOf(options, true);
                    std::vector<std::pair<qint64, qint64>> clips;
                    for (const Clip &clip : padSpans(spans, kRate))
                        clips.emplace_back(clip.start, clip.end);
                    other = judge(recording, clips, cutsOf(spans), otherName);
                } catch (const InputError &error) {
                    std::printf("  %s: refused: %s\n", qPrintable(otherName),
                                qPrintable(error.message()));
                    other.sentences = other.failures = int(spoken.size());
                }
                std::printf("%-35s %3d sentences, %d clips wrong; cut to middle of pause: median "
                            "%.0f ms, 95%% %.0f ms, worst %.0f ms\n",
                            qPrintable(otherName), other.sentences, other.failures,
                            percentile(other.cutErrorsMs, 0.5), percentile(other.cutErrorsMs, 0.95),
                            percentile(other.cutErrorsMs, 1.0));
                webrtcFailures += other.failures;
#endif
            }
        }
    }
    std::printf(
        "all: %d sentence clips, %d wrong (target 0); cut to middle of pause: median %.0f ms, "
        "95%% %.0f ms, worst %.0f ms\n",
        total, failures, percentile(allErrors, 0.5), percentile(allErrors, 0.95),
        percentile(allErrors, 1.0));
#ifdef VOVOZODO_WEBRTC_VAD
    std::printf("WebRTC's voice detector instead: %d of %d wrong\n", webrtcFailures, total);
#endif
    return failures == 0 ? 0 : 1;
}
