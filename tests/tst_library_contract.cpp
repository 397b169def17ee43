// The player and vovozodo-lessons share one contract. Over random libraries
// (names in mixed case, a file and a folder under one name, sound files the
// player does and does not play, transcripts in every encoding), `check` gives
// each lesson the player's own verdict: its catalogue entry, whether every
// sound file opens on the player's device, whether the transcript shows as
// meant; `make --replace` takes the folder the player takes; and what `make`
// writes as a transcript reads back as written.
#include "lessons/lesson_text.h"
#include "lessons/lesson_writer.h"
#include "lessons/library_check.h"
#include "library/catalogue.h"
#include "library/install_setting.h"
#include "library/lesson_paths.h"
#include "library/transcript_encoding.h"
#include "platform/profile_reader.h"
#include "platform/system_text.h"
#include "platform/windows_path.h"
#include "playback/wave_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <vector>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

constexpr int kRounds = 30;
constexpr int kLessonsBuilt = 3;

// Chinese whose GB18030 bytes are not UTF-8, and Chinese whose GB18030 bytes
// happen to be valid UTF-8 of other characters.
const QStringList kPlainChinese = {u"你好"_s, u"谢谢你"_s, u"我叫李小红"_s, u"认识你很高兴"_s};
const QStringList kUtf8Lookalikes = {u"学习"_s, u"同学"_s, u"小学"_s, u"医学"_s};

enum class Folder { None, Lower, Upper, FileAndFolder, FileOnly, Count };
enum class Encoding { Utf8, Utf8Mark, Utf16Le, Utf16Be, Gb18030, Gb18030Lookalike, Broken, Count };

struct Sound {
    int format; // libsndfile's major and minor format, 0 for a text file
    int channels;
    int rate;
};

const std::vector<Sound> kSounds = {
    {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000},   {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 192000},
    {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100},   {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, 44100},
    {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 44100}, {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 4000},
    {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 6000},   {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 7999},
    {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 250000}, {0, 0, 0},
};

bool writeSound(const QString &path, const Sound &sound) {
    if (sound.format == 0) {
        QFile text(path);
        return text.open(QIODevice::WriteOnly) && text.write("not a sound") > 0;
    }
    SF_INFO info{};
    info.format = sound.format;
    info.channels = sound.channels;
    info.samplerate = sound.rate;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    const std::vector<short> silence(std::size_t(64 * sound.channels), 0);
    sf_writef_short(file, silence.data(), 64);
    return sf_close(file) == 0;
}

QByteArray encoded(const QString &text, Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Count:
        return text.toUtf8();
    case Encoding::Utf8Mark:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case Encoding::Utf16Le:
        return QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)
            .encode(text);
    case Encoding::Utf16Be:
        return QStringEncoder(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom)
            .encode(text);
    case Encoding::Gb18030:
    case Encoding::Gb18030Lookalike:
        return QStringEncoder("GB18030").encode(text);
    case Encoding::Broken: {
        QByteArray bytes = text.toUtf8();
        return bytes.insert(bytes.size() / 2, "\x80\xFF");
    }
    }
    return {};
}

// Opens sound file k of a lesson as the player's device does.
bool playerOpens(const QString &root, int lesson, int k) {
    platform::WindowsPathResolver resolver;
    const QString path = soundFilePath(root, lesson, k, u".WAV");
    const std::optional<QString> native = resolver.resolve(path);
    return native && resolver.isRegularFile(path) && WaveFile::open(*native) != nullptr;
}

} // namespace

