// The sentence list and the edits made from it: selection, split, merge,
// re-align, and the marks on sentences that do not fit.
#include "editor/editor_window.h"
#include "editor/realign.h"
#include "editor/waveform_view.h"

#include <QBrush>
#include <QLineEdit>
#include <QStatusBar>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

const QColor kPartsBackground(0xf6, 0xd0, 0xd0);

QString secondsText(qint64 samples, int rate) {
    const double seconds = double(samples) / std::max(rate, 1);
    const qint64 minutes = qint64(seconds) / 60;
    return u"%1:%2"_s.arg(minutes).arg(seconds - double(minutes * 60), 4, 'f', 1, u'0');
}

} // namespace

void EditorWindow::refreshSentences() {
    const LessonDraft &draft = m_document.draft();
    const std::vector<bool> misfits = lengthMisfits(draft);
    const qsizetype keep = selectedSentence();
    const QSignalBlocker quiet(m_sentences);
    m_sentences->setRowCount(int(draft.sentences.size()));
    for (int i = 0; i < m_sentences->rowCount(); ++i) {
        const SentenceSpan &span = draft.spans[std::size_t(i)];
        const bool misfit = misfits[std::size_t(i)];
        // Where the aligner found text and speech parting: marked until the
        // learner mends the cuts around it.
        QStringList trouble = draft.misfitsOf(i);
        const bool parts = !trouble.isEmpty();
        if (misfit)
            trouble.append(u"Its length does not fit its text"_s);
        const QStringList cells = {QString::number(i + 1) + (parts ? u" \u2260"_s : QString()) +
                                       (misfit ? u" \u26a0"_s : QString()),
                                   draft.sentences[i], secondsText(span.limitBefore, m_sampleRate),
                                   secondsText(span.speechEnd - span.speechStart, m_sampleRate)};
        for (int column = 0; column < kColumns; ++column) {
            QTableWidgetItem *item = m_sentences->item(i, column);
            if (!item) {
                item = new QTableWidgetItem;
                if (column != kText)
                    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                m_sentences->setItem(i, column, item);
            }
            item->setText(cells[column]);
            item->setToolTip(trouble.join(u'\n'));
            item->setData(Qt::AccessibleDescriptionRole, trouble.join(u'\n'));
            item->setBackground(parts ? QBrush(kPartsBackground) : QBrush());
            item->setForeground(parts ? QBrush(Qt::black) : QBrush());
        }
    }
    if (keep >= 0 && keep < draft.sentences.size())
        m_sentences->selectRow(int(keep));
    if (keep >= 0 && !m_sentenceText->hasFocus())
        m_sentenceText->setText(draft.sentences.value(keep));
}

qsizetype EditorWindow::selectedSentence() const {
    const QList<QTableWidgetItem *> items = m_sentences->selectedItems();
    return items.isEmpty() ? -1 : items.first()->row();
}

void EditorWindow::selectSentence(qsizetype sentence) {
    const LessonDraft &draft = m_document.draft();
    if (sentence < 0 || sentence >= draft.sentences.size())
        return;
    {
        const QSignalBlocker quiet(m_sentences);
        m_sentences->selectRow(int(sentence));
    }
    m_sentenceText->setText(draft.sentences[sentence]);
    m_waveform->setPlayhead(draft.spans[std::size_t(sentence)].limitBefore, true);
    if (sentence < draft.cutCount())
        m_waveform->selectCut(sentence);
}

void EditorWindow::splitAtPlayhead() {
    const qint64 at = m_waveform->playhead();
    const qsizetype sentence = m_document.draft().sentenceAt(at);
    if (sentence < 0)
        return;
    // The caret of the text box says where the text splits; when it stands at
    // either end (the box was not edited), the text splits where the time does.
    const QString &text = m_document.draft().sentences[sentence];
    qsizetype caret = sentence == selectedSentence() ? m_sentenceText->cursorPosition() : 0;
    if (caret <= 0 || caret >= text.size()) {
        const SentenceSpan &span = m_document.draft().spans[std::size_t(sentence)];
        const double share =
            span.speechEnd > span.speechStart
                ? double(at - span.speechStart) / double(span.speechEnd - span.speechStart)
                : 0.5;
        caret = qsizetype(std::lround(std::clamp(share, 0.0, 1.0) * double(text.size())));
    }
    m_document.split(at, caret);
    selectSentence(sentence + 1);
}

void EditorWindow::mergeSelected() {
    const qsizetype sentence = selectedSentence();
    if (sentence >= 0 && sentence < m_document.draft().cutCount())
        m_document.removeCut(sentence);
}

void EditorWindow::realignRest() {
    const qsizetype cut = std::max<qsizetype>(m_waveform->selectedCut(), 0);
    const QStringList notes = m_document.realignAfter(cut);
    statusBar()->showMessage(notes.isEmpty() ? u"Re-aligned after cut %1"_s.arg(cut + 1)
                                             : notes.join(u' '));
}

} // namespace vovozodo
