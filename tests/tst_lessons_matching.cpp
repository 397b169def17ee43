// vovozodo-lessons: clips matched to sentences, from a plain transcript and
// from subtitles that are off, and recordings that cannot be matched.
#include "lessons/input_error.h"
#include "lessons/level_profile.h"
#include "lessons/make_lesson.h"
#include "lessons/pause_finder.h"
#include "lessons/sentence_aligner.h"
#include "tst_lessons_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

// A long pause inside sentence 2 (700 ms after a comma) outlasts the pauses
// after sentences 1 and 4; only the sentences' lengths tell it is no end.
const QList<SyntheticSentence> &kSentences = kInnerPauseSentences;
const QList<int> &kPausesMs = kInnerPausePausesMs;

// Speech frames then pause frames, one pair a stretch.
using Stretches = QList<std::pair<int, int>>;

// A level profile of speech-like sound (syllables 50 ms loud, 50 ms soft) in
// the given stretches, with its speech map.
std::pair<LevelProfile, SpeechMap> stretchesOfSpeech(const Stretches &stretches) {
    LevelProfile profile;
    profile.sampleRate = 16000;
    profile.channels = 1;
    profile.hop = 160;
    std::vector<char> speaking;
    for (const auto &[speech, pause] : stretches) {
        for (int f = 0; f < speech; ++f) {
            profile.centiDb.push_back(qint16(f / 5 % 2 ? -4500 : -1500));
            speaking.push_back(1);
        }
        profile.centiDb.insert(profile.centiDb.end(), std::size_t(pause), qint16(-9000));
        speaking.insert(speaking.end(), std::size_t(pause), 0);
    }
    profile.totalFrames = qint64(profile.centiDb.size()) * profile.hop;
    SpeechMap speech = mapSpeech(profile, speaking);
    return {std::move(profile), std::move(speech)};
}

} // namespace

class LessonsMatching : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    MakeOptions options(const QString &name) const {
        MakeOptions made;
        made.library = m_dir.filePath(name);
        QDir().mkpath(made.library);
        made.lesson = 1;
        made.audio = m_dir.filePath(name + u".wav"_s);
        made.labels = m_dir.filePath(name + u".labels"_s);
        made.quiet = true;
        return made;
    }

