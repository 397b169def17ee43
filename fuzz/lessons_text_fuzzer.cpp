// Arbitrary bytes as a subtitle file (SRT, WebVTT, LRC, ASS, Audacity labels)
// and as a plain transcript for vovozodo-lessons: either read or refused with
// a message, never a crash, and what is read holds together.
#include "fuzz_support.h"

#include "lessons/cue_repair.h"
#include "lessons/input_error.h"
#include "lessons/lesson_text.h"
#include "lessons/subtitle_reader.h"
#include "lessons/transcript_reader.h"

#include <QByteArray>
#include <QString>

#include <cmath>

using namespace vovozodo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString text;
    try {
        text = decodeLessonText(bytes, TextEncoding::Detect, QStringLiteral("in"));
    } catch (const InputError &error) {
        // Refused text names its line and byte; the readers then see it as GB18030
        // would show it, which they must take as calmly.
        FUZZ_CHECK(error.message().startsWith(QStringLiteral("in: ")));
        text = decodeLessonText(bytes, TextEncoding::Gb18030);
    }
    try {
        const Subtitles subtitles = readSubtitles(text, QStringLiteral("in"));
        FUZZ_CHECK(!subtitles.cues.isEmpty());
        for (qsizetype k = 0; k < subtitles.cues.size(); ++k) {
            const Cue &cue = subtitles.cues[k];
            FUZZ_CHECK(!cue.text.isEmpty());
            FUZZ_CHECK(!cue.text.contains(u'\n') && !cue.text.contains(u'\r'));
            FUZZ_CHECK(cue.startMs >= 0);
            FUZZ_CHECK(cue.endMs == -1 || cue.endMs >= cue.startMs);
            FUZZ_CHECK(k == 0 || subtitles.cues[k - 1].startMs <= cue.startMs);
        }
        // Repaired, every cue has a time of its own and a length, or none.
        QStringList notes;
        const qint64 shift = size > 0 ? (qint64(data[0]) - 128) * 1000 : 0;
        const QList<Cue> cues = repairCues(subtitles.cues, shift, QStringLiteral("in"), notes);
        for (qsizetype k = 0; k < cues.size(); ++k) {
            FUZZ_CHECK(cues[k].startMs >= 0);
            FUZZ_CHECK(cues[k].endMs == -1 || cues[k].endMs > cues[k].startMs);
            FUZZ_CHECK(k == 0 || cues[k - 1].startMs < cues[k].startMs);
        }
    } catch (const InputError &error) {
        FUZZ_CHECK(!error.message().isEmpty());
    }
    try {
        for (const QString &sentence : readTranscriptSentences(text, QStringLiteral("in"))) {
            FUZZ_CHECK(!sentence.isEmpty() && sentence == sentence.trimmed());
            FUZZ_CHECK(std::isfinite(spokenLength(sentence)) && spokenLength(sentence) > 0);
        }
    } catch (const InputError &error) {
        FUZZ_CHECK(!error.message().isEmpty());
    }
    return 0;
}
