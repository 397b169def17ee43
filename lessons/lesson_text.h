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
QString decodeLessonText(const QByteArray &bytes, TextEncoding encoding);

// The whole of a text file; throws InputError when it is missing, not a
// regular file, unreadable or larger than the player would read.
QByteArray readLessonTextFile(const QString &path);

// Lines split at CR LF, LF or a lone CR.
QStringList splitTextLines(const QString &text);

// `text` in GB18030 or UTF-8 (without a mark, as the player expects).
QByteArray encodeLessonText(const QString &text, TextEncoding encoding);

} // namespace vovozodo
