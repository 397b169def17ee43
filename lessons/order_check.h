#pragma once

#include "lessons/sentence_aligner.h"

#include <optional>

namespace vovozodo {

struct LevelProfile;

namespace sentence_search {

class Aligner;
struct Path;

// Where the same speech fits the text clearly better with one sentence moved a
// line or two: each few sentences of the match are cut again in every such
// order, within the speech the match gave them, and the best gain over the
// transcript's own order beyond a margin marks the sentence out of place.
std::optional<FitProblem> orderOff(const Aligner &aligner, const Path &path,
                                   const LevelProfile &profile);

} // namespace sentence_search
} // namespace vovozodo