private slots:
    // Lengths that fit can still part from the recording: a cut on a short
    // pause beside a sentence end's long one left unused; two neighbours
    // swapped, each within its spread, where the other order fits far better.
    void fitBeyondLengths_data() {
        QTest::addColumn<Stretches>("stretches");
        QTest::addColumn<QList<int>>("sentenceLengths");
        // The sentence named (of a swapped pair, either), -1 for a fit.
        QTest::addColumn<int>("partsAt");
        QTest::addColumn<Misfit>("kind");
        const Stretches commaInThird = {{300, 60}, {300, 60}, {150, 15}, {150, 60}, {300, 0}};
        QTest::newRow("matching") << commaInThird << QList<int>{10, 10, 10, 10} << -1
                                  << Misfit::Unmatched;
        QTest::newRow("cut on the comma")
            << commaInThird << QList<int>{10, 15, 5, 10} << 1 << Misfit::PausesOff;
        // An uneven speaker: the others 20 % off their lengths either way.
        const Stretches longThird = {{360, 60}, {240, 60}, {450, 60}, {420, 60},
                                     {240, 60}, {360, 60}, {300, 0}};
        QTest::newRow("long one where it is said")
            << longThird << QList<int>{10, 10, 15, 14, 10, 10, 10} << -1 << Misfit::Unmatched;
        QTest::newRow("long one a line early")
            << longThird << QList<int>{10, 15, 10, 14, 10, 10, 10} << 1 << Misfit::OutOfPlace;
    }
    void fitBeyondLengths() {
        QFETCH(Stretches, stretches);
        QFETCH(QList<int>, sentenceLengths);
        QFETCH(int, partsAt);
        QFETCH(Misfit, kind);
        const auto [profile, speech] = stretchesOfSpeech(stretches);
        QStringList sentences;
        for (const int length : sentenceLengths)
            sentences.append(QString(length, u'字'));
        const Alignment alignment = alignSentences(profile, speech, sentences);
        if (partsAt < 0) {
            QVERIFY2(alignment.fits(),
                     alignment.fits() ? "" : qPrintable(alignment.problems.front().detail));
            return;
        }
        QVERIFY(!alignment.fits());
        QCOMPARE(int(alignment.problems.front().kind), int(kind));
        const qsizetype named = alignment.problems.front().sentence;
        QVERIFY2(named == partsAt || (kind == Misfit::OutOfPlace && named == partsAt + 1),
                 qPrintable(QString::number(named)));
    }
    void fromTranscript_data() {
        QTest::addColumn<SyntheticOptions>("recording");
        QTest::newRow("clean") << SyntheticOptions{};
        QTest::newRow("noise at 20 dB SNR") << SyntheticOptions{false, 20, 0};
        QTest::newRow("quiet file, -35 dB") << SyntheticOptions{false, 0, -35};
        QTest::newRow("jingle before the first sentence") << SyntheticOptions{true, 0, 0};
    }
    void fromTranscript() {
        QFETCH(SyntheticOptions, recording);
        const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
        MakeOptions made = options(name);
        const SyntheticRecording truth =
            writeSyntheticSpeech(made.audio, kSentences, kPausesMs, recording);
        made.transcript = m_dir.filePath(name + u".txt"_s);
        QVERIFY(writeText(made.transcript, transcriptOf(kSentences)));
        QStringList notes;
        const MadeLesson lesson = makeLesson(made, notes);
        QCOMPARE(lesson.sentences, kSentences.size());
        QCOMPARE(clipsMismatch(made.labels, truth), QString());
        QVERIFY(QFile::exists(made.library + u"/t_1/6.wav"_s));
        QVERIFY(!QFile::exists(made.library + u"/t_1/7.wav"_s));
    }

    // Every subtitle time off by up to 300 ms, either way, on its own.
    void fromShiftedSubtitles() {
        MakeOptions made = options(u"subtitles"_s);
        const SyntheticRecording truth = writeSyntheticSpeech(made.audio, kSentences, kPausesMs);
        QString srt;
        const int offsets[] = {280, -290, -150, 300, -300, 120, 250, -260, 0, 290, -200, 180};
        for (qsizetype k = 0; k < kSentences.size(); ++k)
            srt += u"%1\n%2 --> %3\n%4\n\n"_s.arg(k + 1)
                       .arg(srtTime(truth.starts[std::size_t(k)] * 1000 / truth.sampleRate +
                                    offsets[2 * k]))
                       .arg(srtTime(truth.ends[std::size_t(k)] * 1000 / truth.sampleRate +
                                    offsets[2 * k + 1]))
                       .arg(kSentences[k].text);
        made.subtitles = m_dir.filePath(u"shifted.srt"_s);
        QVERIFY(writeText(made.subtitles, srt));
        QStringList notes;
        makeLesson(made, notes);
        QCOMPARE(clipsMismatch(made.labels, truth), QString());

        // The label track reads back as subtitles and makes the same lesson.
        MakeOptions again = options(u"subtitles-again"_s);
        again.audio = made.audio;
        again.subtitles = made.labels;
        makeLesson(again, notes);
        QCOMPARE(clipsMismatch(again.labels, truth), QString());
    }

    // Subtitles off by a constant or running at another frame rate are brought
    // back to the speech, and a note says what was applied; times that no
    // offset brings near the speech are refused with a line.
    void farOffSubtitles_data() {
        QTest::addColumn<double>("rate"); // subtitle time = true time * rate + offset
        QTest::addColumn<int>("offsetMs");
        QTest::addColumn<QString>("outcome"); // in the note, or the error
        QTest::newRow("700 ms late") << 1.0 << 700 << u"moved 0.70 s earlier"_s;
        QTest::newRow("4 s late") << 1.0 << 4000 << u"moved 4.00 s earlier"_s;
        QTest::newRow("timed for 23.976 fps, played at 25")
            << 25.0 / 23.976 << 0 << u"stretched by 0.95904"_s;
        // Refused by the fit of the times or by the clips they would make.
        QTest::newRow("no offset fits") << 1.6 << 0 << u".srt:"_s;
    }
    void farOffSubtitles() {
        QFETCH(double, rate);
        QFETCH(int, offsetMs);
        QFETCH(QString, outcome);
        MakeOptions made =
            options(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
        const SyntheticRecording truth = writeSyntheticSpeech(made.audio, kSentences, kPausesMs);
        const auto moved = [&](qint64 sample) {
            return qint64(double(sample) * 1000 / truth.sampleRate * rate) + offsetMs + 4000;
        };
        QString srt;
        for (qsizetype k = 0; k < kSentences.size(); ++k)
            srt += u"%1\n%2 --> %3\n%4\n\n"_s.arg(k + 1)
                       .arg(srtTime(moved(truth.starts[std::size_t(k)]) - 4000))
                       .arg(srtTime(moved(truth.ends[std::size_t(k)]) - 4000))
                       .arg(kSentences[k].text);
        made.subtitles = made.audio + u".srt"_s;
        QVERIFY(writeText(made.subtitles, srt));
        QStringList notes;
        try {
            makeLesson(made, notes);
            QCOMPARE(clipsMismatch(made.labels, truth), QString());
            QVERIFY2(notes.join(u'\n').contains(outcome), qPrintable(notes.join(u'\n')));
        } catch (const InputError &error) {
            QVERIFY2(error.message().contains(outcome), qPrintable(error.message()));
            QVERIFY(!QFile::exists(made.library + u"/t_1"_s));
        }
    }

    // Sound in containers FFmpeg reads, timed on the container's own timeline:
    // in a film whose sound starts after its picture, the subtitles count from
    // the picture's start.
    void fromContainers_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("pictureFirstMs");
        QTest::newRow("M4A") << u"talk.m4a"_s << 0;
        QTest::newRow("MKV, sound 500 ms after the picture") << u"film.mkv"_s << 500;
    }
    void fromContainers() {
        QFETCH(QString, file);
        QFETCH(int, pictureFirstMs);
        MakeOptions made = options(file.section(u'.', 0, 0));
        const QString wave = made.audio;
        SyntheticRecording truth = writeSyntheticSpeech(wave, kSentences, kPausesMs);
        made.audio = m_dir.filePath(file);
        QCOMPARE(encodeAac(wave, made.audio, pictureFirstMs), QString());
        const qint64 shift = qint64(pictureFirstMs) * truth.sampleRate / 1000;
        for (qsizetype k = 0; k < kSentences.size(); ++k) {
            truth.starts[std::size_t(k)] += shift;
            truth.ends[std::size_t(k)] += shift;
        }
        made.subtitles = made.audio + u".srt"_s;
        QVERIFY(writeText(made.subtitles, subtitlesOf(kSentences, truth)));
        QStringList notes;
        makeLesson(made, notes);
        QCOMPARE(clipsMismatch(made.labels, truth), QString());
        // Every subtitle time found its pause: the sound sits where the timeline says.
        QCOMPARE(notes, QStringList());
    }

    // A film whose sound starts over an hour after its picture is refused
    // before any silence is made up for it; nothing is left behind.
    void soundFarAfterItsPicture() {
        MakeOptions made = options(u"late"_s);
        writeSyntheticSpeech(made.audio, kSentences.mid(0, 2), kPausesMs);
        const QString wave = made.audio;
        made.audio = m_dir.filePath(u"late.mkv"_s);
        QCOMPARE(encodeAac(wave, made.audio, 3700 * 1000), QString());
        made.transcript = wave + u".txt"_s;
        QVERIFY(writeText(made.transcript, transcriptOf(kSentences.mid(0, 2))));
        QStringList notes;
        try {
            makeLesson(made, notes);
            QFAIL("a sound an hour late was made into a lesson");
        } catch (const InputError &error) {
            QVERIFY2(error.message().contains(u"after the picture"_s), qPrintable(error.message()));
        }
        QCOMPARE(
            QDir(made.library).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }

    // A transcript that parts from the recording is refused with the line and
    // the kind of parting, and nothing is written: a sentence missing, one too
    // many, one out of place, far too many, one far too long.
    void misfitTranscriptsWriteNothing_data() {
        QTest::addColumn<QList<SyntheticSentence>>("transcript");
        QTest::addColumn<QString>("message");
        QList<SyntheticSentence> missing = kSentences;
        missing.removeAt(3);
        QTest::newRow("sentence missing")
            << missing << u"the recording has a sentence here that the transcript lacks"_s;
        QList<SyntheticSentence> extra = kSentences;
        extra.insert(3, {u"海上生明月天涯共此时"_s, 10});
        QTest::newRow("sentence extra") << extra << u"the recording does not say this sentence"_s;
        QList<SyntheticSentence> moved = kSentences;
        moved.move(3, 0);
        // Out of place, or not spoken where it stands: either names line 1.
        QTest::newRow("sentence out of place") << moved << u"line 1 \"床前明月光疑是地\""_s;
        QList<SyntheticSentence> many = kSentences;
        for (int k = 0; k < 12; ++k)
            many.append({u"一二三四五六七八九十"_s, 10});
        QTest::newRow("too few pauses") << many << u"pauses in the speech"_s;
        QList<SyntheticSentence> lopsided = kSentences;
        lopsided[2].text = QString(200, u'长');
        QTest::newRow("lengths far off") << lopsided << u"does not match"_s;
    }
    void misfitTranscriptsWriteNothing() {
        QFETCH(QList<SyntheticSentence>, transcript);
        QFETCH(QString, message);
        MakeOptions made =
            options(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
        writeSyntheticSpeech(made.audio, kSentences, kPausesMs);
        made.transcript = made.audio + u".txt"_s;
        QVERIFY(writeText(made.transcript, transcriptOf(transcript)));
        QStringList notes;
        try {
            makeLesson(made, notes);
            QFAIL("an unmatched recording was made into a lesson");
        } catch (const InputError &error) {
            QVERIFY2(error.message().contains(message), qPrintable(error.message()));
        }
        QCOMPARE(
            QDir(made.library).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
        QVERIFY(!QFile::exists(made.labels));
    }
};

QTEST_GUILESS_MAIN(LessonsMatching)
#include "tst_lessons_matching.moc"
