#include "playback/playback_cycle.h"

#include <limits>

namespace vovozodo {

PlaybackCycle::AfterPlay PlaybackCycle::playSucceeded(bool automatic, int repeatValue) {
    if (playCount < std::numeric_limits<int>::max())
        ++playCount;
    if (!automatic)
        return AfterPlay::Stop;
    if (repeatValue >= playCount)
        return AfterPlay::RepeatWait;
    playCount = 0;
    ++currentSentence;
    if (currentSentence > sentenceCount)
        currentSentence = 1;
    return AfterPlay::AdvanceWait;
}

PlaybackCycle::Request PlaybackCycle::playbackRequested(bool lessonLoaded, int selectedEntry) {
    if (!lessonLoaded || sentenceCount <= 0)
        return Request::Nothing;
    if (selectedEntry <= 0) {
        currentSentence = 1;
        return Request::SelectFirst;
    }
    if (selectedEntry == currentSentence)
        return Request::Replay;
    return Request::SelectCurrent;
}

void PlaybackCycle::lessonLoaded(int sentences) {
    sentenceCount = sentences;
    currentSentence = 0;
    playCount = 0;
}

} // namespace vovozodo
