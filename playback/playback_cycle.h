#pragma once

#include <QtGlobal>

namespace vovozodo {

// The decisions of the sentence playback cycle, apart from any window: which
// sentence is current, how many plays have ended since the cycle last moved
// on, and what the end of a play or a Playback request leads to.
struct PlaybackCycle {
    int sentenceCount = 0;
    int currentSentence = 0; // 1..sentenceCount; 0 before the first play
    // Successful plays since the cycle last moved on; saturates instead of
    // overflowing, since only its comparison with the repeat value matters.
    int playCount = 0;

    enum class AfterPlay { Stop, RepeatWait, AdvanceWait };

    // A play reached its end. Counts it and, in automatic mode, decides
    // between another repetition and moving on (wrapping after the last
    // sentence, with the count back at 0).
    AfterPlay playSucceeded(bool automatic, int repeatValue);

    enum class Request { Nothing, SelectFirst, Replay, SelectCurrent };

    // What Playback does, given the sentence chooser's selected entry.
    Request playbackRequested(bool lessonLoaded, int selectedEntry);

    // Resets for a freshly loaded lesson.
    void lessonLoaded(int sentences);
};

} // namespace vovozodo
