#include "editor/editor_window.h"

#include "editor/clip_sound.h"
#include "editor/decode_job.h"
#include "editor/realign.h"
#include "editor/sound_output.h"
#include "editor/waveform_view.h"

#include <QAction>
#include <QBrush>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

enum Column { kNumber, kText, kStart, kLength, kColumns };

const QColor kPartsBackground(0xf6, 0xd0, 0xd0);

QString secondsText(qint64 samples, int rate) {
    const double seconds = double(samples) / std::max(rate, 1);
    const qint64 minutes = qint64(seconds) / 60;
    return u"%1:%2"_s.arg(minutes).arg(seconds - double(minutes * 60), 4, 'f', 1, u'0');
}

QAction *menuAction(QMenu *menu, const QString &text, const QKeySequence &keys,
                    const std::function<void()> &run) {
    QAction *action = menu->addAction(text);
    action->setShortcut(keys);
    QObject::connect(action, &QAction::triggered, action, run);
    return action;
}

} // namespace

EditorWindow::EditorWindow(QWidget *parent) : QMainWindow(parent) {
    setObjectName(u"editorWindow"_s);
    setAcceptDrops(true);
    buildLayout();
    buildMenus();
    m_sessionTimer = new QTimer(this);
    m_sessionTimer->setSingleShot(true);
    m_sessionTimer->setInterval(1000);
    connect(m_sessionTimer, &QTimer::timeout, this, &EditorWindow::keepSession);
    connect(&m_document, &LessonDocument::changed, this, [this] {
        refreshSentences();
        m_sessionTimer->start();
    });
    m_output = new SoundOutput(this);
    m_playheadTimer = new QTimer(this);
    m_playheadTimer->setInterval(30);
    connect(m_playheadTimer, &QTimer::timeout, this, [this] {
        const qint64 heard = m_output->heardSample();
        if (heard >= 0)
            m_waveform->setPlayhead(heard, true);
    });
    connect(m_output, &SoundOutput::finished, m_playheadTimer, &QTimer::stop);
    connect(m_output, &SoundOutput::failed, this, [this](const QString &reason) {
        m_playheadTimer->stop();
        statusBar()->showMessage(u"Cannot play: "_s + reason);
    });
    updateTitle();
    resize(1100, 700);
}

