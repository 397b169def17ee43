#pragma once

#include "lessons/speaking_pace.h"

#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

namespace vovozodo {

struct LevelProfile;
struct Pause;
struct SpeechMap;

// The search behind alignSentences(): which pause ends each sentence, chosen
// together by dynamic programming, and the speaking rate it is judged at.
namespace sentence_search {

// How a sentence is reached in the search.
enum class Step : qint8 {
    Spoken,     // right after the sentence before
    AfterMusic, // after music that is left out (a jingle, an interlude)
    AfterSkip,  // after speech that is left out
    Missing,    // not spoken: it ends where the sentence before ends
};

struct Row;

// The chosen match: for sentence i its start and end node and how it was reached.
struct Path {
    std::vector<qsizetype> starts;
    std::vector<qsizetype> ends;
    std::vector<qsizetype> froms;
    std::vector<Step> steps;
    qsizetype trailingFrom = -1; // speech after the last sentence left out, or -1
    bool empty() const { return ends.empty(); }
    // Whether speech was left out or a sentence given none.
    bool deviates() const {
        return trailingFrom >= 0 || std::any_of(steps.begin(), steps.end(), [](Step step) {
                   return step == Step::AfterSkip || step == Step::Missing;
               });
    }
};

class Aligner {
public:
    Aligner(const LevelProfile &profile, const SpeechMap &speech, const QStringList &sentences);

    qsizetype count() const { return m_pace.count(); }
    double totalUnits() const { return m_pace.totalUnits(); }
    double units(qsizetype sentence) const { return m_pace.units(sentence); }
    // Node 0 is the start of the speech, node M+1 its end, node k the k-th pause.
    qsizetype endNode() const { return m_nodes - 1; }
    qsizetype voicedAt(qsizetype node) const;
    const Pause &pauseAt(qsizetype node) const;

    // Frames of speech a unit of text takes at sentence i.
    double rate(qsizetype sentence) const { return m_pace.rate(sentence); }
    void setRate(double framesPerUnit) { m_pace.setRate(framesPerUnit); }
    // Follows the rate the sentences of `path` show around each sentence.
    void setLocalRates(const Path &path) { m_pace.setLocalRates(voicedPerSentence(path)); }
    double voicedOf(const Path &path, qsizetype sentence) const {
        return double(voicedAt(path.ends[std::size_t(sentence)]) -
                      voicedAt(path.starts[std::size_t(sentence)]));
    }

    Path run();
    // Narrows the spread of lengths to what `path` shows of this speaker.
    void fitSpreadTo(const Path &path) { m_pace.fitSpreadTo(voicedPerSentence(path)); }
    qsizetype stuckAt() const { return m_stuckAt; }
    bool soundsLikeMusic(qsizetype firstFrame, qsizetype lastFrame) const;
    // The least cost of sentences `order[0..n)`, said in that order at the rates
    // of positions firstPosition onwards, from node `fromNode` to `toNode`; their
    // ends into `ends` when given.
    double orderCost(const qsizetype *order, qsizetype n, qsizetype firstPosition,
                     qsizetype fromNode, qsizetype toNode,
                     std::vector<qsizetype> *ends = nullptr) const;

private:
    // The voiced frames `path` gives each sentence, 0 for one not spoken.
    std::vector<double> voicedPerSentence(const Path &path) const;
    // Nodes whose voiced position lies within [low, high].
    std::pair<qsizetype, qsizetype> nodesBetween(double low, double high) const;
    double spanCost(qsizetype sentence, double voiced, double expected) const;
    double endCost(qsizetype node, bool last) const;
    // What leaving out the sound before node `a` costs for the first sentence.
    double leadingCost(qsizetype a) const;
    bool islandIsMusic(qsizetype node) const { return m_musicIslands[std::size_t(node)]; }
    double trailingCost(qsizetype b) const;
    void fillRow(qsizetype i, const Row &previous, Row &row);
    Path tracePath(const std::vector<Row> &rows) const;

    const LevelProfile &m_profile;
    const SpeechMap &m_speech;
    qsizetype m_nodes;
    SpeakingPace m_pace;
    double m_medianPause = 30;
    qsizetype m_stuckAt = -1;
    mutable std::vector<double> m_leadingCosts;
    std::vector<bool> m_musicIslands; // the sound after node k is music
};

} // namespace sentence_search
} // namespace vovozodo
