#pragma once

#include "lessons/sentence_aligner.h"

#include <optional>
#include <vector>

namespace vovozodo {

struct LevelProfile;

namespace sentence_search {

class Aligner;
struct Path;

// Where the pauses show that a match whose lengths fit still parts from the
// recording: the worst cut on a weak pause beside a strong one left inside a
// sentence, else a sentence that holds two, or nothing.
std::optional<FitProblem> pausesOff(const Aligner &aligner, const Path &path,
                                    const LevelProfile &profile);

// Pairs speech left out in one place with a sentence missing in another, of
// about the same length, into one sentence out of place.
void pairOutOfPlace(std::vector<FitProblem> &problems, const std::vector<double> &leftOutFrames,
                    const std::vector<double> &expectedFrames);

} // namespace sentence_search
} // namespace vovozodo
