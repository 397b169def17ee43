#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <vector>

// Recordings for the vovozodo-lessons tests, made in the test: "sentences" of
// voiced syllables (a buzz of harmonics, 170 ms each with 40 ms between them)
// joined by pauses, with the true place of every sentence known, so a test can
// tell whether each clip holds its sentence. Made in milliseconds, not with a
// speech synthesiser, to keep the tests quick.
struct SyntheticSentence {
    QString text; // one character per syllable (commas count none)
    int syllables = 0;
    int commaAfter = -1; // a pause after this many syllables...
    int commaMs = 0;     // ...of this length
};

struct SyntheticRecording {
    int sampleRate = 16000;
    std::vector<qint64> starts; // first and last+1 sample of each sentence's voice
    std::vector<qint64> ends;
    qint64 jingleEnd = 0;
};

struct SyntheticOptions {
    bool jingle = false;   // 2.5 s of a sustained chord and 700 ms of silence first
    double noiseSnrDb = 0; // white noise this far below the voice; 0: none
    double gainDb = 0;     // the whole recording this much louder or quieter
};

// Sentences with a long pause inside two of them, and the pauses after each:
// only the sentences' lengths tell the inner pauses from ends, so a
// transcript lacking sentence 3 leaves speech over that the fit test finds.
extern const QList<SyntheticSentence> kInnerPauseSentences;
extern const QList<int> kInnerPausePausesMs;

// Four short sentences of five syllables, plainly parted.
extern const QList<SyntheticSentence> kShortSentences;
extern const QList<int> kShortPausesMs;

// Writes a 16-bit mono wave file; `pausesMs[k]` follows sentence k.
SyntheticRecording writeSyntheticSpeech(const QString &path,
                                        const QList<SyntheticSentence> &sentences,
                                        const QList<int> &pausesMs,
                                        const SyntheticOptions &options = {});

// The sentences' text, one a line, as a transcript.
QString transcriptOf(const QList<SyntheticSentence> &sentences);
// A recording of `sentences` and their transcript; nothing when the
// transcript could not be written.
std::optional<SyntheticRecording> writeSyntheticLesson(const QString &audioPath,
                                                       const QString &transcriptPath,
                                                       const QList<SyntheticSentence> &sentences,
                                                       const QList<int> &pausesMs);

// A subtitle time, hh:mm:ss,mmm.
QString srtTime(qint64 ms);
// Subtitles that time each sentence where `recording` has it, `lateMs` late.
QString subtitlesOf(const QList<SyntheticSentence> &sentences, const SyntheticRecording &recording,
                    qint64 lateMs = 0);

// Checks an Audacity label track of clips against the recording: clip k holds
// all of sentence k and nothing of another sentence or the jingle. Returns an
// empty string when it does, else what is wrong.
QString clipsMismatch(const QString &labelTrack, const SyntheticRecording &recording);

// Writes `lines` as a UTF-8 text file.
bool writeText(const QString &path, const QString &text);

// Encodes a mono wave file as AAC into `path` (.m4a, .mkv, ...: the name
// picks the container) with FFmpeg's libraries. With `pictureFirstMs` > 0 a
// video stream starts the file and the sound begins that much later, as in a
// film whose sound track starts after its picture. Empty when it worked, else
// what failed.
QString encodeAac(const QString &wavePath, const QString &path, int pictureFirstMs = 0);
