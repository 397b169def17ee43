#pragma once

#include "editor/lesson_draft.h"
#include "editor/speech_guide.h"

#include <QObject>

class QUndoStack;

namespace vovozodo {

// The draft being edited and its history: every edit is one command on the
// undo stack, which holds the draft as it was before and after, so undo and
// redo restore exactly what was there. Nudges of one cut by key in a row merge
// into one step.
class LessonDocument : public QObject {
    Q_OBJECT
public:
    explicit LessonDocument(QObject *parent = nullptr);
    ~LessonDocument() override;

    // A new recording and its proposed cuts; the history starts afresh.
    void reset(SpeechGuide guide, LessonDraft draft);

    const LessonDraft &draft() const { return m_draft; }
    const SpeechGuide &guide() const { return m_guide; }
    QUndoStack *undoStack() const { return m_undo; }
    bool isEmpty() const { return m_draft.sentences.isEmpty(); }

    // Where a cut dragged to `sample` lands: the quietest point of the nearest
    // pause within kSnapWindowMs, or `sample` itself.
    qint64 snapped(qint64 sample) const;

    void moveCut(qsizetype cut, qint64 sample, bool nudge = false);
    void split(qint64 sample, qsizetype caret);
    void removeCut(qsizetype cut);
    void setText(qsizetype sentence, const QString &text);
    // Notes say where the aligner found no fit.
    QStringList realignAfter(qsizetype cut);
    // Replaces the draft as one step (a restored session).
    void replaceDraft(const LessonDraft &draft, const QString &what);

signals:
    void changed();

private:
    friend class DraftStep;
    void push(const LessonDraft &after, const QString &what, int mergeId = -1);
    void setDraft(const LessonDraft &draft);

    SpeechGuide m_guide;
    LessonDraft m_draft;
    QUndoStack *m_undo;
};

} // namespace vovozodo
