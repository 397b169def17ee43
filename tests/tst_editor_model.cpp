// The editor's model: the time scale, the peak pyramid, the edits and their
// history, re-aligning around hand-placed cuts, and that an untouched draft
// saves what `make` writes and plays what it saved.
#include "editor/clip_sound.h"
#include "editor/lesson_document.h"
#include "editor/lesson_input.h"
#include "editor/lesson_saver.h"
#include "editor/peak_pyramid.h"
#include "editor/realign.h"
#include "editor/time_scale.h"
#include "lessons/input_error.h"
#include "lessons/make_lesson.h"
#include "lessons/progress.h"
#include "lessons/recording.h"
#include "tst_lessons_support.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <algorithm>

#include <sndfile.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

const QList<SyntheticSentence> kSentences = {
    {u"春眠不觉晓"_s, 5}, {u"处处闻啼鸟"_s, 5},     {u"夜来风雨声"_s, 5},
    {u"花落知多少"_s, 5}, {u"床前明月光疑是"_s, 7}, {u"地上霜"_s, 3},
};
const QList<int> kPausesMs = {400, 500, 450, 600, 380, 500};

SpeechGuide guideOf(const QString &path) {
    const std::unique_ptr<Recording> recording = openRecording(path);
    Progress silent(false);
    LevelProfile profile = measureLevels(*recording, false, silent);
    SpeechMap speech = findPauses(profile);
    return {std::move(profile), std::move(speech)};
}

// Cuts in order, each the end of one sentence and the start of the next, with
// every sentence's speech inside its limits.
QString brokenInvariant(const LessonDraft &draft) {
    if (qsizetype(draft.spans.size()) != draft.sentences.size() ||
        qsizetype(draft.handPlaced.size()) != draft.cutCount())
        return u"sizes differ"_s;
    for (std::size_t i = 0; i < draft.spans.size(); ++i) {
        const SentenceSpan &span = draft.spans[i];
        if (span.limitBefore >= span.limitAfter || span.speechStart < span.limitBefore ||
            span.speechEnd > span.limitAfter || span.speechStart > span.speechEnd)
            return u"span %1 out of order"_s.arg(i);
        if (i > 0 && draft.spans[i - 1].limitAfter > span.limitBefore)
            return u"span %1 overlaps the one before"_s.arg(i);
    }
    return {};
}

} // namespace

class EditorModel : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_audio;
    QString m_transcript;
    SyntheticRecording m_truth;
    SpeechGuide m_guide;

    qint64 ms(qint64 milliseconds) const { return m_guide.samplesOfMs(milliseconds); }
    qint64 truePause(qsizetype cut) const {
        return (m_truth.ends[std::size_t(cut)] + m_truth.starts[std::size_t(cut) + 1]) / 2;
    }

