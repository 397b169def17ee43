// vovozodo-editor: makes a lesson from a recording and its transcript or
// subtitles, with the cuts shown and corrected by eye and ear.
#include "editor/editor_window.h"
#include "editor/waveform_view.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"vovozodo-editor"_s);
    QApplication::setApplicationDisplayName(u"Vovozodo Lesson Maker"_s);
    QApplication::setApplicationVersion(QStringLiteral(VOVOZODO_VERSION));
    QApplication::setDesktopFileName(u"vovozodo-editor"_s);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Makes a lesson for the Vovozodo player from a recording and its transcript or "
        u"subtitles, with the cuts shown on the waveform to check and correct."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(u"RECORDING"_s, u"WAV, FLAC, Ogg, MP3, M4A or a video's sound."_s,
                                 u"[RECORDING]"_s);
    parser.addPositionalArgument(
        u"TEXT"_s, u"Plain transcript, SRT, WebVTT, LRC, ASS or an Audacity label track."_s,
        u"[TEXT]"_s);
    // For the README: draws the window once the lesson is proposed, and exits.
    QCommandLineOption screenshot(u"screenshot"_s, u"Save a picture of the window."_s,
                                  u"FILE.png"_s);
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(screenshot);
    parser.process(app);
    const QStringList files = parser.positionalArguments();

    vovozodo::EditorWindow window;
    window.show();
    if (!files.isEmpty())
        window.open(files.value(0), files.value(1));
    if (parser.isSet(screenshot)) {
        QObject::connect(&window.document(), &vovozodo::LessonDocument::changed, &window, [&] {
            if (window.document().isEmpty())
                return;
            window.waveform()->zoom(3, 0);
            window.waveform()->selectCut(1);
            QTimer::singleShot(200, &window, [&] {
                const bool saved = window.grab().save(parser.value(screenshot));
                QApplication::exit(saved ? 0 : 1);
            });
        });
    }
    return QApplication::exec();
}
