// vovozodo-lessons: makes lessons for the player from a recording and its
// transcript or subtitles, checks a library and chooses the one it opens.
#include "lessons/input_error.h"
#include "lessons/interrupt.h"
#include "lessons/lesson_commands.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <exception>
#include <memory>
#include <new>

using namespace vovozodo;
using namespace vovozodo::lesson_commands;

using namespace Qt::StringLiterals;

namespace {

const QString kOverview = u"Makes lessons for the Vovozodo player from a recording and its "
                          u"transcript or subtitles, checks a lesson library and chooses the "
                          u"library the player opens.\n\n"
                          u"Commands:\n"
                          u"  make LIBRARY N --audio FILE (--transcript FILE | --subtitles FILE)\n"
                          u"  check [LIBRARY] [--json]\n"
                          u"  use LIBRARY\n"
                          u"  where\n\n"
                          u"Run \"vovozodo-lessons COMMAND --help\" for a command's options."_s;

int run(const QStringList &arguments) {
    const QString command = arguments.value(1);
    if (command == u"make"_s)
        return runMake(arguments);
    if (command == u"check"_s)
        return runCheck(arguments);
    if (command == u"use"_s)
        return runUse(arguments);
    if (command == u"where"_s)
        return runWhere(arguments);
    if (command == u"--help"_s || command == u"-h"_s || command == u"help"_s) {
        printLine(stdout, u"Usage: vovozodo-lessons COMMAND [options]\n\n"_s + kOverview);
        return kDone;
    }
    if (command == u"--version"_s) {
        printLine(stdout, u"vovozodo-lessons "_s + QCoreApplication::applicationVersion());
        return kDone;
    }
    usageError(command.isEmpty()
                   ? u"no command given (make, check, use or where; see --help)"_s
                   : u"unknown command \""_s + command + u"\" (make, check, use or where)"_s);
}

} // namespace

int main(int argc, char *argv[]) {
    // Qt's own diagnostics (a missing runtime folder for the offscreen platform) are
    // no errors of the user's; only ours reach standard error.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtFatalMsg)
            printLine(stderr, message);
    });
    // No exception leaves: bad input is status 2, a failing system 3.
    try {
        // The preview is drawn with fonts, which need the GUI side of Qt; no window is
        // ever shown, so the offscreen platform serves with or without a display.
        bool drawsPreview = false;
        for (int i = 1; i < argc; ++i)
            drawsPreview = drawsPreview || QByteArrayView(argv[i]).startsWith("--preview");
        std::unique_ptr<QCoreApplication> app;
        if (drawsPreview) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            app = std::make_unique<QGuiApplication>(argc, argv);
        } else {
            app = std::make_unique<QCoreApplication>(argc, argv);
        }
        QCoreApplication::setApplicationName(u"vovozodo-lessons"_s);
        QCoreApplication::setApplicationVersion(QStringLiteral(VOVOZODO_VERSION));
        catchInterrupts();
        return run(QCoreApplication::arguments());
    } catch (const InputError &error) {
        printLine(stderr, u"vovozodo-lessons: "_s + error.message());
        return kBadInput;
    } catch (const SystemError &error) {
        printLine(stderr, u"vovozodo-lessons: "_s + error.message());
        return kSystemFailure;
    } catch (const Interrupted &) {
        printLine(stderr, u"vovozodo-lessons: interrupted; nothing was changed"_s);
        return kInterrupted;
    } catch (const std::bad_alloc &) {
        printLine(stderr, u"vovozodo-lessons: out of memory; nothing was changed"_s);
        return kSystemFailure;
    } catch (const std::exception &error) {
        printLine(stderr, u"vovozodo-lessons: failed ("_s + QString::fromLocal8Bit(error.what()) +
                              u"); nothing was changed"_s);
        return kSystemFailure;
    }
}
