#include "lessons/transcript_reader.h"

#include "lessons/input_error.h"
#include "lessons/lesson_text.h"

#include <algorithm>

namespace vovozodo {

using namespace Qt::StringLiterals;

Transcript readTranscript(const QString &text, const QString &fileName) {
    Transcript transcript;
    const QStringList lines = splitTextLines(text);
    bool afterBlank = false;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        QString line = lines[k];
        if (k == 0 && line.startsWith(u'\uFEFF'))
            line = line.sliced(1);
        const QString sentence = line.trimmed();
        if (sentence.isEmpty()) {
            afterBlank = true;
            continue;
        }
        const auto count = transcript.sentences.size();
        const bool indented = line.front().isSpace();
        transcript.paragraphStarts.push_back(count == 1 || (count > 1 && (afterBlank || indented)));
        transcript.sentences.append(sentence);
        transcript.lines.push_back(int(k) + 1);
        afterBlank = false;
    }
    if (transcript.sentences.isEmpty())
        throw InputError(fileName + u": the transcript holds no sentence"_s);
    return transcript;
}

QStringList readTranscriptSentences(const QString &text, const QString &fileName) {
    return readTranscript(text, fileName).sentences;
}

double spokenLength(const QString &sentence) {
    static constexpr QStringView kVowels =
        u"aeiouyAEIOUY\u00e0\u00e1\u00e8\u00e9\u00ec\u00ed\u00f2\u00f3\u00f9\u00fa\u00fc";
    static constexpr QStringView kPhraseEnds = u",.;:!?\uFF0C\u3002\uFF1B\uFF1A\uFF01\uFF1F\u3001";
    constexpr double kPhraseEndUnits = 0.7;
    double units = 0;
    int wordLetters = 0;
    int wordSyllables = 0;
    bool inVowels = false;
    const auto endWord = [&] {
        // A word without vowels ("Mr", "hmm") is still said.
        if (wordLetters > 0)
            units += std::max(wordSyllables, 1);
        wordLetters = wordSyllables = 0;
        inVowels = false;
    };
    for (const QChar c : sentence) {
        if (c.isLetter() && c.unicode() < 0x2E80) {
            const bool vowel = kVowels.contains(c);
            if (vowel && !inVowels)
                ++wordSyllables;
            ++wordLetters;
            inVowels = vowel;
            continue;
        }
        endWord();
        if (c.isDigit() || (c.isLetter() && !c.isLowSurrogate()) || c.isHighSurrogate())
            units += 1;
        // The syllable before a comma or a full stop is drawn out.
        else if (kPhraseEnds.contains(c) && units > 0)
            units += kPhraseEndUnits;
    }
    endWord();
    return std::max(units, 0.5);
}

} // namespace vovozodo
