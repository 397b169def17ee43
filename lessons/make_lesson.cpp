#include "lessons/make_lesson.h"

#include "lessons/clip_plan.h"
#include "lessons/cue_repair.h"
#include "lessons/cue_timing.h"
#include "lessons/input_error.h"
#include "lessons/label_track.h"
#include "lessons/lesson_writer.h"
#include "lessons/level_profile.h"
#include "lessons/misfit_description.h"
#include "lessons/output_guard.h"
#include "lessons/pause_finder.h"
#include "lessons/progress.h"
#include "lessons/recording.h"
#include "lessons/sentence_aligner.h"
#include "lessons/subtitle_reader.h"
#include "lessons/subtitle_spans.h"
#include "lessons/tempo.h"
#include "lessons/transcript_reader.h"
#include "lessons/waveform_preview.h"
#include "library/lesson_paths.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// A library folder that does not exist yet is made for the lesson, as long as
// its parent is a folder, and removed again when no lesson took its place.
class NewLibraryFolder {
public:
    explicit NewLibraryFolder(const QString &library) {
        const QFileInfo info(library);
        if (info.exists() || info.isSymLink())
            return; // LessonWriter says what is wrong with it, if anything
        const QString parent = info.absolutePath();
        if (!QFileInfo(parent).isDir())
            throw InputError(info.absoluteFilePath() + u": no such folder, nor its parent "_s +
                             parent);
        if (!QDir().mkdir(info.absoluteFilePath()))
            throw InputError(info.absoluteFilePath() + u": cannot create the folder"_s);
        m_made = info.absoluteFilePath();
    }
    ~NewLibraryFolder() {
        if (!m_made.isEmpty())
            QDir().rmdir(m_made); // only when still empty
    }
    NewLibraryFolder(const NewLibraryFolder &) = delete;
    NewLibraryFolder &operator=(const NewLibraryFolder &) = delete;
    void keep() { m_made.clear(); }

private:
    QString m_made;
};

} // namespace

double normalizingGain(double integratedLufs, double truePeakDb) {
    const double gainDb =
        std::min(kSpeechTargetLufs - integratedLufs, kTruePeakCeilingDb - truePeakDb);
    return std::pow(10.0, gainDb / 20.0);
}

namespace {

// A clip shorter than this holds no sentence: its cue is broken.
constexpr int kMinClipMs = 150;

// What the lesson is made of, read before any sound is decoded.
struct LessonText {
    QStringList sentences;
    std::vector<int> lines;
    std::vector<bool> paragraphStarts;
    QList<Cue> cues;
};

LessonText readLessonText(const MakeOptions &options, QStringList &notes) {
    const bool fromSubtitles = !options.subtitles.isEmpty();
    const QString file = fromSubtitles ? options.subtitles : options.transcript;
    const QString text = decodeLessonText(readLessonTextFile(file), options.textEncoding, file);
    LessonText lesson;
    if (!fromSubtitles) {
        Transcript transcript = readTranscript(text, file);
        lesson.sentences = std::move(transcript.sentences);
        lesson.lines = std::move(transcript.lines);
        lesson.paragraphStarts = std::move(transcript.paragraphStarts);
        return lesson;
    }
    Subtitles subtitles = readSubtitles(text, file);
    notes += subtitles.notes;
    lesson.cues = repairCues(subtitles.cues, options.shiftMs.value_or(0), file, notes);
    for (const Cue &cue : std::as_const(lesson.cues)) {
        lesson.sentences.append(cue.text);
        lesson.lines.push_back(cue.line);
    }
    return lesson;
}

std::vector<SentenceSpan> spansFromTranscript(const MakeOptions &options,
                                              const LevelProfile &profile, const SpeechMap &speech,
                                              const LessonText &text) {
    const Alignment alignment = alignSentences(profile, speech, text.sentences);
    if (!alignment.fits())
        throw InputError(describeMisfit(alignment.problems.front(), text.sentences, text.lines,
                                        options.transcript) +
                         u" ("_s + options.audio + u')');
    return alignment.spans;
}

// Every clip must hold a sentence: a cue that survived repair yet gets next to
// no sound of its own is refused with its line.
void refuseEmptyClips(const std::vector<Clip> &clips, const LessonText &text, int sampleRate,
                      const QString &textFile) {
    for (std::size_t k = 0; k < clips.size(); ++k) {
        const qint64 ms = (clips[k].end - clips[k].start) * 1000 / sampleRate;
        if (ms >= kMinClipMs)
            continue;
        throw InputError(textFile + u':' + QString::number(text.lines[k]) + u": the cue gets "_s +
                         QString::number(ms) +
                         u" ms of sound of its own; check its times against its neighbours'"_s);
    }
}

void refuseUnsafeOutputs(const MakeOptions &options) {
    const QStringList inputs = {options.audio, options.transcript, options.subtitles};
    if (!options.labels.isEmpty())
        refuseUnsafeOutput(options.labels, u"--labels"_s, inputs, options.library, options.lesson);
    if (!options.preview.isEmpty()) {
        refuseUnsafeOutput(options.preview, u"--preview"_s, inputs, options.library,
                           options.lesson);
        previewFormat(options.preview);
    }
    if (!options.labels.isEmpty() && !options.preview.isEmpty() &&
        QFileInfo(options.labels).absoluteFilePath() ==
            QFileInfo(options.preview).absoluteFilePath())
        throw InputError(u"--labels and --preview name the same file"_s);
}

} // namespace

