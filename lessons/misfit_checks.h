#pragma once

#include "lessons/sentence_aligner.h"

#include <optional>
#include <vector>

namespace vovozodo {

struct LevelProfile;

namespace sentence_search {

class Aligner;
struct Path;

// The checks a match whose lengths fit goes through before it is trusted: each
// finds where it still parts from the recording, or nothing.

// Where the pauses show that a match whose lengths fit still parts from the
// recording: the worst cut on a weak pause beside a strong one left inside a
// sentence, else a sentence that holds two, or nothing.
std::optional<FitProblem> pausesOff(const Aligner &aligner, const Path &path,
                                    const LevelProfile &profile);

// Where the same speech fits the text clearly better with one sentence moved a
// line or two: each few sentences of the match are cut again in every such
// order, within the speech the match gave them, and the best gain over the
// transcript's own order beyond a margin marks the sentence out of place.
// In order_check.cpp.
std::optional<FitProblem> orderOff(const Aligner &aligner, const Path &path,
                                   const LevelProfile &profile);

// Pairs speech left out in one place with a sentence missing in another, of
// about the same length, into one sentence out of place.
void pairOutOfPlace(std::vector<FitProblem> &problems, const std::vector<double> &leftOutFrames,
                    const std::vector<double> &expectedFrames);

} // namespace sentence_search
} // namespace vovozodo
