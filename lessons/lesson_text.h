#pragma once

#include <QStringList>

class QByteArray;

namespace vovozodo {

enum class TextEncoding { Detect, Utf8, Gb18030 };

// "utf-8" or "gb18030" (any case; "utf8", "gbk" and "gb2312" read as their
// superset). Throws InputError naming the option otherwise.
TextEncoding textEncodingNamed(const QString &name, const QString &option);

// Text files are read the way the player reads transcripts: a byte-order
// mark, else valid UTF-8, else GB18030; a forced encoding skips the guess.
// Without one, bytes that are not wholly one of these are refused rather than
// guessed: InputError names `fileName`, the line and the byte. UTF-8 with a few
// damaged bytes is refused too, never read as GB18030.
QString decodeLessonText(const QByteArray &bytes, TextEncoding encoding,
                         const QString &fileName = QString());

// The whole of a text file; throws InputError when it is missing, not a
// regular file, unreadable or larger than the player would read.
QByteArray readLessonTextFile(const QString &path);

// Lines split at CR LF, LF or a lone CR.
QStringList splitTextLines(const QString &text);

// `text` in GB18030 or UTF-8 (without a mark), such that the player reads it
// back as exactly `text`: GB18030 bytes that would also be valid UTF-8 are
// written as UTF-8 with a byte-order mark instead (scriptNeedsMark() tells).
QByteArray encodeLessonText(const QString &text, TextEncoding encoding);

// True when a transcript of `title` and `sentences` asked for in GB18030 is
// written as UTF-8 with a mark, for the reason above.
bool scriptNeedsMark(const QString &title, const QStringList &sentences);

} // namespace vovozodo
