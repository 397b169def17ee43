#include "support/main_window_rig.h"

#include "library/install_root.h"
#include "ui/begin1.h"

#include <QTest>
#include <QTextCursor>

namespace vovozodo {

MainWindowRig::MainWindowRig() = default;

MainWindowRig::~MainWindowRig() {
    InstallRoot.clear();
}

Begin1 &MainWindowRig::open() {
    InstallRoot = library.root();
    m_window = std::make_unique<Begin1>(playback.services());
    return *m_window;
}

namespace {
template <typename T> T *find(const Begin1 &window, const char *name) {
    T *child = window.findChild<T *>(QLatin1StringView(name));
    if (!child)
        qFatal("The main window has no control named %s", name);
    return child;
}
} // namespace

QComboBox *MainWindowRig::combo(const char *name) const {
    return find<QComboBox>(*m_window, name);
}
QLabel *MainWindowRig::label(const char *name) const {
    return find<QLabel>(*m_window, name);
}
QPushButton *MainWindowRig::button(const char *name) const {
    return find<QPushButton>(*m_window, name);
}
QCheckBox *MainWindowRig::check() const {
    return find<QCheckBox>(*m_window, "Check1");
}
QPlainTextEdit *MainWindowRig::text() const {
    return find<QPlainTextEdit>(*m_window, "Text1");
}

QString MainWindowRig::selectedText() const {
    return text()->textCursor().selectedText();
}

qsizetype MainWindowRig::selectionStart() const {
    return text()->textCursor().selectionStart();
}

} // namespace vovozodo
