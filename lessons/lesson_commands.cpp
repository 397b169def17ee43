#include "lessons/lesson_commands.h"

#include "lessons/input_error.h"
#include "lessons/lesson_text.h"
#include "lessons/library_check.h"
#include "lessons/make_lesson.h"
#include "lessons/player_settings.h"
#include "lessons/tempo.h"
#include "library/lesson_paths.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <unistd.h>

namespace vovozodo::lesson_commands {

using namespace Qt::StringLiterals;

void printLine(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

[[noreturn]] void usageError(const QString &message) {
    throw InputError(message);
}

namespace {

// Parses the command's own options; --help prints them and exits.
void parseOrExit(QCommandLineParser &parser, const QStringList &arguments) {
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(arguments))
        usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(kDone);
}

} // namespace

int runMake(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Writes lesson N (1 to 15) of LIBRARY as LIBRARY/t_N: "
                                     u"script.txt and one sound file per sentence."_s);
    parser.addPositionalArgument(u"make"_s, u"The command."_s);
    parser.addPositionalArgument(u"LIBRARY"_s, u"The lesson library folder."_s);
    parser.addPositionalArgument(u"N"_s, u"The lesson number, 1 to 15."_s);
    const QCommandLineOption audio(
        u"audio"_s, u"The recording (WAV, FLAC, Ogg, MP3, M4A, or a video's sound)."_s, u"FILE"_s);
    const QCommandLineOption transcript(
        u"transcript"_s,
        u"Plain text, one sentence per line; the cuts are found in the recording."_s, u"FILE"_s);
    const QCommandLineOption subtitles(
        u"subtitles"_s,
        u"SRT, WebVTT, LRC, ASS or an Audacity label track; one sentence per cue."_s, u"FILE"_s);
    const QCommandLineOption title(
        u"title"_s, u"The lesson's title (default: the recording's name)."_s, u"TEXT"_s);
    const QCommandLineOption replace(
        u"replace"_s, u"Replace an existing lesson N, once the new one is complete."_s);
    const QCommandLineOption encoding(u"encoding"_s, u"script.txt in gb18030 (default) or utf-8."_s,
                                      u"NAME"_s, u"gb18030"_s);
    const QCommandLineOption textEncoding(
        u"text-encoding"_s,
        u"Read the transcript or subtitles as utf-8 or gb18030 instead of guessing."_s, u"NAME"_s);
    const QCommandLineOption shift(
        u"shift"_s,
        u"Move every subtitle time by MS milliseconds (negative: earlier) instead of finding "
        u"the offset from the recording."_s,
        u"MS"_s);
    const QCommandLineOption labels(
        u"labels"_s, u"Also write the cuts as an Audacity label track."_s, u"FILE"_s);
    const QCommandLineOption preview(
        u"preview"_s,
        u"Also draw the waveform with the cuts as a picture (PNG or JPEG, by its name)."_s,
        u"FILE.png"_s);
    const QCommandLineOption normalize(
        u"normalize"_s,
        u"Give every clip one gain that brings the recording to about -18 LUFS, peaks under -1 dBTP."_s);
    const QCommandLineOption tempo(
        u"tempo"_s,
        u"Write the clips slowed to 90 or 75 % of the recorded speed, pitch kept, for slower "
        u"practice (100: as recorded, the default). The label track and the preview keep the "
        u"recording's own times."_s,
        u"PERCENT"_s);
    const QCommandLineOption quiet(u"quiet"_s, u"Print nothing but errors."_s);
    parser.addOptions({audio, transcript, subtitles, title, replace, encoding, textEncoding, shift,
                       labels, preview, normalize, tempo, quiet});
    parseOrExit(parser, arguments);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 3)
        usageError(u"make: expected LIBRARY and N (see --help)"_s);
    MakeOptions options;
    options.library = positional[1];
    bool numeric = false;
    options.lesson = positional[2].toInt(&numeric);
    if (!numeric || !isLessonNumber(options.lesson))
        usageError(u"N: \""_s + positional[2] + u"\" is no lesson number (1 to 15)"_s);
    if (!parser.isSet(audio))
        usageError(u"make: --audio FILE is missing"_s);
    if (parser.isSet(transcript) == parser.isSet(subtitles))
        usageError(u"make: give either --transcript FILE or --subtitles FILE"_s);
    options.audio = parser.value(audio);
    options.transcript = parser.value(transcript);
    options.subtitles = parser.value(subtitles);
    options.title = parser.value(title).simplified();
    options.replace = parser.isSet(replace);
    options.scriptEncoding = textEncodingNamed(parser.value(encoding), u"--encoding"_s);
    if (parser.isSet(textEncoding))
        options.textEncoding = textEncodingNamed(parser.value(textEncoding), u"--text-encoding"_s);
    if (parser.isSet(shift)) {
        bool ok = false;
        const qint64 shiftMs = parser.value(shift).toLongLong(&ok);
        options.shiftMs = shiftMs;
        if (!ok || !parser.isSet(subtitles) || qAbs(shiftMs) > 86400000)
            usageError(u"--shift: expects whole milliseconds (within a day), with --subtitles"_s);
    }
    options.labels = parser.value(labels);
    options.preview = parser.value(preview);
    options.normalize = parser.isSet(normalize);
    if (parser.isSet(tempo)) {
        // Only the speeds learners practise at: much slower, stretched speech echoes.
        bool ok = false;
        const int percent = parser.value(tempo).toInt(&ok);
        if (!ok || (percent != 100 &&
                    std::ranges::find(kSlowTempoPercents, percent) == std::end(kSlowTempoPercents)))
            usageError(u"--tempo: expects 90 or 75 (percent of the recorded speed), or 100"_s);
        options.tempo = percent / 100.0;
    }
    options.quiet = parser.isSet(quiet);

    QStringList notes;
    const MadeLesson made = makeLesson(options, notes);
    if (!options.quiet) {
        for (const QString &note : std::as_const(notes))
            printLine(stderr, u"vovozodo-lessons: note: "_s + note);
        if (isatty(STDERR_FILENO))
            printLine(stderr, u"Wrote %1: %2 sentences, %3 s of sound"_s.arg(made.folder)
                                  .arg(made.sentences)
                                  .arg(made.seconds, 0, 'f', 1));
    }
    return kDone;
}

