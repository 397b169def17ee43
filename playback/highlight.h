#pragma once

#include <QString>

namespace vovozodo {

// A selection in the transcript view, in characters from position 0.
struct TextSelection {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const TextSelection &, const TextSelection &) = default;
};

// Where sentence `sentenceLine` stands in `viewText`: its first exact,
// case-sensitive occurrence once trimmed of blanks. A sentence that cannot be
// found selects nothing and puts the caret at the start.
TextSelection sentenceSelection(QStringView viewText, QStringView sentenceLine);

} // namespace vovozodo
