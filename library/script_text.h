#pragma once

#include <QString>

namespace vovozodo {

// Transcript lines treat only U+0020 as a blank: a tab or an ideographic
// space is text.

// Empty or made of U+0020 spaces only.
bool isBlankLine(QStringView line);

// Without leading and trailing U+0020 spaces.
QString trimBlanks(QStringView text);

// Without leading U+0020 spaces.
QStringView withoutLeadingBlanks(QStringView text);

// Appends `number` in decimal, without building a string of its own: lesson
// and sentence numbers are formatted by the thousand.
void appendDecimal(QString &text, qsizetype number);

} // namespace vovozodo
