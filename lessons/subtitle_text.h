#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace vovozodo {

// The pieces of subtitle text every format shares.

// "[h:]mm:ss[.,]fff" with one to three fraction digits, or none, in
// milliseconds; -1 when malformed.
qint64 clockTime(QStringView text);

// Lines of one cue as one sentence: Chinese lines join directly, others with a space.
QString joinCueLines(const QStringList &lines);

// Without HTML and ASS tags, with the entities subtitles use decoded.
QString withoutHtmlMarkup(QString text);

} // namespace vovozodo
