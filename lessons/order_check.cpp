#include "lessons/misfit_checks.h"

#include "lessons/level_profile.h"
#include "lessons/pause_finder.h"
#include "lessons/sentence_search.h"

#include <array>
#include <limits>

namespace vovozodo::sentence_search {

namespace {

// Sentences re-cut together: a sentence moved by up to this many lines less one.
constexpr qsizetype kWindow = 3;
// How much better (in the search's cost) the moved order must fit: matching
// transcripts in bench/lessons-fit gain at most about 2.1 from any such move
// (a sentence whose commas let it be cut as well elsewhere), most of those
// moved by a line or two gain 2.9 and more. A window of four sentences let
// matching transcripts gain more than it found.
constexpr double kOrderMargin = 2.75;

} // namespace

double Aligner::orderCost(const qsizetype *order, qsizetype n, qsizetype firstPosition,
                          qsizetype fromNode, qsizetype toNode,
                          std::vector<qsizetype> *ends) const {
    constexpr double kNone = std::numeric_limits<double>::infinity();
    const auto nodes = std::size_t(toNode - fromNode + 1);
    std::vector<double> cost(nodes * std::size_t(n + 1), kNone);
    std::vector<qsizetype> back(cost.size(), -1);
    const auto at = [&](qsizetype j, qsizetype node) {
        return std::size_t(j) * nodes + std::size_t(node - fromNode);
    };
    cost[at(0, fromNode)] = 0;
    for (qsizetype j = 1; j <= n; ++j) {
        const qsizetype sentence = order[j - 1];
        const double expected = rate(firstPosition + j - 1) * units(sentence);
        const double slack = slackFor(units(sentence));
        for (qsizetype b = fromNode + j; b <= toNode; ++b) {
            if (j == n && b != toNode)
                continue;
            const double atEnd = b == toNode ? 0 : endCost(b, false);
            for (qsizetype a = b - 1; a >= fromNode + j - 1; --a) {
                const double before = cost[at(j - 1, a)];
                if (before == kNone)
                    continue;
                const double voiced = double(voicedAt(b) - voicedAt(a));
                if (voiced > expected * slack)
                    break;
                if (voiced <= 0 || voiced < expected / slack)
                    continue;
                const double total = before + spanCost(sentence, voiced, expected) + atEnd;
                if (total < cost[at(j, b)]) {
                    cost[at(j, b)] = total;
                    back[at(j, b)] = a;
                }
            }
        }
    }
    const double total = cost[at(n, toNode)];
    if (ends && total != kNone) {
        ends->assign(std::size_t(n), toNode);
        qsizetype node = toNode;
        for (qsizetype j = n; j > 0; --j) {
            (*ends)[std::size_t(j - 1)] = node;
            node = back[at(j, node)];
        }
    }
    return total;
}

std::optional<FitProblem> orderOff(const Aligner &aligner, const Path &path,
                                   const LevelProfile &profile) {
    const qsizetype count = aligner.count();
    if (count < 3 || path.deviates())
        return std::nullopt;
    std::optional<FitProblem> worst;
    double bestGain = kOrderMargin;
    for (qsizetype first = 0; first + kWindow <= count; ++first) {
        const qsizetype fromNode = path.starts[std::size_t(first)];
        const qsizetype toNode = path.ends[std::size_t(first + kWindow - 1)];
        bool spoken = true;
        for (qsizetype k = first + 1; k < first + kWindow; ++k)
            spoken = spoken && path.steps[std::size_t(k)] == Step::Spoken;
        if (!spoken)
            continue;
        std::array<qsizetype, kWindow> order{};
        for (qsizetype k = 0; k < kWindow; ++k)
            order[std::size_t(k)] = first + k;
        const double own = aligner.orderCost(order.data(), kWindow, first, fromNode, toNode);
        if (own == std::numeric_limits<double>::infinity())
            continue;
        // Every order with one sentence taken out and put back elsewhere.
        for (qsizetype from = 0; from < kWindow; ++from)
            for (qsizetype to = 0; to < kWindow; ++to) {
                if (to == from || to == from - 1)
                    continue; // the same order, or a swap already tried
                std::array<qsizetype, kWindow> moved{};
                qsizetype out = 0;
                for (qsizetype k = 0; k < kWindow; ++k) {
                    if (k == from)
                        continue;
                    if (out == to)
                        moved[std::size_t(out++)] = first + from;
                    moved[std::size_t(out++)] = first + k;
                }
                if (out == to)
                    moved[std::size_t(out++)] = first + from;
                std::vector<qsizetype> ends;
                const double cost =
                    aligner.orderCost(moved.data(), kWindow, first, fromNode, toNode, &ends);
                const double gain = own - cost;
                if (!(gain > bestGain))
                    continue;
                bestGain = gain;
                const qsizetype sentence = first + from;
                const qsizetype startNode = to == 0 ? fromNode : ends[std::size_t(to - 1)];
                FitProblem problem;
                problem.kind = Misfit::OutOfPlace;
                problem.sentence = sentence;
                problem.seconds = profile.seconds(
                    double(aligner.pauseAt(path.starts[std::size_t(sentence)]).last));
                problem.elsewhereSeconds = profile.seconds(double(aligner.pauseAt(startNode).last));
                worst = problem;
            }
    }
    return worst;
}

} // namespace vovozodo::sentence_search