MadeLesson makeLesson(const MakeOptions &options, QStringList &notes) {
    if (!isLessonNumber(options.lesson))
        throw InputError(u"N: "_s + QString::number(options.lesson) +
                         u" is no lesson number (1 to 15)"_s);
    refuseUnsafeOutputs(options);
    NewLibraryFolder newLibrary(options.library);
    // Refuses an existing lesson and an unwritable library before any long work.
    LessonWriter writer(options.library, options.lesson, options.replace);
    notes += writer.leftoversRemoved();

    const LessonText text = readLessonText(options, notes);
    Progress progress(!options.quiet);
    LevelProfile profile;
    {
        const std::unique_ptr<Recording> recording = openRecording(options.audio);
        try {
            profile = measureLevels(*recording, options.normalize, progress);
        } catch (const InputError &error) {
            throw InputError(options.audio + u": "_s + error.message());
        }
    }
    const SpeechMap speech = findPauses(profile);
    const bool fromSubtitles = !options.subtitles.isEmpty();
    CueTiming timing;
    const std::vector<SentenceSpan> spans =
        fromSubtitles ? spansOfSubtitles(profile, speech, text.cues, !options.shiftMs,
                                         options.subtitles, options.audio, notes, &timing)
                      : spansFromTranscript(options, profile, speech, text);
    if (timing.moves())
        notes.append(options.subtitles + u": "_s + describeCueTiming(timing) +
                     u"; --shift 0 keeps them as they are"_s);
    const std::vector<Clip> clips = padSpans(spans, profile.sampleRate);
    refuseEmptyClips(clips, text, profile.sampleRate,
                     fromSubtitles ? options.subtitles : options.transcript);

    double gain = 1.0;
    if (options.normalize) {
        if (profile.integratedLufs && profile.truePeakDb)
            gain = normalizingGain(*profile.integratedLufs, *profile.truePeakDb);
        else
            notes.append(options.audio + u": too quiet to measure its loudness; left as it is"_s);
    }

    const QString title =
        options.title.isEmpty() ? QFileInfo(options.audio).completeBaseName() : options.title;
    if (options.scriptEncoding == TextEncoding::Gb18030 && scriptNeedsMark(title, text.sentences))
        notes.append(u"script.txt: written as UTF-8 with a byte-order mark, since its GB18030 "
                     u"bytes would also be valid UTF-8 and the player would read other text"_s);
    writer.writeScript(title, text.sentences, text.paragraphStarts, options.scriptEncoding);
    std::vector<Clip> written = clips;
    {
        const std::unique_ptr<Recording> recording =
            atTempo(openRecording(options.audio), options.tempo, written);
        writer.writeClips(*recording, written, gain, progress);
    }
    progress.clear();
    writer.commit();
    newLibrary.keep();

    // Only now, with the lesson in place, each written whole or not at all.
    try {
        if (!options.labels.isEmpty())
            writeLabelTrack(options.labels, clips, text.sentences, profile.sampleRate);
        if (!options.preview.isEmpty())
            drawWaveformPreview(options.preview, profile, clips);
    } catch (const InputError &error) {
        throw SystemError(error.message() + u" (the lesson itself is in place: "_s +
                          writer.lessonPath() + u')');
    }

    MadeLesson made;
    made.folder = writer.lessonPath();
    made.sentences = text.sentences.size();
    for (const Clip &clip : written)
        made.seconds += double(clip.end - clip.start) / profile.sampleRate;
    return made;
}

} // namespace vovozodo
