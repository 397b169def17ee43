#include "lessons/make_lesson.h"

#include "lessons/clip_plan.h"
#include "lessons/cue_snapper.h"
#include "lessons/input_error.h"
#include "lessons/label_track.h"
#include "lessons/lesson_writer.h"
#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"
#include "lessons/progress.h"
#include "lessons/recording.h"
#include "lessons/sentence_aligner.h"
#include "lessons/subtitle_reader.h"
#include "lessons/transcript_reader.h"
#include "lessons/waveform_preview.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace vovozodo {

using namespace Qt::StringLiterals;

double normalizingGain(double integratedLufs, double truePeakDb) {
    const double gainDb =
        std::min(kSpeechTargetLufs - integratedLufs, kTruePeakCeilingDb - truePeakDb);
    return std::pow(10.0, gainDb / 20.0);
}

MadeLesson makeLesson(const MakeOptions &options, QStringList &notes) {
    if (options.lesson < 1 || options.lesson > 15)
        throw InputError(u"N: "_s + QString::number(options.lesson) +
                         u" is no lesson number (1 to 15)"_s);
    // Refuses an existing lesson and an unwritable library before any long work.
    LessonWriter writer(options.library, options.lesson, options.replace);

    const bool fromSubtitles = !options.subtitles.isEmpty();
    const QString textFile = fromSubtitles ? options.subtitles : options.transcript;
    const QString text = decodeLessonText(readLessonTextFile(textFile), options.textEncoding);
    QStringList sentences;
    QList<Cue> cues;
    if (fromSubtitles) {
        Subtitles subtitles = readSubtitles(text, textFile);
        notes += subtitles.notes;
        for (Cue &cue : subtitles.cues) {
            cue.startMs = std::max<qint64>(0, cue.startMs + options.shiftMs);
            if (cue.endMs >= 0)
                cue.endMs = std::max<qint64>(0, cue.endMs + options.shiftMs);
            sentences.append(cue.text);
        }
        cues = subtitles.cues;
    } else {
        sentences = readTranscriptSentences(text, textFile);
    }

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
    const std::vector<SentenceSpan> spans =
        fromSubtitles ? snapCues(profile, speech, cues, textFile, notes)
                      : alignSentences(profile, speech, sentences, options.audio, textFile);
    const std::vector<Clip> clips = padSpans(spans, profile.sampleRate);

    double gain = 1.0;
    if (options.normalize) {
        if (profile.integratedLufs && profile.truePeakDb)
            gain = normalizingGain(*profile.integratedLufs, *profile.truePeakDb);
        else
            notes.append(options.audio + u": too quiet to measure its loudness; left as it is"_s);
    }

    if (!options.labels.isEmpty())
        writeLabelTrack(options.labels, clips, sentences, profile.sampleRate);
    if (!options.preview.isEmpty())
        drawWaveformPreview(options.preview, profile, clips);

    const QString title =
        options.title.isEmpty() ? QFileInfo(options.audio).completeBaseName() : options.title;
    writer.writeScript(title, sentences, options.scriptEncoding);
    {
        const std::unique_ptr<Recording> recording = openRecording(options.audio);
        writer.writeClips(*recording, clips, gain, progress);
    }
    progress.clear();
    writer.commit();

    MadeLesson made;
    made.folder = writer.lessonPath();
    made.sentences = sentences.size();
    for (const Clip &clip : clips)
        made.seconds += double(clip.end - clip.start) / profile.sampleRate;
    return made;
}

} // namespace vovozodo
