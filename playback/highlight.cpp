#include "playback/highlight.h"

#include "library/script_text.h"

namespace vovozodo {

TextSelection sentenceSelection(QStringView viewText, QStringView sentenceLine) {
    const QString sentence = trimBlanks(sentenceLine);
    const qsizetype found = viewText.indexOf(sentence, 0, Qt::CaseSensitive);
    if (found < 0)
        return {};
    return {found, sentence.size()};
}

} // namespace vovozodo
