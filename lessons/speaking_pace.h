#pragma once

#include <QStringList>

#include <vector>

namespace vovozodo::sentence_search {

double median(std::vector<double> values);
// How far a sentence of this many units may stray from its expected length
// before it is not considered at all (a factor).
double slackFor(double units);

// The pace the sentences are judged at: how many frames of speech a unit of
// text takes at each sentence, where each is expected to end, and how far
// their lengths may spread around that.
class SpeakingPace {
public:
    explicit SpeakingPace(const QStringList &sentences);

    qsizetype count() const { return qsizetype(m_cumulativeUnits.size()) - 1; }
    double totalUnits() const { return m_cumulativeUnits.back(); }
    double units(qsizetype sentence) const {
        return m_cumulativeUnits[std::size_t(sentence) + 1] -
               m_cumulativeUnits[std::size_t(sentence)];
    }

    // Frames of speech a unit of text takes at sentence i.
    double rate(qsizetype sentence) const { return m_rates[std::size_t(sentence)]; }
    // Where sentence i is expected to end, in voiced frames.
    double expectedEnd(qsizetype sentence) const {
        return m_expectedEnds[std::size_t(sentence) + 1];
    }
    // The spread of the log of sentence i's length around its expected one.
    double spread(qsizetype sentence) const;

    // One rate for every sentence.
    void setRate(double framesPerUnit);
    // `voiced[i]`: the voiced frames a match gave sentence i, 0 for none.
    // Follows the rate those sentences show around each sentence.
    void setLocalRates(const std::vector<double> &voiced);
    // Narrows the spread of lengths to what those sentences show of this speaker.
    void fitSpreadTo(const std::vector<double> &voiced);

private:
    std::vector<double> m_cumulativeUnits;
    std::vector<double> m_rates;
    std::vector<double> m_expectedEnds; // from the start of the speech
    double m_spreadScale = 1.0;
};

} // namespace vovozodo::sentence_search
