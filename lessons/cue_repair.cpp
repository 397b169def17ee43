#include "lessons/cue_repair.h"

#include "lessons/input_error.h"

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

QString at(const QString &name, const Cue &cue) {
    return name + u':' + QString::number(cue.line) + u": "_s;
}

void mergeRepeats(QList<Cue> &cues, const QString &name, QStringList &notes) {
    for (qsizetype k = 1; k < cues.size();) {
        Cue &kept = cues[k - 1];
        const Cue &repeat = cues[k];
        if (repeat.startMs != kept.startMs || repeat.endMs != kept.endMs) {
            ++k;
            continue;
        }
        if (repeat.text.simplified() != kept.text.simplified())
            kept.text += u' ' + repeat.text;
        notes.append(at(name, repeat) + u"same times as the cue at line "_s +
                     QString::number(kept.line) + u"; merged into one sentence"_s);
        cues.removeAt(k);
    }
}

} // namespace

QList<Cue> repairCues(QList<Cue> cues, qint64 shiftMs, const QString &name, QStringList &notes) {
    mergeRepeats(cues, name, notes);
    for (Cue &cue : cues) {
        const bool ends = cue.endMs >= 0;
        cue.startMs += shiftMs;
        if (ends) {
            cue.endMs += shiftMs;
            if (cue.endMs < 0 || (cue.endMs == 0 && cue.startMs < 0))
                throw InputError(at(name, cue) + u"the cue ends before the recording starts"_s +
                                 (shiftMs ? u" (after --shift)"_s : QString()) +
                                 u", so it holds none of its speech"_s);
        }
        if (cue.startMs < 0) {
            notes.append(at(name, cue) +
                         u"the cue starts before the recording; it starts with it"_s);
            cue.startMs = 0;
        }
    }
    for (qsizetype k = 0; k < cues.size(); ++k) {
        Cue &cue = cues[k];
        const Cue *next = k + 1 < cues.size() ? &cues[k + 1] : nullptr;
        if (cue.endMs >= 0 && cue.endMs < cue.startMs)
            throw InputError(at(name, cue) + u"the cue ends before it starts"_s);
        if (cue.endMs == cue.startMs) {
            // A point label marks where a sentence starts, like an LRC line.
            notes.append(at(name, cue) + u"the cue has no length; it runs until the next one"_s);
            cue.endMs = next ? std::max(next->startMs, cue.startMs) : -1;
            if (next && next->startMs == cue.startMs)
                throw InputError(at(name, cue) + u"the cue has no length and starts where the "_s +
                                 u"next one does"_s);
        }
        if (next && k + 2 < cues.size() && cue.endMs > cues[k + 2].startMs) {
            notes.append(at(name, cue) + u"the cue runs over the next two; it ends where the "_s +
                         u"next one starts"_s);
            cue.endMs = std::max(next->startMs, cue.startMs + 1);
        }
        if (next && next->startMs == cue.startMs)
            throw InputError(at(name, cue) + u"the cue starts where the next one (line "_s +
                             QString::number(next->line) + u") does with other times; "_s +
                             u"give each sentence its own time"_s);
    }
    return cues;
}

} // namespace vovozodo