void EditorWindow::buildLayout() {
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    m_trouble = new QLabel(central);
    m_trouble->setObjectName(u"disagreement"_s);
    m_trouble->setWordWrap(true);
    m_trouble->setStyleSheet(u"color: #b03030;"_s);
    m_trouble->hide();
    layout->addWidget(m_trouble);

    auto *splitter = new QSplitter(Qt::Vertical, central);
    auto *top = new QWidget(splitter);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    m_waveform = new WaveformView(top);
    m_waveform->setDocument(&m_document);
    m_scroll = new QScrollBar(Qt::Horizontal, top);
    m_scroll->setObjectName(u"waveformScroll"_s);
    m_scroll->setAccessibleName(u"Scroll the waveform"_s);
    topLayout->addWidget(m_waveform, 1);
    topLayout->addWidget(m_scroll);
    connect(m_waveform, &WaveformView::viewChanged, this, &EditorWindow::syncScrollBar);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_waveform->scrollToSample(qint64(value * m_waveform->scale().samplesPerPixel()));
    });
    connect(m_waveform, &WaveformView::cutSelected, this, [this](qsizetype cut) {
        const QSignalBlocker quiet(m_sentences);
        m_sentences->selectRow(int(cut));
        m_sentenceText->setText(m_document.draft().sentences.value(cut));
    });
    connect(m_waveform, &WaveformView::sentenceClicked, this, &EditorWindow::selectSentence);

    m_sentences = new QTableWidget(0, kColumns, splitter);
    m_sentences->setObjectName(u"sentenceList"_s);
    m_sentences->setAccessibleName(u"Sentences"_s);
    m_sentences->setHorizontalHeaderLabels({u"#"_s, u"Text"_s, u"Start"_s, u"Length"_s});
    m_sentences->horizontalHeader()->setSectionResizeMode(kText, QHeaderView::Stretch);
    m_sentences->verticalHeader()->hide();
    m_sentences->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_sentences->setSelectionMode(QAbstractItemView::SingleSelection);
    m_sentences->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed);
    connect(m_sentences, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() == kText)
            m_document.setText(item->row(), item->text());
    });
    connect(m_sentences, &QTableWidget::itemSelectionChanged, this,
            [this] { selectSentence(selectedSentence()); });
    splitter->addWidget(top);
    splitter->addWidget(m_sentences);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);

    m_sentenceText = new QLineEdit(central);
    m_sentenceText->setObjectName(u"sentenceText"_s);
    m_sentenceText->setAccessibleName(u"Text of the selected sentence"_s);
    m_sentenceText->setPlaceholderText(
        u"Text of the selected sentence; B splits it at the playhead and here"_s);
    connect(m_sentenceText, &QLineEdit::editingFinished, this, [this] {
        const qsizetype sentence = selectedSentence();
        if (sentence >= 0 && m_sentenceText->text() != m_document.draft().sentences[sentence])
            m_document.setText(sentence, m_sentenceText->text());
    });
    layout->addWidget(m_sentenceText);
    setCentralWidget(central);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"decodeProgress"_s);
    m_progress->setAccessibleName(u"Progress"_s);
    m_progress->setMaximumWidth(240);
    m_cancel = new QPushButton(u"Cancel"_s, this);
    m_cancel->setObjectName(u"cancelDecode"_s);
    m_cancel->setAccessibleName(u"Cancel"_s);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_decode.reset();
        m_progress->hide();
        m_cancel->hide();
        statusBar()->showMessage(u"Opening cancelled"_s);
    });
    statusBar()->addPermanentWidget(m_progress);
    statusBar()->addPermanentWidget(m_cancel);
    m_progress->hide();
    m_cancel->hide();
}

void EditorWindow::buildMenus() {
    QMenu *file = menuBar()->addMenu(u"&File"_s);
    menuAction(file, u"&Open…"_s, QKeySequence::Open, [this] { open({}, {}); });
    m_saveAction = menuAction(file, u"&Save into library…"_s, QKeySequence(u"Ctrl+S"_s),
                              [this] { askAndSave(); });
    file->addSeparator();
    menuAction(file, u"&Quit"_s, QKeySequence::Quit, [this] { close(); });

    QMenu *edit = menuBar()->addMenu(u"&Edit"_s);
    QAction *undo = m_document.undoStack()->createUndoAction(this, u"&Undo"_s);
    undo->setShortcut(QKeySequence(u"Ctrl+Z"_s));
    QAction *redo = m_document.undoStack()->createRedoAction(this, u"&Redo"_s);
    redo->setShortcuts({QKeySequence(u"Ctrl+Shift+Z"_s), QKeySequence(u"Ctrl+Y"_s)});
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    menuAction(edit, u"S&plit at the playhead"_s, QKeySequence(u"B"_s),
               [this] { splitAtPlayhead(); });
    menuAction(edit, u"&Merge with the next sentence"_s, QKeySequence(Qt::Key_Delete),
               [this] { mergeSelected(); });
    menuAction(edit, u"Re-align the &rest"_s, QKeySequence(u"Ctrl+R"_s), [this] { realignRest(); });
    menuAction(edit, u"Pre&vious sentence"_s, QKeySequence(Qt::Key_Up),
               [this] { selectSentence(std::max<qsizetype>(selectedSentence() - 1, 0)); });
    menuAction(edit, u"&Next sentence"_s, QKeySequence(Qt::Key_Down), [this] {
        selectSentence(std::min(selectedSentence() + 1, m_document.draft().sentences.size() - 1));
    });

    QMenu *listen = menuBar()->addMenu(u"&Listen"_s);
    menuAction(listen, u"&Play or stop the clip"_s, QKeySequence(Qt::Key_Space),
               [this] { this->listen(Listen::Clip); });
    menuAction(listen, u"The second &before the cut"_s, QKeySequence(u"Q"_s),
               [this] { this->listen(Listen::BeforeCut); });
    menuAction(listen, u"The second &after the cut"_s, QKeySequence(u"W"_s),
               [this] { this->listen(Listen::AfterCut); });
    menuAction(listen, u"The clip's &first second"_s, QKeySequence(u"E"_s),
               [this] { this->listen(Listen::ClipStart); });
    menuAction(listen, u"The clip's &last second"_s, QKeySequence(u"D"_s),
               [this] { this->listen(Listen::ClipEnd); });

    listen->addSeparator();
    menuAction(listen, u"At &75 % speed"_s, QKeySequence(u"["_s), [this] {
        m_speed = 0.75;
        statusBar()->showMessage(u"Listening at 75 % speed"_s);
    });
    menuAction(listen, u"At &100 % speed"_s, QKeySequence(u"]"_s), [this] {
        m_speed = 1.0;
        statusBar()->showMessage(u"Listening at full speed"_s);
    });

    QMenu *view = menuBar()->addMenu(u"&View"_s);
    QAction *zoomIn =
        menuAction(view, u"Zoom &in"_s, QKeySequence(u"Ctrl+="_s), [this] { m_waveform->zoom(1); });
    zoomIn->setShortcuts({QKeySequence(u"Ctrl+="_s), QKeySequence(u"Ctrl++"_s)});
    menuAction(view, u"Zoom &out"_s, QKeySequence(u"Ctrl+-"_s), [this] { m_waveform->zoom(-1); });
    menuAction(view, u"&Whole recording"_s, QKeySequence(u"Ctrl+0"_s),
               [this] { m_waveform->zoom(-1000); });
}