class LibraryContract : public QObject {
    Q_OBJECT

private slots:
    void checkGivesThePlayersVerdict() {
        QRandomGenerator random(20261207);
        // Each verdict is met both ways, so the comparisons are not idle.
        std::array<int, 4> seen{}; // plays, does not, garbled, shows as meant
        for (int round = 0; round < kRounds; ++round) {
            QTemporaryDir dir;
            const QString root = dir.path() + u'\\';
            std::array<Folder, kChooserEntries> folders{};
            std::array<bool, kChooserEntries> garbled{};
            for (int lesson = 1; lesson <= kLessonsBuilt; ++lesson) {
                const auto folder = Folder(random.bounded(int(Folder::Count)));
                folders[std::size_t(lesson)] = folder;
                if (folder == Folder::None)
                    continue;
                const QString lower = dir.filePath(lessonFolderName(lesson));
                const QString upper = dir.filePath(lessonFolderName(lesson).toUpper());
                if (folder == Folder::FileAndFolder || folder == Folder::FileOnly)
                    QVERIFY(QFile(lower).open(QIODevice::WriteOnly));
                if (folder == Folder::FileOnly)
                    continue;
                const QString native = folder == Folder::Lower ? lower : upper;
                QVERIFY(QDir().mkpath(native));

                const auto encoding = Encoding(random.bounded(int(Encoding::Count)));
                const QStringList &pool =
                    encoding == Encoding::Gb18030Lookalike ? kUtf8Lookalikes : kPlainChinese;
                const int sentences = random.bounded(4);
                QString text = u"Lesson "_s + QString::number(lesson);
                for (int k = 0; k < sentences; ++k)
                    text += QStringList{u"\r\n"_s, u"\n"_s, u"\r"_s}[random.bounded(3)] +
                            pool[random.bounded(pool.size())];
                const QByteArray bytes = encoded(text, encoding);
                QFile script(native + u"/script.txt"_s);
                QVERIFY(script.open(QIODevice::WriteOnly));
                script.write(bytes);
                script.close();
                garbled[std::size_t(lesson)] = platform::decodeSystemText(bytes) != text;

                const int files = sentences + random.bounded(-1, 2);
                for (int k = 1; k <= files; ++k) {
                    const QString name =
                        QString::number(k) +
                        QStringList{u".wav"_s, u".WAV"_s, u".Wav"_s}[random.bounded(3)];
                    // Mostly playable files, so that whole lessons play too.
                    const Sound &sound = random.bounded(3) == 0
                                             ? kSounds[random.bounded(int(kSounds.size()))]
                                             : kSounds[random.bounded(3)];
                    QVERIFY(writeSound(native + u'/' + name, sound));
                }
            }

            const LibraryReport report = checkLibrary(dir.path(), root);
            const Catalogue catalogue = scanCatalogue(root);
            for (int lesson = 1; lesson <= kLessonCount; ++lesson) {
                const auto n = std::size_t(lesson);
                const CheckedEntry &entry = report.entries[n];
                const QString context = u"round %1, lesson %2: %3"_s.arg(round).arg(lesson).arg(
                    entry.problems.join(u"; "_s));
                QCOMPARE(entry.text, catalogue[n].text);
                QCOMPARE(entry.valid, catalogue[n].valid);
                QCOMPARE(entry.empty, folders[n] == Folder::None);
                // The player plays sentences 1.. of a valid lesson, as many as it
                // counted sound files.
                bool plays = catalogue[n].valid;
                platform::WindowsPathResolver resolver;
                for (int k = 1;
                     plays && resolver.isRegularFile(soundFilePath(root, lesson, k, u".wav")); ++k)
                    plays = playerOpens(root, lesson, k);
                QVERIFY2(entry.plays == plays, qPrintable(context));
                if (!entry.empty)
                    ++seen[plays ? 0 : 1];
                if (entry.valid)
                    ++seen[garbled[n] ? 2 : 3];
                const bool doubted = !entry.problems.filter(u"garbled"_s).isEmpty();
                QVERIFY2(doubted == garbled[n], qPrintable(context));
                if (folders[n] == Folder::Upper || folders[n] == Folder::FileAndFolder) {
                    QCOMPARE(existingLessonEntry(dir.path(), lesson),
                             lessonFolderName(lesson).toUpper());
                    QVERIFY2(entry.problems.filter(u"not a folder"_s).isEmpty(),
                             qPrintable(context));
                }
            }
        }
        for (const int count : seen)
            QVERIFY(count >= 3);
    }

