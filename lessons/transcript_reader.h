#pragma once

#include <QStringList>

namespace vovozodo {

// The sentences of a plain transcript: one per non-blank line, trimmed.
// Throws InputError naming `fileName` when there is none.
QStringList readTranscriptSentences(const QString &text, const QString &fileName);

// How long a sentence takes to say, in units of one Chinese character: a
// character each, a syllable for each vowel group of a word in Latin letters,
// one per digit. Punctuation and blanks count nothing.
double spokenLength(const QString &sentence);

} // namespace vovozodo
