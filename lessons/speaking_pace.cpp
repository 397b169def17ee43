#include "lessons/speaking_pace.h"

#include "lessons/transcript_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vovozodo::sentence_search {

namespace {

// The speaking rate at a sentence is the median of this many sentences either
// side, so expected lengths follow a pace that drifts: each sentence is judged
// against its neighbours, which sharpens the test of fit, and left-out music
// no longer slows the estimate.
constexpr qsizetype kRateWindow = 10;
// How far a sentence's length may stray: spread = floor + short / sqrt(units),
// since short sentences vary more than long ones.
constexpr double kSpreadFloor = 0.15;
constexpr double kSpreadShort = 0.35;
// Spans beyond this factor of the expected length are not considered at all.
constexpr double kSlackFloor = 3.0;
constexpr double kSlackShort = 6.0;
// The spreads are narrowed to what the recording's own sentences show (times
// this margin), but never below this share of the general ones: a steady
// speaker's one slow sentence is no misfit. The margin is the widest that
// bench/lessons-fit found no better at finding partings with; at a share of
// 0.4, judged at the local rate, a steady voice's one quick short sentence
// was taken for one not spoken.
constexpr double kOwnSpreadMargin = 1.0;
constexpr double kMinSpreadScale = 0.5;
// The median absolute deviation of a normal spread, as a share of its sigma.
constexpr double kMadToSigma = 1.4826;

double spreadFor(double units) {
    return kSpreadFloor + kSpreadShort / std::sqrt(units);
}

} // namespace

double slackFor(double units) {
    return kSlackFloor + kSlackShort / units;
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + qsizetype(values.size() / 2), values.end());
    return values[values.size() / 2];
}

SpeakingPace::SpeakingPace(const QStringList &sentences) {
    m_cumulativeUnits.push_back(0);
    for (const QString &sentence : sentences)
        m_cumulativeUnits.push_back(m_cumulativeUnits.back() + spokenLength(sentence));
}

double SpeakingPace::spread(qsizetype sentence) const {
    return spreadFor(units(sentence)) * m_spreadScale;
}

void SpeakingPace::setRate(double framesPerUnit) {
    m_rates.assign(std::size_t(count()), framesPerUnit);
    m_expectedEnds.clear();
    for (const double units : m_cumulativeUnits)
        m_expectedEnds.push_back(framesPerUnit * units);
}

void SpeakingPace::setLocalRates(const std::vector<double> &voiced) {
    std::vector<double> logRates(std::size_t(count()), std::numeric_limits<double>::quiet_NaN());
    for (qsizetype i = 0; i < count(); ++i)
        if (voiced[std::size_t(i)] > 0)
            logRates[std::size_t(i)] = std::log(voiced[std::size_t(i)] / units(i));
    std::vector<double> rates(static_cast<std::size_t>(count()));
    std::vector<double> window;
    for (qsizetype i = 0; i < count(); ++i) {
        window.clear();
        for (qsizetype k = std::max<qsizetype>(i - kRateWindow, 0);
             k <= std::min(i + kRateWindow, count() - 1); ++k)
            if (!std::isnan(logRates[std::size_t(k)]))
                window.push_back(logRates[std::size_t(k)]);
        if (window.empty()) {
            rates[std::size_t(i)] = m_rates[std::size_t(i)];
            continue;
        }
        std::nth_element(window.begin(), window.begin() + qsizetype(window.size() / 2),
                         window.end());
        rates[std::size_t(i)] = std::exp(window[window.size() / 2]);
    }
    m_rates = std::move(rates);
    m_expectedEnds.assign(1, 0);
    for (qsizetype i = 0; i < count(); ++i)
        m_expectedEnds.push_back(m_expectedEnds.back() + m_rates[std::size_t(i)] * units(i));
}

void SpeakingPace::fitSpreadTo(const std::vector<double> &voiced) {
    std::vector<double> misfits;
    std::vector<double> spreads;
    for (qsizetype i = 0; i < count(); ++i) {
        if (voiced[std::size_t(i)] <= 0)
            continue;
        misfits.push_back(std::log(voiced[std::size_t(i)] / (rate(i) * units(i))));
        spreads.push_back(spreadFor(units(i)));
    }
    if (misfits.size() < 3)
        return;
    const double centre = median(misfits);
    for (double &misfit : misfits)
        misfit = std::abs(misfit - centre);
    const double own = kMadToSigma * median(misfits) * kOwnSpreadMargin;
    m_spreadScale = std::clamp(own / median(spreads), kMinSpreadScale, 1.0);
}

} // namespace vovozodo::sentence_search
