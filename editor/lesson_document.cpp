#include "editor/lesson_document.h"

#include "editor/realign.h"
#include "lessons/cue_snapper.h"

#include <QUndoCommand>
#include <QUndoStack>

namespace vovozodo {

using namespace Qt::StringLiterals;

class DraftStep : public QUndoCommand {
public:
    DraftStep(LessonDocument &document, LessonDraft before, LessonDraft after, const QString &what,
              int mergeId)
        : QUndoCommand(what), m_document(document), m_before(std::move(before)),
          m_after(std::move(after)), m_mergeId(mergeId) {}

    void undo() override { m_document.setDraft(m_before); }
    void redo() override { m_document.setDraft(m_after); }
    int id() const override { return m_mergeId; }
    bool mergeWith(const QUndoCommand *other) override {
        m_after = static_cast<const DraftStep *>(other)->m_after;
        return true;
    }

private:
    LessonDocument &m_document;
    LessonDraft m_before;
    LessonDraft m_after;
    int m_mergeId;
};

LessonDocument::LessonDocument(QObject *parent) : QObject(parent), m_undo(new QUndoStack(this)) {}

LessonDocument::~LessonDocument() = default;

void LessonDocument::reset(SpeechGuide guide, LessonDraft draft) {
    m_undo->clear();
    m_guide = std::move(guide);
    setDraft(draft);
    m_undo->setClean();
}

void LessonDocument::setDraft(const LessonDraft &draft) {
    m_draft = draft;
    emit changed();
}

void LessonDocument::push(const LessonDraft &after, const QString &what, int mergeId) {
    if (after == m_draft)
        return;
    m_undo->push(new DraftStep(*this, m_draft, after, what, mergeId));
}

qint64 LessonDocument::snapped(qint64 sample) const {
    return m_guide.snap(sample, m_guide.samplesOfMs(kSnapWindowMs)).value_or(sample);
}

void LessonDocument::moveCut(qsizetype cut, qint64 sample, bool nudge) {
    // Nudges of the same cut merge; the id keeps different cuts apart.
    push(withCutMoved(m_draft, m_guide, cut, sample), u"Move cut %1"_s.arg(cut + 1),
         nudge ? int(cut) + 1 : -1);
}

void LessonDocument::split(qint64 sample, qsizetype caret) {
    push(withSplit(m_draft, m_guide, sample, caret), u"Split sentence"_s);
}

void LessonDocument::removeCut(qsizetype cut) {
    push(withCutRemoved(m_draft, cut), u"Merge sentences %1 and %2"_s.arg(cut + 1).arg(cut + 2));
}

void LessonDocument::setText(qsizetype sentence, const QString &text) {
    push(withText(m_draft, sentence, text), u"Edit sentence %1"_s.arg(sentence + 1));
}

QStringList LessonDocument::realignAfter(qsizetype cut) {
    QStringList notes;
    push(withRestRealigned(m_draft, m_guide, cut, notes), u"Re-align the rest"_s);
    return notes;
}

void LessonDocument::replaceDraft(const LessonDraft &draft, const QString &what) {
    push(draft, what);
}

} // namespace vovozodo
