// Saving into a library slot on a thread of its own: asked for, written, and
// its outcome told.
#include "editor/editor_window.h"
#include "editor/lesson_saver.h"
#include "editor/logging.h"
#include "lessons/input_error.h"
#include "lessons/lesson_writer.h"

#include <QAction>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QThread>
#include <QUndoStack>

namespace vovozodo {

using namespace Qt::StringLiterals;

void EditorWindow::askAndSave() {
    if (m_document.isEmpty() || isSaving())
        return;
    const QString library =
        QFileDialog::getExistingDirectory(this, u"Save into which lesson library?"_s);
    if (library.isEmpty())
        return;
    bool ok = false;
    const int lesson = QInputDialog::getInt(
        this, u"Save the lesson"_s, u"Lesson number in the library (1 to 15):"_s, 1, 1, 15, 1, &ok);
    if (!ok)
        return;
    const QStringList speeds = {u"100 % (as recorded)"_s, u"90 %"_s, u"75 %"_s};
    const QString speed =
        QInputDialog::getItem(this, u"Save the lesson"_s,
                              u"Speed (a slowed copy keeps the pitch):"_s, speeds, 0, false, &ok);
    if (ok)
        saveTo(library, lesson, {}, speed == speeds[1] ? 0.9 : speed == speeds[2] ? 0.75 : 1.0);
}

void EditorWindow::saveTo(const QString &library, int lesson, const QString &title, double tempo) {
    if (m_document.isEmpty() || isSaving())
        return;
    SaveRequest request;
    request.library = library;
    request.lesson = lesson;
    request.title = title;
    request.tempo = tempo;
    request.paragraphStarts = m_input.paragraphStarts;
    request.recording = m_recording;
    request.opened = m_recordingStamp;
    const QString existing = existingLessonEntry(library, lesson);
    if (!existing.isEmpty()) {
        if (QMessageBox::question(this, u"Vovozodo Lesson Maker"_s,
                                  u"Lesson %1 exists in %2. Replace it?"_s.arg(lesson).arg(
                                      library)) != QMessageBox::Yes)
            return;
        request.replace = true;
    }
    m_saveError.clear();
    m_savedTo.clear();
    m_saver = QThread::create([this, request, draft = m_document.draft()] {
        try {
            m_savedTo = saveDraft(request, draft);
        } catch (const InputError &error) {
            m_saveError = error.message();
        } catch (const SystemError &error) {
            m_saveError = error.message();
        } catch (const std::exception &error) {
            m_saveError = QString::fromLocal8Bit(error.what());
        }
    });
    connect(m_saver, &QThread::finished, this, [this] { saveFinished(); });
    m_saveAction->setEnabled(false);
    m_progress->setRange(0, 0);
    m_progress->show();
    statusBar()->showMessage(u"Saving lesson %1…"_s.arg(lesson));
    m_saver->start();
}

void EditorWindow::saveFinished(bool windowClosed) {
    m_saver->wait();
    delete m_saver;
    m_saver = nullptr;
    m_saveAction->setEnabled(true);
    m_progress->setRange(0, 100);
    m_progress->hide();
    if (!m_saveError.isEmpty()) {
        statusBar()->clearMessage();
        // The edits stay in the session kept on close; the library is as it was.
        if (windowClosed)
            qCWarning(lcEditor).noquote() << m_saveError;
        else
            showError(m_saveError + u"\nNothing was changed in the library."_s);
        return;
    }
    statusBar()->showMessage(u"Saved "_s + m_savedTo);
    m_document.undoStack()->setClean();
}

} // namespace vovozodo
