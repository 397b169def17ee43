// vovozodo-editor: makes a lesson from a recording and its transcript or
// subtitles, with the cuts shown and corrected by eye and ear.
#include "editor/editor_window.h"

#include <QApplication>
#include <QCommandLineParser>

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
    parser.process(app);
    const QStringList files = parser.positionalArguments();

    vovozodo::EditorWindow window;
    window.show();
    if (!files.isEmpty())
        window.open(files.value(0), files.value(1));
    return QApplication::exec();
}
