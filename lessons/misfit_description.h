#pragma once

#include <QStringList>

#include <vector>

namespace vovozodo {

struct FitProblem;

// One line for a place where text and speech part, and how, naming the
// transcript's line. `lines` holds the transcript line of each sentence (1-based).
QString describeMisfit(const FitProblem &problem, const QStringList &sentences,
                       const std::vector<int> &lines, const QString &transcriptName);

} // namespace vovozodo