void EditorWindow::updateTitle() {
    const QString name = u"Vovozodo Lesson Maker"_s;
    setWindowTitle(m_recording.isEmpty() ? name
                                         : QFileInfo(m_recording).fileName() + u" — "_s + name);
}

void EditorWindow::syncScrollBar() {
    const TimeScale &scale = m_waveform->scale();
    const QSignalBlocker quiet(m_scroll);
    const double spp = scale.samplesPerPixel();
    m_scroll->setRange(
        0, int(std::max<qint64>(0, scale.totalSamples() - scale.visibleSamples()) / spp));
    m_scroll->setPageStep(scale.width());
    m_scroll->setSingleStep(std::max(1, scale.width() / 16));
    m_scroll->setValue(int(double(scale.firstSample()) / spp));
}

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

void EditorWindow::listen(Listen what) {
    if (m_output->isPlaying()) {
        m_output->stop();
        m_playheadTimer->stop();
        return;
    }
    const LessonDraft &draft = m_document.draft();
    const qsizetype sentence = std::max<qsizetype>(selectedSentence(), 0);
    if (draft.sentences.isEmpty() || m_sampleRate <= 0)
        return;
    const Clip clip = padSpans(draft.spans, m_sampleRate)[std::size_t(sentence)];
    const qint64 second = m_sampleRate;
    const qsizetype cut = std::min(sentence, draft.cutCount() - 1);
    const qint64 at = cut >= 0 ? draft.cut(cut) : clip.end;
    qint64 first = clip.start;
    qint64 last = clip.end;
    switch (what) {
    case Listen::Clip:
        break;
    case Listen::BeforeCut:
        first = std::max<qint64>(0, at - second);
        last = at;
        break;
    case Listen::AfterCut:
        first = at;
        last = std::min(m_totalSamples, at + second);
        break;
    case Listen::ClipStart:
        last = std::min(clip.end, clip.start + second);
        break;
    case Listen::ClipEnd:
        first = std::max(clip.start, clip.end - second);
        break;
    }
    m_output->play([path = m_recording, first, last, speed = m_speed] {
        return slowedDown(renderStretch(path, first, last, true), speed);
    });
    m_playheadTimer->start();
}

void EditorWindow::showError(const QString &message) {
    QMessageBox::warning(this, u"Vovozodo Lesson Maker"_s, message);
}

} // namespace vovozodo
