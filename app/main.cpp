#include "startup/background.h"

#include <QApplication>

using namespace vovozodo;

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vovozodo"));
    QApplication::setDesktopFileName(QStringLiteral("vovozodo"));

    auto *background = new Background;
    background->setAttribute(Qt::WA_DeleteOnClose);
    background->show();
    // The program ends when both the start-up window and the main window are gone.
    return QApplication::exec();
}
