#include "playback/end_of_play.h"

namespace vovozodo {

EndStep nextEndStep(qint64 playUsecs, qint64 heardUsecs, qint64 readingAgeUsecs) {
    if (isFreshReading(readingAgeUsecs) && heardUsecs >= playUsecs)
        return {EndStep::Ended};
    const qint64 remainingUsecs = playUsecs - heardUsecs;
    if (readingAgeUsecs >= 0 && readingAgeUsecs + remainingUsecs <= kFreshReadingUsecs)
        return {EndStep::Wait, remainingUsecs};
    const qint64 untilAskingUsecs = remainingUsecs - kAskBeforeEndUsecs;
    if (untilAskingUsecs <= 0)
        return {EndStep::AskNow};
    return {EndStep::Wait, untilAskingUsecs};
}

} // namespace vovozodo
