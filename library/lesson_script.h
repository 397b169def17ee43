#pragma once

#include <QStringList>

#include <optional>

namespace vovozodo {

// The sentence lines of a transcript: the non-blank lines after the title
// line, in file order. The first is trimmed of blanks (it becomes the heading);
// the others are kept exactly as read, since two leading blanks mark a new
// paragraph. Entry k-1 is sentence k.
QStringList sentenceLines(const QStringList &fileLines);

// Reads and splits the transcript at `windowsPath`; nothing when it cannot be
// opened.
std::optional<QStringList> readSentenceLines(const QString &windowsPath);

// Spaces that centre a heading of display width `width` within 85 units.
int headingPadding(qint64 width);

// The text of the transcript view: the heading, centred, then each further
// sentence appended directly, or after a CR LF when it starts with two blanks.
QString composeTranscript(const QStringList &sentences);

// The sentence chooser's entries: "--- Select ---", then "k. " + the first
// four characters of sentence k after its leading blanks + "...".
QStringList sentenceChooserEntries(const QStringList &sentences);

} // namespace vovozodo
