#include "ui/begin1.h"

#include "library/catalogue.h"
#include "library/install_root.h"
#include "library/lesson_paths.h"
#include "library/lesson_script.h"
#include "playback/sound_device.h"
#include "playback/timer.h"
#include "ui/about_window.h"
#include "ui/key_codes.h"
#include "ui/window_placement.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStringListModel>

namespace vovozodo {

using namespace Qt::StringLiterals;

// A dialog-type window, because window systems keep only those above their
// owner: X11 window managers go by the transient hint, which the toolkit
// writes for dialogs alone, so a plain window would vanish behind the black
// backdrop at a click on it. On Wayland every owned window carries its parent.
Begin1::Begin1(const PlaybackServices &services, QWidget *owner)
    : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint),
      m_soundDevice(services.createSoundDevice()), m_advanceWait(services.createTimer()),
      m_repeatWait(services.createTimer()), m_progressTick(services.createTimer()) {
    createControls();
    load();
    qApp->installEventFilter(this);
}

Begin1::~Begin1() {
    unload();
}

bool Begin1::lessonValid(int position) const {
    return position >= 0 && position < int(m_lessonValid.size()) &&
           m_lessonValid[std::size_t(position)];
}

// ---- Load and unload ------------------------------------------------------

void Begin1::load() {
    connect(m_soundDevice.get(), &SoundDevice::done, this, &Begin1::onDeviceDone);

    m_advanceWait->setInterval(500);
    m_repeatWait->setInterval(0);
    m_progressTick->setInterval(100);
    connect(m_advanceWait.get(), &Timer::tick, this, &Begin1::onAdvanceWaitOver);
    connect(m_repeatWait.get(), &Timer::tick, this, &Begin1::onRepeatWaitOver);
    connect(m_progressTick.get(), &Timer::tick, this, &Begin1::onProgressTick);

    const Catalogue catalogue = scanCatalogue(InstallRoot);
    QStringList entries;
    for (std::size_t n = 0; n < catalogue.size(); ++n) {
        entries << catalogue[n].text;
        m_lessonValid[n] = catalogue[n].valid;
    }
    m_lessonChooser->addItems(entries);
    m_lessonChooser->setCurrentIndex(0);
    connect(m_lessonChooser, &QComboBox::currentIndexChanged, this, &Begin1::onLessonChosen);

    m_repeatChooser->addItems({u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s});
    m_repeatChooser->setCurrentIndex(1);
    onAutomaticClicked();
    m_pauseChooser->addItems({u"500"_s, u"1000"_s, u"2000"_s, u"3000"_s, u"4000"_s});
    m_pauseChooser->setCurrentIndex(0);

    // Every change of the tick runs the click handling, as a check box's click
    // event does on Windows: from the mouse, the keyboard or a screen reader's
    // toggle action, which changes the value without a click.
    connect(m_automatic, &QCheckBox::toggled, this, &Begin1::onAutomaticClicked);
    connect(m_sentenceChooser, &QComboBox::currentIndexChanged, this,
            &Begin1::onSentenceEntrySelected);
    connect(m_sentenceChooser, &QComboBox::activated, this, &Begin1::onSentenceEntryActivated);
    connect(m_playbackButton, &QPushButton::clicked, this, &Begin1::playbackCommand);
    connect(m_exitButton, &QPushButton::clicked, this, &Begin1::exitCommand);
    connect(m_aboutButton, &QPushButton::clicked, this, &Begin1::aboutCommand);
}

void Begin1::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_soundDevice->close();
}

void Begin1::closeEvent(QCloseEvent *event) {
    // Only the learner's Yes unloads the window. A close request from the
    // desktop asks first, as Exit does, and the window stays meanwhile: the
    // backdrop must never be left alone on the screen.
    if (m_leaving) {
        unload();
        event->accept();
        return;
    }
    event->ignore();
    requestExit();
}

