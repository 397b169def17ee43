#pragma once

#include <QtGlobal>

namespace vovozodo {

// Finding the end of a play once its last sample is written, from readings
// of the stream's clock carried forward by their age. A play ends only on a
// reading at most kFreshReadingUsecs old: so never early, and a stream whose
// clock has stopped never ends. That reading is asked for kAskBeforeEndUsecs
// ahead of the end, so that it is back in time and the end itself needs no
// round trip to the server.
inline constexpr qint64 kFreshReadingUsecs = 20'000;
inline constexpr qint64 kAskBeforeEndUsecs = 10'000;

struct EndStep {
    enum Kind {
        Ended,
        // Wait `waitUsecs`, then look again if the reading is still fresh
        // enough, else ask for one.
        Wait,
        // Ask for a reading now; its reply is where to look again.
        AskNow,
    };
    Kind kind;
    qint64 waitUsecs = 0;
};

// `heardUsecs`: how much of the play has been heard, by the latest reading
// carried forward; `readingAgeUsecs`: that reading's age, -1 before the first.
EndStep nextEndStep(qint64 playUsecs, qint64 heardUsecs, qint64 readingAgeUsecs);

inline bool isFreshReading(qint64 ageUsecs) {
    return ageUsecs >= 0 && ageUsecs <= kFreshReadingUsecs;
}

} // namespace vovozodo