private slots:
    void initTestCase() {
        m_audio = m_dir.filePath(u"poem.wav"_s);
        m_transcript = m_dir.filePath(u"poem.txt"_s);
        const std::optional<SyntheticRecording> truth =
            writeSyntheticLesson(m_audio, m_transcript, kSentences, kPausesMs);
        QVERIFY(truth);
        m_truth = *truth;
        m_guide = guideOf(m_audio);
    }

    // Whole recording at step 0, one 10 ms frame across 64 pixels at the last;
    // the sample under the pointer stays there; a zoom taken back restores the scale.
    void timeScale_data() {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("width");
        QTest::newRow("3 hours, 1920 px") << qint64(3LL * 3600 * 48000) << 48000 << 1920;
        QTest::newRow("2 s, 800 px") << qint64(88200) << 44100 << 800;
        QTest::newRow("shorter than the view") << qint64(100) << 8000 << 1000;
    }
    void timeScale() {
        QFETCH(qint64, total);
        QFETCH(int, rate);
        QFETCH(int, width);
        TimeScale scale(total, rate, width);
        QCOMPARE(scale.firstSample(), 0);
        QVERIFY(scale.visibleSamples() >= std::min(total, qint64(scale.samplesPerPixel() * width)));
        const double closest = rate / 100.0 / TimeScale::kPixelsPerFrame;
        QVERIFY(scale.samplesPerPixel() * width >= total - 1 || scale.maxZoomStep() == 0);
        for (int step = 1; step <= scale.maxZoomStep() + 2; ++step) {
            const double anchorX = width * 0.3;
            const qint64 anchored = scale.sampleAt(anchorX);
            const double before = scale.samplesPerPixel();
            scale.zoom(1, anchorX);
            QVERIFY(scale.samplesPerPixel() <= before);
            QVERIFY(scale.samplesPerPixel() >= closest - 1e-9);
            if (scale.firstSample() > 0 && scale.firstSample() + scale.visibleSamples() < total)
                QVERIFY(qAbs(scale.xOf(anchored) - anchorX) <= 1.0);
        }
        QCOMPARE(scale.samplesPerPixel(),
                 scale.maxZoomStep() == 0 ? std::max(closest, double(total) / width) : closest);
        const double deepest = scale.samplesPerPixel();
        const qint64 first = scale.firstSample();
        scale.zoom(-3, 10);
        scale.zoom(3, 10);
        QCOMPARE(scale.samplesPerPixel(), deepest);
        QVERIFY(qAbs(scale.firstSample() - first) <= qint64(deepest) + 1);
        scale.ensureVisible(total - 1, 20);
        QVERIFY(scale.xOf(total - 1) <= width);
        scale.zoom(-1000, 0);
        QCOMPARE(scale.zoomStep(), 0);
        QCOMPARE(scale.firstSample(), 0);
    }

    // Fed in uneven pieces, every range holds the true extremes of its frames and
    // nothing from further away than its own length.
    void peakPyramidHoldsTheExtremes() {
        QRandomGenerator random(7);
        std::vector<float> stereo(2 * 50000);
        for (float &sample : stereo)
            sample = float(random.bounded(2.0) - 1.0) * float(random.bounded(1.0));
        PeakBlocks blocks;
        PeakPyramid pyramid;
        std::vector<Peak> out;
        for (std::size_t at = 0; at < 50000;) {
            const auto piece = std::min<std::size_t>(50000 - at, random.bounded(1, 5000));
            blocks.add(stereo.data() + 2 * at, qint64(piece), 2, out);
            pyramid.append(out.data(), qsizetype(out.size()));
            out.clear();
            at += piece;
        }
        QCOMPARE(pyramid.frames(), 50000 / PeakBlocks::kBlockFrames * PeakBlocks::kBlockFrames);
        const auto extremes = [&](qint64 first, qint64 last) {
            Peak peak{127, -127};
            for (qint64 f = std::max<qint64>(first, 0); f < std::min(last, pyramid.frames()); ++f) {
                const float mono =
                    (stereo[std::size_t(2 * f)] + stereo[std::size_t(2 * f + 1)]) / 2;
                const auto level = qint8(std::lround(mono * 127.0f));
                peak.low = std::min(peak.low, level);
                peak.high = std::max(peak.high, level);
            }
            return peak;
        };
        for (int trial = 0; trial < 300; ++trial) {
            const qint64 first = random.bounded(pyramid.frames() - 1);
            const qint64 last =
                first + 1 + random.bounded(std::min<qint64>(20000, pyramid.frames() - first));
            const Peak got = pyramid.range(first, last);
            const Peak inner = extremes(first, last);
            const Peak outer = extremes(first - (last - first) - 32, last + (last - first) + 32);
            QVERIFY2(got.low <= inner.low && got.high >= inner.high,
                     qPrintable(u"%1..%2"_s.arg(first).arg(last)));
            QVERIFY(got.low >= outer.low && got.high <= outer.high);
        }
    }

    // An untouched draft saves, clip for clip and byte for byte, what `make`
    // writes from the same inputs: the same cuts, whether found by the aligner
    // or from subtitles off by an offset make estimates (the editor says what
    // it applied), and the same slowed copy.
    void untouchedDraftSavesWhatMakeWrites_data() {
        QTest::addColumn<int>("srtLateMs"); // -1: the plain transcript
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("note");
        QTest::newRow("transcript") << -1 << 100 << QString();
        QTest::newRow("subtitles 700 ms late") << 700 << 100 << u"moved 0.70 s earlier"_s;
        QTest::newRow("transcript at 75 %") << -1 << 75 << QString();
    }
    void untouchedDraftSavesWhatMakeWrites() {
        QFETCH(int, srtLateMs);
        QFETCH(int, percent);
        QFETCH(QString, note);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
        MakeOptions made;
        made.library = m_dir.filePath(u"by-make-"_s + tag);
        QDir().mkpath(made.library);
        made.lesson = 2;
        made.audio = m_audio;
        made.transcript = m_transcript;
        made.tempo = percent / 100.0;
        made.quiet = true;
        if (srtLateMs >= 0) {
            made.transcript.clear();
            made.subtitles = m_dir.filePath(tag + u".srt"_s);
            QVERIFY(writeText(made.subtitles, subtitlesOf(kSentences, m_truth, srtLateMs)));
        }
        QStringList notes;
        makeLesson(made, notes);

        const QString text = srtLateMs >= 0 ? made.subtitles : made.transcript;
        QString disagreement;
        notes.clear();
        const LessonInput input = readLessonInput(text);
        const LessonDraft draft = proposeDraft(m_guide, input, m_audio, text, disagreement, notes);
        QCOMPARE(disagreement, QString());
        QVERIFY2(notes.join(u'\n').contains(note), qPrintable(notes.join(u'\n')));
        SaveRequest request;
        request.library = m_dir.filePath(u"by-editor-"_s + tag);
        QDir().mkpath(request.library);
        request.lesson = 2;
        request.recording = m_audio;
        request.paragraphStarts = input.paragraphStarts;
        request.opened = recordingStamp(m_audio);
        request.tempo = made.tempo;
        saveDraft(request, draft);
        for (const QString &name : QDir(made.library + u"/t_2"_s).entryList(QDir::Files)) {
            QFile make(made.library + u"/t_2/"_s + name);
            QFile editor(request.library + u"/t_2/"_s + name);
            QVERIFY(make.open(QIODevice::ReadOnly) && editor.open(QIODevice::ReadOnly));
            QVERIFY2(make.readAll() == editor.readAll(), qPrintable(name));
        }
        QCOMPARE(QDir(request.library + u"/t_2"_s).count(), QDir(made.library + u"/t_2"_s).count());
        if (srtLateMs >= 0 || percent != 100)
            return;

        // Saving again asks for replacing; an existing lesson is not overwritten unasked.
        QVERIFY_THROWS_EXCEPTION(InputError, saveDraft(request, draft));

        // What Space plays is what was saved, sample for sample.
        const std::vector<Clip> clips = padSpans(draft.spans, m_guide.sampleRate());
        for (const std::size_t k : {std::size_t(0), clips.size() - 1}) {
            const ClipSound heard = renderStretch(m_audio, clips[k].start, clips[k].end, true);
            SF_INFO info{};
            SNDFILE *file = sf_open(
                QFile::encodeName(request.library + u"/t_2/%1.wav"_s.arg(k + 1)).constData(),
                SFM_READ, &info);
            QVERIFY(file);
            std::vector<qint16> saved(std::size_t(info.frames * info.channels));
            sf_readf_short(file, saved.data(), info.frames);
            sf_close(file);
            QCOMPARE(heard.samples.size(), saved.size());
            for (std::size_t i = 0; i < saved.size(); ++i)
                QVERIFY2(qAbs(heard.samples[i] - saved[i]) <= 1, qPrintable(QString::number(i)));
        }
    }

    // A copy at 75 % speed: each clip a third longer, holding its sentence at the
    // same loudness (a clip cut from the wrong place would hold a pause instead).
    void slowedCopyKeepsTheSentences() {
        QString disagreement;
        QStringList notes;
        const LessonDraft draft = proposeDraft(m_guide, readLessonInput(m_transcript), m_audio,
                                               m_transcript, disagreement, notes);
        SaveRequest request;
        request.library = m_dir.filePath(u"slow"_s);
        QDir().mkpath(request.library);
        request.recording = m_audio;
        request.tempo = 0.75;
        saveDraft(request, draft);
        const std::vector<Clip> clips = padSpans(draft.spans, m_guide.sampleRate());
        for (std::size_t k = 0; k < clips.size(); ++k) {
            SF_INFO info{};
            SNDFILE *file = sf_open(
                QFile::encodeName(request.library + u"/t_1/%1.wav"_s.arg(k + 1)).constData(),
                SFM_READ, &info);
            QVERIFY(file);
            std::vector<qint16> slow(std::size_t(info.frames));
            sf_readf_short(file, slow.data(), info.frames);
            sf_close(file);
            const qint64 length = clips[k].end - clips[k].start;
            QVERIFY(qAbs(info.frames - length * 4 / 3) <= 2);
            const ClipSound original = renderStretch(m_audio, clips[k].start, clips[k].end, true);
            const auto rms = [](const std::vector<qint16> &samples) {
                double sum = 0;
                for (const qint16 s : samples)
                    sum += double(s) * s;
                return std::sqrt(sum / double(std::max<std::size_t>(samples.size(), 1)));
            };
            const double ratio = rms(slow) / rms(original.samples);
            QVERIFY2(ratio > 0.7 && ratio < 1.3,
                     qPrintable(u"clip %1: %2"_s.arg(k + 1).arg(ratio)));
            // What [ and Space play: the clip as slowed in the copy, the playhead
            // moving at three quarters of the recording's pace.
            const ClipSound heard = slowedDown(original, 0.75);
            QCOMPARE(heard.tempo, 0.75);
            QVERIFY(qAbs(double(heard.samples.size()) / double(slow.size()) - 1) < 0.02);
            QVERIFY(qAbs(rms(heard.samples) / rms(slow) - 1) < 0.1);
        }
    }

    // A text that lacks a sentence the recording speaks still opens, with the
    // place named as make names it when it refuses (its line in the file) and
    // the sentences concerned marked in the same words; a mark goes when a cut
    // around its sentence moves, comes back with undo, and a re-align finds
    // the parting again while the text still disagrees.
    void disagreementOpensAnyway() {
        MakeOptions made;
        made.library = m_dir.filePath(u"refused"_s);
        made.lesson = 1;
        made.audio = m_dir.filePath(u"inner-pauses.wav"_s);
        made.transcript = m_dir.filePath(u"fewer.txt"_s);
        made.quiet = true;
        writeSyntheticSpeech(made.audio, kInnerPauseSentences, kInnerPausePausesMs);
        QList<SyntheticSentence> fewer = kInnerPauseSentences;
        fewer.removeAt(3);
        QVERIFY(writeText(made.transcript, u"\n"_s + transcriptOf(fewer)));
        QString refusal;
        QStringList notes;
        try {
            makeLesson(made, notes);
        } catch (const InputError &error) {
            refusal = error.message();
        }
        QVERIFY(refusal.endsWith(u" ("_s + made.audio + u')'));
        refusal.chop(made.audio.size() + 3);

        const SpeechGuide guide = guideOf(made.audio);
        QString disagreement;
        const LessonDraft draft = proposeDraft(guide, readLessonInput(made.transcript), made.audio,
                                               made.transcript, disagreement, notes);
        QCOMPARE(disagreement, made.audio + u": "_s + refusal);
        QCOMPARE(draft.sentences.size(), fewer.size());
        QCOMPARE(brokenInvariant(draft), QString());
        QVERIFY(!draft.misfits.empty());
        for (const MisfitMark &mark : draft.misfits)
            QVERIFY2(mark.description.startsWith(u"fewer.txt: line "_s) &&
                         refusal.contains(mark.description.mid(mark.description.indexOf(u':'))),
                     qPrintable(mark.description));

        LessonDocument document;
        document.reset(guide, draft);
        const qsizetype marked = draft.misfits.front().sentence;
        const qsizetype cut = std::min(marked, draft.cutCount() - 1);
        document.moveCut(cut, document.draft().cut(cut) + ms(100));
        QVERIFY(document.draft().misfitsOf(marked).isEmpty());
        document.undoStack()->undo();
        QCOMPARE(document.draft().misfits, draft.misfits);
        // Re-aligned, a stretch is marked exactly when it fits no better.
        const bool stillParts = !document.realignAfter(0).isEmpty();
        const auto &after = document.draft().misfits;
        QCOMPARE(std::any_of(after.begin(), after.end(),
                             [](const MisfitMark &mark) { return mark.sentence > 0; }),
                 stillParts);
    }

    // Each edit, then undo and redo: the draft before and after come back exactly.
    void editsUndoAndRedo_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("sentences");
        QTest::newRow("drag near a pause snaps to its quietest point") << u"snap"_s << 6;
        QTest::newRow("drag with Shift lands where dropped") << u"exact"_s << 6;
        QTest::newRow("drag past the next cut stops short of it") << u"clamp"_s << 6;
        QTest::newRow("split at a time, text at the caret") << u"split"_s << 7;
        QTest::newRow("merge by removing a cut") << u"merge"_s << 5;
        QTest::newRow("edit a text") << u"text"_s << 6;
        QTest::newRow("nudges of one cut are one step") << u"nudges"_s << 6;
    }
    void editsUndoAndRedo() {
        QFETCH(QString, edit);
        QFETCH(int, sentences);
        QString disagreement;
        QStringList notes;
        LessonDocument document;
        document.reset(m_guide, proposeDraft(m_guide, readLessonInput(m_transcript), m_audio,
                                             m_transcript, disagreement, notes));
        const LessonDraft before = document.draft();
        const qint64 cut1 = before.cut(1);
        if (edit == u"snap"_s) {
            document.moveCut(1, document.snapped(cut1 + ms(150)));
            QCOMPARE(document.draft().cut(1), cut1);
            document.moveCut(1, document.snapped(truePause(2) - ms(120)));
            QVERIFY(qAbs(document.draft().cut(1) - truePause(2)) < ms(120));
        } else if (edit == u"exact"_s) {
            document.moveCut(1, cut1 + ms(150));
            QCOMPARE(document.draft().cut(1), cut1 + ms(150));
            QVERIFY(document.draft().handPlaced[1]);
        } else if (edit == u"clamp"_s) {
            document.moveCut(1, before.cut(3));
            QVERIFY(document.draft().cut(1) < before.cut(2));
        } else if (edit == u"split"_s) {
            const qint64 at = (before.spans[2].speechStart + before.spans[2].speechEnd) / 2;
            document.split(at, 2);
            QCOMPARE(document.draft().sentences.mid(2, 2), (QStringList{u"夜来"_s, u"风雨声"_s}));
            QCOMPARE(document.draft().cut(2), at);
        } else if (edit == u"merge"_s) {
            document.removeCut(1);
            QCOMPARE(document.draft().sentences[1], u"处处闻啼鸟夜来风雨声"_s);
            QCOMPARE(document.draft().cut(1), before.cut(2));
        } else if (edit == u"text"_s) {
            document.setText(4, u"  床前 明月光  "_s);
            QCOMPARE(document.draft().sentences[4], u"床前 明月光"_s);
        } else if (edit == u"nudges"_s) {
            for (int i = 0; i < 5; ++i)
                document.moveCut(2, document.draft().cut(2) + ms(10), true);
            QCOMPARE(document.undoStack()->count(), 1);
        }
        const LessonDraft after = document.draft();
        QCOMPARE(after.sentences.size(), sentences);
        QCOMPARE(brokenInvariant(after), QString());
        QVERIFY(!(after == before));
        while (document.undoStack()->canUndo())
            document.undoStack()->undo();
        QVERIFY(document.draft() == before);
        while (document.undoStack()->canRedo())
            document.undoStack()->redo();
        QVERIFY(document.draft() == after);
    }

    // Re-aligning after cut 0 finds the cuts moved away again, but keeps the
    // one placed by hand where the learner put it.
    void realignKeepsHandPlacedCuts() {
        QString disagreement;
        QStringList notes;
        LessonDraft draft = proposeDraft(m_guide, readLessonInput(m_transcript), m_audio,
                                         m_transcript, disagreement, notes);
        const LessonDraft proposed = draft;
        draft = withCutMoved(draft, m_guide, 2, draft.cut(2) - ms(700));
        draft.handPlaced[2] = false; // as if the aligner had put it there
        draft = withCutMoved(draft, m_guide, 4, draft.cut(4) + ms(200));
        const qint64 hand = draft.cut(4);
        const LessonDraft again = withRestRealigned(draft, m_guide, 0, notes);
        QCOMPARE(brokenInvariant(again), QString());
        QCOMPARE(again.cut(0), proposed.cut(0));
        QCOMPARE(again.cut(4), hand);
        for (const qsizetype cut : {1, 2, 3})
            QVERIFY2(qAbs(again.cut(cut) - truePause(cut)) < ms(150),
                     qPrintable(QString::number(cut)));
        QVERIFY(lengthMisfits(again) == std::vector<bool>(6, false));
    }
};

QTEST_GUILESS_MAIN(EditorModel)
#include "tst_editor_model.moc"
