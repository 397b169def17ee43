#include "lessons/subtitle_spans.h"

#include "lessons/clock_text.h"
#include "lessons/cue_snapper.h"
#include "lessons/input_error.h"

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// Subtitles whose times mostly lie far from any pause, however they are moved,
// belong to another recording.
constexpr double kMinCueFitShare = 1.0 / 3.0;

} // namespace

std::vector<SentenceSpan> spansOfSubtitles(const LevelProfile &profile, const SpeechMap &speech,
                                           QList<Cue> cues, bool findTiming,
                                           const QString &subtitlesName,
                                           const QString &recordingName, QStringList &notes,
                                           CueTiming *applied) {
    if (findTiming) {
        const CueTiming timing = estimateCueTiming(profile, speech, cues);
        if (timing.fitShare < kMinCueFitShare)
            throw InputError(
                subtitlesName + u':' + QString::number(timing.firstMisfitLine) + u", near "_s +
                clockText(timing.firstMisfitMs) + u": the subtitles do not meet the speech of "_s +
                recordingName + u", however they are moved (up to "_s +
                QString::number(kMaxCueOffsetMs / 1000) + u" s); are they for this recording?"_s);
        if (timing.moves())
            cues = applyCueTiming(std::move(cues), timing);
        if (applied)
            *applied = timing;
    }
    return snapCues(profile, speech, cues, subtitlesName, notes);
}

} // namespace vovozodo
