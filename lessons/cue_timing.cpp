#include "lessons/cue_timing.h"

#include "lessons/cue_snapper.h"
#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

// Frame rates subtitles are commonly timed for, as ratios of one to another.
constexpr std::array<double, 9> kRates = {1.0,         25.0 / 23.976, 23.976 / 25.0,
                                          25.0 / 24.0, 24.0 / 25.0,   24.0 / 23.976,
                                          23.976 / 24, 30.0 / 29.97,  29.97 / 30.0};
// A time further than this from any pause counts as far as this: one wildly
// wrong cue must not outweigh many that fit.
constexpr qsizetype kDistanceCapFrames = levelFramesIn(1000);
// Moving the cues is worth it only when it brings this much more of their times
// near a pause; subtitles a little off either way are left to the snapping.
constexpr double kMinFitGain = 0.25;

// For every frame, how far the nearest of `marks` lies, capped.
std::vector<qint16> distanceTo(const std::vector<qsizetype> &marks, qsizetype frames) {
    std::vector<qint16> distance(std::size_t(frames) + 1, qint16(kDistanceCapFrames));
    for (const qsizetype mark : marks)
        for (qsizetype d = 0; d < kDistanceCapFrames; ++d) {
            for (const qsizetype f : {mark - d, mark + d})
                if (f >= 0 && f <= frames)
                    distance[std::size_t(f)] = std::min(distance[std::size_t(f)], qint16(d));
        }
    return distance;
}

struct Marks {
    std::vector<qint16> toOnset;  // where speech starts
    std::vector<qint16> toOffset; // where it ends
    qsizetype frames = 0;
    // A frame is a whole number of samples, so not exactly kLevelFrameMs long.
    double framesPerMs = 0;
    double frameOf(qint64 ms, double rate, qint64 offsetMs) const {
        return (double(ms) * rate + double(offsetMs)) * framesPerMs;
    }
    qint16 at(const std::vector<qint16> &distance, double frame) const {
        const auto f = qsizetype(std::lround(frame));
        return f < 0 || f > frames ? qint16(kDistanceCapFrames) : distance[std::size_t(f)];
    }
};

Marks marksOf(const LevelProfile &profile, const SpeechMap &speech) {
    std::vector<qsizetype> onsets{speech.leading.last};
    std::vector<qsizetype> offsets;
    for (const Pause &pause : speech.pauses) {
        offsets.push_back(pause.first);
        onsets.push_back(pause.last);
    }
    offsets.push_back(speech.trailing.first);
    Marks marks;
    marks.frames = profile.frameCount();
    marks.framesPerMs = double(profile.sampleRate) / 1000.0 / double(profile.hop);
    marks.toOnset = distanceTo(onsets, marks.frames);
    marks.toOffset = distanceTo(offsets, marks.frames);
    return marks;
}

qint64 distanceSum(const Marks &marks, const QList<Cue> &cues, double rate, qint64 offsetMs) {
    qint64 sum = 0;
    for (const Cue &cue : cues) {
        sum += marks.at(marks.toOnset, marks.frameOf(cue.startMs, rate, offsetMs));
        if (cue.endMs >= 0)
            sum += marks.at(marks.toOffset, marks.frameOf(cue.endMs, rate, offsetMs));
    }
    return sum;
}

void measureFit(const Marks &marks, const QList<Cue> &cues, CueTiming &timing) {
    const qsizetype window = levelFramesIn(kSnapWindowMs);
    qsizetype near = 0;
    qsizetype times = 0;
    for (const Cue &cue : cues) {
        const double start = marks.frameOf(cue.startMs, timing.rate, timing.offsetMs);
        bool fits = marks.at(marks.toOnset, start) <= window;
        ++times;
        if (cue.endMs >= 0) {
            ++times;
            const bool endFits = marks.at(marks.toOffset, marks.frameOf(cue.endMs, timing.rate,
                                                                        timing.offsetMs)) <= window;
            near += endFits;
            fits = fits || endFits;
        }
        near += marks.at(marks.toOnset, start) <= window;
        if (!fits && timing.firstMisfitLine == 0) {
            timing.firstMisfitLine = cue.line;
            timing.firstMisfitMs = qint64(start / marks.framesPerMs);
        }
    }
    timing.fitShare = times ? double(near) / double(times) : 1.0;
}

} // namespace

CueTiming estimateCueTiming(const LevelProfile &profile, const SpeechMap &speech,
                            const QList<Cue> &cues) {
    const Marks marks = marksOf(profile, speech);
    const qint64 unmoved = distanceSum(marks, cues, 1.0, 0);
    CueTiming best;
    qint64 bestSum = unmoved;
    for (const double rate : kRates)
        for (qint64 offset = -kMaxCueOffsetMs; offset <= kMaxCueOffsetMs; offset += kLevelFrameMs) {
            const qint64 sum = distanceSum(marks, cues, rate, offset);
            if (sum < bestSum) {
                bestSum = sum;
                best.rate = rate;
                best.offsetMs = offset;
            }
        }
    CueTiming unmovedTiming;
    measureFit(marks, cues, unmovedTiming);
    measureFit(marks, cues, best);
    return best.fitShare >= unmovedTiming.fitShare + kMinFitGain ? best : unmovedTiming;
}

QList<Cue> applyCueTiming(QList<Cue> cues, const CueTiming &timing) {
    const auto moved = [&](qint64 ms) {
        return std::max<qint64>(0, std::llround(double(ms) * timing.rate) + timing.offsetMs);
    };
    for (Cue &cue : cues) {
        cue.startMs = moved(cue.startMs);
        if (cue.endMs >= 0)
            cue.endMs = std::max(moved(cue.endMs), cue.startMs);
    }
    return cues;
}

QString describeCueTiming(const CueTiming &timing) {
    QStringList parts;
    if (timing.offsetMs != 0)
        parts.append(u"moved %1 s %2"_s.arg(std::abs(double(timing.offsetMs)) / 1000.0, 0, 'f', 2)
                         .arg(timing.offsetMs < 0 ? u"earlier"_s : u"later"_s));
    if (timing.rate != 1.0)
        parts.append(u"their times stretched by %1 (%2 %)"_s.arg(timing.rate, 0, 'f', 5)
                         .arg((timing.rate - 1.0) * 100.0, 0, 'f', 2));
    return u"subtitles "_s + parts.join(u" and "_s) + u" to meet the speech"_s;
}

} // namespace vovozodo
