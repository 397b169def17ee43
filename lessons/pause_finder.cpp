#include "lessons/pause_finder.h"

#include "lessons/level_profile.h"

#include <algorithm>
#include <array>
#include <limits>

namespace vovozodo {

namespace {

// The level below which `share` of the frames lie, from a histogram in 0.1 dB steps.
double percentileDb(const std::vector<qint16> &centiDb, double share) {
    std::array<qint64, 1001> histogram{};
    for (const qint16 level : centiDb)
        ++histogram[std::size_t(std::clamp((level + 10000) / 10, 0, 1000))];
    const auto wanted = qint64(share * double(centiDb.size()));
    qint64 seen = 0;
    for (std::size_t bin = 0; bin < histogram.size(); ++bin) {
        seen += histogram[bin];
        if (seen > wanted)
            return double(bin) / 10.0 - 100.0;
    }
    return 0;
}

// Runs of `value` shorter than `minLength` flip to the other value.
void dropShortRuns(std::vector<char> &speech, char value, qsizetype minLength, bool keepEdges) {
    const auto n = qsizetype(speech.size());
    qsizetype i = 0;
    while (i < n) {
        qsizetype j = i;
        while (j < n && speech[std::size_t(j)] == speech[std::size_t(i)])
            ++j;
        const bool edge = i == 0 || j == n;
        if (speech[std::size_t(i)] == value && j - i < minLength && !(keepEdges && edge))
            std::fill(speech.begin() + i, speech.begin() + j, char(!value));
        i = j;
    }
}

qsizetype quietestFrame(const LevelProfile &profile, qsizetype first, qsizetype last) {
    // Only the middle half of the pause: at its edges a breath or a fading
    // syllable may be quieter than the noise beside it. Over five frames, so one
    // quiet frame in steady noise does not decide.
    const qsizetype length = last - first;
    const qsizetype from = first + length / 4;
    const qsizetype to = std::max(from + 1, last - length / 4);
    const qsizetype centre = (first + last) / 2;
    qsizetype best = centre;
    double bestScore = std::numeric_limits<double>::max();
    for (qsizetype f = from; f < to; ++f) {
        double level = 0;
        int count = 0;
        for (qsizetype k = std::max(first, f - 2); k <= std::min(last - 1, f + 2); ++k, ++count)
            level += profile.centiDb[std::size_t(k)];
        // A dB of quiet is worth a quarter of the way to the edge: ties go to the centre.
        const double score = level / count / 100.0 + 4.0 * double(qAbs(f - centre)) /
                                                         double(std::max<qsizetype>(length, 1));
        if (score < bestScore) {
            bestScore = score;
            best = f;
        }
    }
    return best;
}

} // namespace

SpeechMap findPauses(const LevelProfile &profile) {
    const double speechDb = percentileDb(profile.centiDb, 0.95);
    // A floor far below the speech (digital silence) would put the threshold where
    // only the loudest syllables reach; 60 dB under the speech is silence enough.
    const double floorDb = std::max(percentileDb(profile.centiDb, 0.10), speechDb - 60.0);
    const double thresholdDb = floorDb + std::max(4.0, 0.2 * (speechDb - floorDb));

    std::vector<char> speech(profile.centiDb.size());
    const auto threshold = int(thresholdDb * 100);
    for (std::size_t f = 0; f < speech.size(); ++f)
        speech[f] = profile.centiDb[f] > threshold;
    SpeechMap map = mapSpeech(profile, std::move(speech));
    map.speechDb = speechDb;
    map.floorDb = floorDb;
    map.thresholdDb = thresholdDb;
    return map;
}

SpeechMap mapSpeech(const LevelProfile &profile, std::vector<char> speech) {
    SpeechMap map;
    const qsizetype n = qsizetype(speech.size());
    dropShortRuns(speech, 1, levelFramesIn(kMinClickMs), false);
    dropShortRuns(speech, 0, levelFramesIn(kMinPauseMs), true);

    qsizetype onset = 0;
    while (onset < n && !speech[std::size_t(onset)])
        ++onset;
    qsizetype offset = n;
    while (offset > onset && !speech[std::size_t(offset - 1)])
        --offset;
    map.leading = {0, onset, onset > 0 ? quietestFrame(profile, 0, onset) : 0, 0};

    qsizetype voiced = 0;
    qsizetype f = onset;
    while (f < offset) {
        if (speech[std::size_t(f)]) {
            ++voiced;
            ++f;
            continue;
        }
        qsizetype end = f;
        while (end < offset && !speech[std::size_t(end)])
            ++end;
        map.pauses.push_back({f, end, quietestFrame(profile, f, end), voiced});
        f = end;
    }
    map.voicedFrames = voiced;
    map.trailing = {offset, n, offset < n ? quietestFrame(profile, offset, n) : n, voiced};
    return map;
}

} // namespace vovozodo
