// The window itself: its layout, its title, the scroll bar under the waveform.
#include "editor/editor_window.h"

#include "editor/decode_job.h"
#include "editor/proposal_job.h"
#include "editor/sound_output.h"
#include "editor/waveform_view.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace vovozodo {

using namespace Qt::StringLiterals;

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
    m_playheadTimer = new QTimer(this);
    m_playheadTimer->setInterval(30);
    connect(m_playheadTimer, &QTimer::timeout, this, [this] {
        const qint64 heard = m_output->heardSample();
        if (heard >= 0)
            m_waveform->setPlayhead(heard, true);
    });
    setSoundOutput(new SoundOutput(this));
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
    m_inputNotes = new QLabel(central);
    m_inputNotes->setObjectName(u"inputNotes"_s);
    m_inputNotes->setAccessibleName(u"Notes on the text"_s);
    m_inputNotes->setWordWrap(true);
    m_inputNotes->hide();
    layout->addWidget(m_inputNotes);

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

void EditorWindow::setSoundOutput(SoundOutput *output) {
    m_playheadTimer->stop();
    delete m_output;
    m_output = output;
    output->setParent(this);
    connect(output, &SoundOutput::finished, m_playheadTimer, &QTimer::stop);
    connect(output, &SoundOutput::failed, this, [this](const QString &reason) {
        m_playheadTimer->stop();
        statusBar()->showMessage(u"Cannot play: "_s + reason);
    });
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

void EditorWindow::showError(const QString &message) {
    QMessageBox::warning(this, u"Vovozodo Lesson Maker"_s, message);
}

} // namespace vovozodo
