// The window's menus: every command with its key.
#include "editor/editor_window.h"
#include "editor/waveform_view.h"

#include <QAction>
#include <QMenuBar>
#include <QStatusBar>
#include <QUndoStack>

#include <algorithm>
#include <functional>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {

QAction *menuAction(QMenu *menu, const QString &text, const QKeySequence &keys,
                    const std::function<void()> &run) {
    QAction *action = menu->addAction(text);
    action->setShortcut(keys);
    QObject::connect(action, &QAction::triggered, action, run);
    return action;
}

} // namespace

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

} // namespace vovozodo