int runCheck(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Lists the 15 lessons as the player would, says why "
                                     u"each error entry is one and which sound files it would "
                                     u"play as silence. Exit status 1 when a lesson that is "
                                     u"there is broken; empty slots are no fault."_s);
    parser.addPositionalArgument(u"check"_s, u"The command."_s);
    parser.addPositionalArgument(
        u"LIBRARY"_s, u"The library (default: the one the player opens)."_s, u"[LIBRARY]"_s);
    const QCommandLineOption json(u"json"_s, u"Print the same as JSON."_s);
    parser.addOption(json);
    parseOrExit(parser, arguments);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 2)
        usageError(u"check: expected at most one LIBRARY"_s);

    LibraryReport report;
    if (positional.size() == 2) {
        const QString library = QDir(positional[1]).absolutePath();
        if (!QFileInfo(library).isDir())
            usageError(library + u": no such folder"_s);
        // The player builds lesson paths with backslashes, so a folder whose own
        // name holds one (a\b) cannot be written into them; from inside it,
        // the player's paths are relative, as with an empty library value.
        if (!QDir::setCurrent(library))
            usageError(library + u": cannot enter the folder"_s);
        report = checkLibrary(library, QString());
    } else {
        const PlayerSettings settings = readPlayerSettings();
        report = checkLibrary(settings.library.isEmpty() ? settings.value : settings.library,
                              settings.installRoot);
        if (!settings.fileExists)
            report.problems.append(
                settings.file +
                u": no settings file, so the player lists every lesson as not found"_s);
        else if (settings.library.isEmpty())
            report.problems.append(u"\""_s + settings.value + u"\" (from "_s + settings.file +
                                   u") is no folder"_s);
    }
    const QByteArray out = parser.isSet(json) ? reportJson(report) : reportText(report).toUtf8();
    std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout);
    return report.ok() ? kDone : kProblemsFound;
}

int runUse(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Points your own settings file at LIBRARY, so the player "
                                     u"opens it. The player itself writes nothing."_s);
    parser.addPositionalArgument(u"use"_s, u"The command."_s);
    parser.addPositionalArgument(u"LIBRARY"_s, u"The lesson library folder."_s);
    parseOrExit(parser, arguments);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2)
        usageError(u"use: expected one LIBRARY"_s);
    const QString library = QDir::cleanPath(QDir(positional[1]).absolutePath());
    const QString file = usePlayerLibrary(library);
    printLine(stdout, u"The player opens "_s + library + u" (set in "_s + file + u')');
    return kDone;
}

int runWhere(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Prints the settings file the player reads and the library it opens."_s);
    parser.addPositionalArgument(u"where"_s, u"The command."_s);
    parseOrExit(parser, arguments);
    if (parser.positionalArguments().size() != 1)
        usageError(u"where: takes no arguments"_s);
    const PlayerSettings settings = readPlayerSettings();
    printLine(stdout, u"Settings file: "_s + settings.file +
                          (settings.fileExists ? QString() : u" (missing)"_s));
    if (!settings.library.isEmpty())
        printLine(stdout, u"Library: "_s + settings.library);
    else
        printLine(stdout, u"Library: none (\""_s + settings.value + u"\" is no folder)"_s);
    return kDone;
}

} // namespace vovozodo::lesson_commands