void Begin1::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    const QWidget *owner = parentWidget();
    const QRect area =
        owner ? owner->geometry() : (screen() ? screen()->geometry() : QRect(QPoint(), size()));
    move(area.center() - rect().center());
    m_exitButton->setFocus(Qt::OtherFocusReason);
}

// ---- Catalogue settings ---------------------------------------------------

void Begin1::onAutomaticClicked() {
    const bool ticked = m_automatic->isChecked();
    m_repeatChooser->setEnabled(ticked);
    m_pauseChooser->setEnabled(ticked);
}

// ---- Lesson loading -------------------------------------------------------

void Begin1::onLessonChosen() {
    const int s = m_lessonChooser->currentIndex();
    if (s <= 0 || s > kLessonCount || s == m_loadedLesson || !lessonValid(s))
        return;

    std::optional<QStringList> sentences = readSentenceLines(transcriptPath(InstallRoot, s));
    if (!sentences) {
        QMessageBox box(QMessageBox::Warning, u"Warning!"_s,
                        u"The file 'script.txt' doesn't exist!"_s, QMessageBox::Ok, this);
        placement::keepCentredOnOwner(&box);
        box.exec();
        m_lessonChooser->setCurrentIndex(m_loadedLesson);
        m_transcript->setFocus(Qt::OtherFocusReason);
        return;
    }

    stopPlayback();
    m_scriptLines = std::move(*sentences);
    m_transcript->setPlainText(composeTranscript(m_scriptLines));
    m_cycle.lessonLoaded(int(m_scriptLines.size()));
    showCounter();
    m_loadedLesson = s;

    // One model reset instead of an item per sentence: lessons can be long.
    m_sentenceEntries->setStringList(sentenceChooserEntries(m_scriptLines));
    m_sentenceChooser->setCurrentIndex(0);
    m_sentenceChooser->setEnabled(true);
    m_playbackButton->setEnabled(true);
    m_transcript->setFocus(Qt::OtherFocusReason);
}

void Begin1::stopPlayback() {
    m_advanceWait->setEnabled(false);
    m_repeatWait->setEnabled(false);
    m_progressTick->setEnabled(false);
    hideProgressFill();
    m_soundDevice->close();
}

// ---- Keys, About and Exit -------------------------------------------------

bool Begin1::eventFilter(QObject *watched, QEvent *event) {
    // Key preview: see every key meant for this window before the control with
    // the focus does, and let it through.
    // A key the focused control ignores travels on to its parents, through this
    // filter again: only its first delivery counts.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const QWidget *firstReceiver = focusWidget() ? focusWidget() : this;
        if (watched == firstReceiver)
            onKeyDown(virtualKeyCode(*static_cast<QKeyEvent *>(event)));
    }
    return QWidget::eventFilter(watched, event);
}

void Begin1::onKeyDown(int keyCode) {
    if (keyCode == kVirtualKeyEscape)
        exitCommand();
    else if (keyCode == kVirtualKeyNumpad0 && m_playbackButton->isEnabled())
        playbackCommand();
}

void Begin1::requestExit() {
    if (m_exitAsked || !isVisible())
        return;
    // The About window or the notice is up: the request brings it to the front
    // instead of opening a question behind it.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        return;
    }
    // Asked from the event loop: the toolkit does not let a window close itself
    // from inside the handling of a close request, which is where this comes from.
    m_exitAsked = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_exitAsked = false;
            exitCommand();
        },
        Qt::QueuedConnection);
}

void Begin1::exitCommand() {
    if (m_exitAsked)
        return;
    const QScopedValueRollback asking(m_exitAsked, true);
    QMessageBox box(QMessageBox::Information, u"Attention!"_s, u"Do you really want to exit?"_s,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    placement::keepCentredOnOwner(&box);
    if (box.exec() != QMessageBox::Yes)
        return;
    m_leaving = true;
    close();
    emit exitConfirmed();
}

void Begin1::aboutCommand() {
    FrmAbout::showModal(this);
}

} // namespace vovozodo
