#pragma once

#include <QStringList>

#include <vector>

namespace vovozodo {

// A plain transcript: one sentence per non-blank line, trimmed, with the line
// each came from and whether it starts a paragraph (it follows a blank line
// or is indented). The first sentence is the lesson's heading; the second
// always starts a paragraph, so that it does not run on from the heading.
struct Transcript {
    QStringList sentences;
    std::vector<int> lines;
    std::vector<bool> paragraphStarts;
};

// Throws InputError naming `fileName` when it holds no sentence.
Transcript readTranscript(const QString &text, const QString &fileName);

// The sentences alone.
QStringList readTranscriptSentences(const QString &text, const QString &fileName);

// How long a sentence takes to say, in units of one Chinese character: a
// character each, a syllable for each vowel group of a word in Latin letters,
// one per digit. Punctuation and blanks count nothing.
double spokenLength(const QString &sentence);

} // namespace vovozodo