    // `use` edits with the parser the player reads with: over random settings
    // files, the player's lookup then reads exactly the new value, and every
    // byte outside the old value is kept.
    void settingsEditsReadBack() {
        QRandomGenerator random(11);
        const QList<QByteArray> lines = {"[InstallSettings]",
                                         "[ installsettings ] ; note",
                                         "[Other]",
                                         "[InstallSettings",
                                         "InstallPath=/old",
                                         " installpath = \"/q\" ",
                                         "InstallPath",
                                         "; InstallPath=/c",
                                         "Key=1",
                                         "",
                                         "  ",
                                         "InstallPath=/n\0ul",
                                         "\xC4\xE3=\xBA\xC3",
                                         "\xEF\xBB\xBF[InstallSettings]"};
        const QList<QByteArray> ends = {"\r\n", "\n", "\r", ""};
        QTemporaryDir dir;
        const QString file = dir.filePath(u"settings.ini"_s);
        const auto lookUp = [&](const QByteArray &bytes) {
            QFile out(file);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) < 0)
                return std::optional<QByteArray>(QByteArray("(unwritable)"));
            out.close();
            return platform::detail::profileValueInNativeFile("InstallSettings", "InstallPath",
                                                              file);
        };
        for (int round = 0; round < 300; ++round) {
            QByteArray profile;
            for (int k = random.bounded(6); k > 0; --k)
                profile += lines[random.bounded(lines.size())] + ends[random.bounded(ends.size())];
            const std::optional<QByteArray> old = lookUp(profile);
            const QByteArray value = "/new/库 " + QByteArray::number(round);
            const QByteArray edited = withInstallPath(profile, value);
            QCOMPARE(lookUp(edited), std::optional<QByteArray>(value));
            qsizetype same = 0;
            while (same < profile.size() && same < edited.size() && profile[same] == edited[same])
                ++same;
            qsizetype tail = 0;
            while (tail < profile.size() - same && tail < edited.size() - same &&
                   profile[profile.size() - 1 - tail] == edited[edited.size() - 1 - tail])
                ++tail;
            // Only the old value (and its quotes) goes; nothing at all without one.
            QVERIFY2(profile.size() - same - tail <= (old ? old->size() + 2 : 0),
                     profile.toPercentEncoding().constData());
        }
    }

    // What `make` writes reads back as the text it meant, whichever characters
    // the sentences hold; GB18030 is kept wherever it reads back.
    void transcriptsReadBackAsWritten() {
        QRandomGenerator random(7);
        const QStringList pool = kPlainChinese + kUtf8Lookalikes + QStringList{u"Ni hao"_s};
        for (int round = 0; round < 200; ++round) {
            QStringList sentences;
            for (int k = random.bounded(1, 6); k > 0; --k)
                sentences.append(pool[random.bounded(pool.size())]);
            const QString text = u"Title\r\n"_s + sentences.join(u"\r\n"_s);
            for (const TextEncoding encoding : {TextEncoding::Gb18030, TextEncoding::Utf8}) {
                const QByteArray bytes = encodeLessonText(text, encoding);
                QCOMPARE(platform::decodeSystemText(bytes), text);
                QVERIFY2(transcriptDoubt(bytes).isEmpty(), qPrintable(text));
                const bool marked = bytes.startsWith("\xEF\xBB\xBF");
                QCOMPARE(marked, encoding == TextEncoding::Gb18030 &&
                                     platform::decodeSystemText(QByteArray(
                                         QStringEncoder("GB18030").encode(text))) != text);
                QCOMPARE(marked, encoding == TextEncoding::Gb18030 &&
                                     scriptNeedsMark(u"Title"_s, sentences));
            }
        }
    }
};

QTEST_GUILESS_MAIN(LibraryContract)
#include "tst_library_contract.moc"
