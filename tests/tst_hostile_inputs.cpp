// Damaged, odd or swapped-out inputs: sound files, transcripts, the settings
// file and the library folder itself. Nothing may crash, hang or be written;
// whatever cannot be used is treated like a file that is not there.
#include "handles/sndfile_handles.h"
#include "library/install_root.h"
#include "platform/text_file.h"
#include "platform/windows_directory.h"
#include "playback/playback_services.h"
#include "playback/wave_audio_device.h"
#include "startup/background.h"
#include "support/done_log.h"
#include "support/fake_playback.h"
#include "support/lesson_folder.h"
#include "support/main_window_rig.h"
#include "support/manual_timer.h"
#include "support/modal_answerer.h"
#include "support/pump_until.h"
#include "support/sound_server.h"
#include "support/tone.h"
#include "support/unplayable_waves.h"
#include "support/unprivileged.h"
#include "support/windows_folder.h"
#include "ui/begin1.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

using namespace vovozodo;

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString kNotFound = u". Error: The script file has not been found."_s;

// ---- Sound files ----------------------------------------------------------

// Half a second of a tone in one of libsndfile's wave encodings. Float files
// get a NaN and both infinities among their samples, written as they are.
bool writeEncodedWave(const QString &path, int subtype, bool nonFinite = false) {
    SF_INFO info{};
    info.samplerate = 8000; // GSM 6.10 knows no other rate
    info.channels = 1;
    info.format = SF_FORMAT_WAV | subtype;
    UniqueSndfile file(sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info));
    if (!file)
        return false;
    std::vector<float> samples(4000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.4f * std::sin(float(i) * 0.35f);
    bool ok = true;
    if (nonFinite) {
        samples[100] = std::numeric_limits<float>::quiet_NaN();
        samples[200] = std::numeric_limits<float>::infinity();
        samples[300] = -std::numeric_limits<float>::infinity();
        const auto bytes = sf_count_t(samples.size() * sizeof(float));
        ok = sf_write_raw(file.get(), samples.data(), bytes) == bytes;
    } else {
        ok = sf_writef_float(file.get(), samples.data(), sf_count_t(samples.size())) ==
             sf_count_t(samples.size());
    }
    return closeChecked(file) && ok;
}

bool makeFifo(const QString &path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// The real wave-audio device with timers the test fires by hand: plays are
// heard on the sound server, waits take no time.
class RealDevicePlayback {
public:
    PlaybackServices services() {
        return {
            [this] {
                auto device = std::make_unique<WaveAudioDevice>();
                m_device = device.get();
                m_log = std::make_unique<DoneLog>(*device);
                return std::unique_ptr<SoundDevice>(std::move(device));
            },
            [this] {
                auto timer = std::make_unique<ManualTimer>();
                m_timers << timer.get();
                return std::unique_ptr<Timer>(std::move(timer));
            },
        };
    }
    WaveAudioDevice *device() const { return m_device; }
    const DoneLog &log() const { return *m_log; }
    // Created in this order by the start-up window (if any), then the main window.
    ManualTimer *timer(int index) const { return m_timers.value(index); }
    int timerCount() const { return int(m_timers.size()); }

private:
    WaveAudioDevice *m_device = nullptr;
    std::unique_ptr<DoneLog> m_log;
    QList<ManualTimer *> m_timers;
};

// A main window over a lesson library, playing through the real device.
struct RealDeviceWindow {
    LessonLibrary library;
    RealDevicePlayback playback;
    std::unique_ptr<Begin1> window;

    ~RealDeviceWindow() { InstallRoot.clear(); }
    void open() {
        InstallRoot = library.root();
        window = std::make_unique<Begin1>(playback.services());
    }
    QComboBox *combo(const char *name) const {
        return window->findChild<QComboBox *>(QLatin1StringView(name));
    }
    QPushButton *playbackButton() const { return window->findChild<QPushButton *>(u"Command5"_s); }
    ManualTimer &repeatWait() const { return *playback.timer(1); }
    ManualTimer &advanceWait() const { return *playback.timer(0); }
};

// ---- Settings -------------------------------------------------------------

} // namespace

class HostileInputsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { InstallRoot.clear(); }

    void soundFiles_data();
    void soundFiles();
    void unseekableFileRewrittenBeforeItsRepeat();
    void soundFileChangedBetweenScanAndPlay_data();
    void soundFileChangedBetweenScanAndPlay();
    void unreadableFilesAreRefused();

    void transcripts_data();
    void transcripts();
    void transcriptsThatAreNoTextFiles_data();
    void transcriptsThatAreNoTextFiles();

    void settingsFiles_data();
    void settingsFiles();

    void librariesWithOddNamesLoadAndPlay_data();
    void librariesWithOddNamesLoadAndPlay();
    void libraryVanishesWhileRunning();
};

void HostileInputsTest::initTestCase() {
    if (isRerunAsNobody())
        return;
    REQUIRE_SOUND_SERVER();
}

// ---- Sound files ----------------------------------------------------------

void HostileInputsTest::soundFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("plays");

    for (const UnplayableWave &wave : unplayableWaves())
        QTest::newRow(qPrintable(wave.row)) << wave.kind << false;
    // What is there is played.
    QTest::newRow("LIST chunk claiming 4 GiB after the data") << u"hugeListAfter"_s << true;
    QTest::newRow("8 MiB LIST chunk before the data") << u"bigList"_s << true;
    QTest::newRow("data chunk claiming 4 GiB") << u"dataHuge"_s << true;
    // The encodings wave files come in: every one libsndfile decodes is played.
    QTest::newRow("IMA ADPCM") << u"ima"_s << true;
    QTest::newRow("MS ADPCM") << u"msadpcm"_s << true;
    QTest::newRow("GSM 6.10") << u"gsm"_s << true;
    QTest::newRow("u-law") << u"ulaw"_s << true;
    QTest::newRow("A-law") << u"alaw"_s << true;
    QTest::newRow("32-bit float") << u"float"_s << true;
    QTest::newRow("32-bit float with NaN and infinities") << u"floatNaN"_s << true;
    QTest::newRow("64-bit float") << u"double"_s << true;
}

void HostileInputsTest::soundFiles() {
    QFETCH(QString, kind);
    QFETCH(bool, plays);

    LessonLibrary library;
    QVERIFY(library.isValid());
    QVERIFY(QDir().mkpath(library.lessonFolder(1)));
    const QString native = library.lessonFolder(1) + u"/1.wav"_s;

    WaveHeader h;
    bool made = true;
    if (!plays) {
        made = writeUnplayableWave(native, kind);
    } else if (kind == u"hugeListAfter") {
        h.afterData = listChunk(0xFFFFFFF0u, 64);
        made = writeFile(native, waveBytes(h));
    } else if (kind == u"bigList") {
        h.beforeData = listChunk(4 + 8 * 1024 * 1024, 8 * 1024 * 1024);
        made = writeFile(native, waveBytes(h));
    } else if (kind == u"dataHuge") {
        h.dataBytes = 0xFFFFFFFFu;
        h.dataHeld = 4000;
        made = writeFile(native, waveBytes(h));
    } else {
        const QHash<QString, int> subtypes{
            {u"ima"_s, SF_FORMAT_IMA_ADPCM},  {u"msadpcm"_s, SF_FORMAT_MS_ADPCM},
            {u"gsm"_s, SF_FORMAT_GSM610},     {u"ulaw"_s, SF_FORMAT_ULAW},
            {u"alaw"_s, SF_FORMAT_ALAW},      {u"float"_s, SF_FORMAT_FLOAT},
            {u"floatNaN"_s, SF_FORMAT_FLOAT}, {u"double"_s, SF_FORMAT_DOUBLE}};
        QVERIFY(subtypes.contains(kind));
        made = writeEncodedWave(native, subtypes.value(kind), kind == u"floatNaN");
    }
    QVERIFY2(made, qPrintable(native));

    WaveAudioDevice device;
    DoneLog log(device);
    QElapsedTimer clock;
    clock.start();
    openAndPlay(device, library.root() + u"T_1\\1.WAV"_s);
    // Bounds a hang (a FIFO or a device read to its end), not a speed.
    QVERIFY2(clock.elapsed() < 10'000, "Open and Play must not block");

    if (plays) {
        QVERIFY(device.length() > 0);
        QVERIFY(pumpUntil([&] { return !log.codes.isEmpty(); }, 10s));
        QCOMPARE(log.codes, QList<qint16>{SoundDevice::Successful});
        QCOMPARE(device.position(), device.length());
        // A repetition rewinds and plays it again in full.
        device.rewind();
        QCOMPARE(device.position(), 0);
        device.play();
        QVERIFY(pumpUntil([&] { return log.codes.size() == 2; }, 10s));
        QCOMPARE(log.successes(), 2);
        return;
    }
    QCOMPARE(device.length(), 0);
    QCOMPARE(device.position(), 0);
    device.rewind();
    device.play();
    pumpFor(300ms);
    QCOMPARE(log.successes(), 0);

    // The refusal leaves the device usable.
    QVERIFY(writeTone(library.lessonFolder(1) + u"/2.wav"_s, 440, 100));
    openAndPlay(device, library.root() + u"t_1\\2.WAV"_s);
    QVERIFY(pumpUntil([&] { return log.successes() == 1; }, 10s));
}

// A GSM 6.10 recording is rewound by decoding it afresh; if the file has been
// rewritten in place meanwhile with another layout, the repeat plays nothing.
void HostileInputsTest::unseekableFileRewrittenBeforeItsRepeat() {
    LessonLibrary library;
    QVERIFY(QDir().mkpath(library.lessonFolder(1)));
    const QString native = library.lessonFolder(1) + u"/1.wav"_s;
    QVERIFY(writeEncodedWave(native, SF_FORMAT_GSM610));
    WaveAudioDevice device;
    DoneLog log(device);
    openAndPlay(device, library.root() + u"t_1\\1.wav"_s);
    QVERIFY(pumpUntil([&] { return log.successes() == 1; }, 10s));

    // Same file, same descriptor: the content changes under the open device.
    QFile file(native);
    QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
    WaveHeader stereo;
    stereo.channels = 2;
    stereo.dataBytes = 8000 * 4;
    const QByteArray bytes = waveBytes(stereo);
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    device.rewind();
    device.play();
    pumpFor(500ms);
    QCOMPARE(log.successes(), 1);
}

void HostileInputsTest::soundFileChangedBetweenScanAndPlay_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("deleted") << u"delete"_s << false;
    QTest::newRow("truncated to nothing") << u"truncate0"_s << false;
    QTest::newRow("replaced by a FIFO") << u"fifo"_s << false;
    QTest::newRow("replaced by a folder") << u"folder"_s << false;
    // A recording cut to its header holds nothing; playing it ends at once.
    QTest::newRow("truncated to its header") << u"truncate44"_s << true;
    QTest::newRow("truncated in its data") << u"truncateHalf"_s << true;
}

// The catalogue saw a good lesson; by the time sentence 1 is played its sound
// file is gone or damaged. Playback goes on as far as the file allows.
void HostileInputsTest::soundFileChangedBetweenScanAndPlay() {
    QFETCH(QString, change);
    QFETCH(bool, succeeds);

    RealDeviceWindow rig;
    QVERIFY(rig.library.writeTranscript(1, {u"Title"_s, u"one"_s}));
    QVERIFY(rig.library.writeSoundFiles(1, 1, 1, u".wav"_s, true, 400));
    rig.open();
    QVERIFY(rig.window->lessonValid(1));
    rig.combo("Combo1")->setCurrentIndex(1);
    QCOMPARE(rig.window->loadedLesson(), 1);

    const QString sound = rig.library.lessonFolder(1) + u"/1.wav"_s;
    if (change == u"delete") {
        QVERIFY(QFile::remove(sound));
    } else if (change == u"truncate0") {
        QVERIFY(QFile::resize(sound, 0));
    } else if (change == u"truncate44") {
        QVERIFY(QFile::resize(sound, 44));
    } else if (change == u"truncateHalf") {
        QVERIFY(QFile::resize(sound, 44 + 44100 * 2 / 5));
    } else if (change == u"fifo") {
        QVERIFY(QFile::remove(sound));
        QVERIFY(makeFifo(sound));
    } else if (change == u"folder") {
        QVERIFY(QFile::remove(sound));
        QVERIFY(QDir().mkdir(sound));
    }

    QElapsedTimer clock;
    clock.start();
    rig.playbackButton()->click();
    QVERIFY2(clock.elapsed() < 10'000, "Playback must not block"); // a hang, not a speed
    QCOMPARE(rig.window->cycle().currentSentence, 1);
    if (succeeds) {
        QVERIFY(pumpUntil([&] { return rig.playback.log().successes() == 1; }, 10s));
        QVERIFY(rig.repeatWait().isEnabled());
    } else {
        pumpFor(600ms);
        QCOMPARE(rig.playback.log().successes(), 0);
        QCOMPARE(rig.playback.device()->length(), 0);
        // The cycle waits on this sentence; Playback tries it again, harmlessly.
        QVERIFY(!rig.repeatWait().isEnabled());
        QVERIFY(!rig.advanceWait().isEnabled());
        rig.playbackButton()->click();
        pumpFor(200ms);
        QCOMPARE(rig.playback.log().successes(), 0);
    }
}

// A sound file and a transcript the user may not read are refused like
// missing ones. Permissions do not bind root, so as root the check runs in a
// child process as user nobody.
void HostileInputsTest::unreadableFilesAreRefused() {
    if (permissionsAreNotEnforced()) {
        rerunAsNobody("unreadableFilesAreRefused");
        return;
    }
    LessonLibrary library;
    QVERIFY(library.isValid());
    QVERIFY(library.writeTranscript(1, {u"Title"_s, u"one"_s}));
    QVERIFY(library.writeSoundFiles(1, 1, 1, u".wav"_s, true, 200));
    QVERIFY(library.writeLesson(2, u"Two"_s, {u"x"_s}));
    const QString sound = library.lessonFolder(1) + u"/1.wav"_s;
    const QString script = library.lessonFolder(2) + u"/script.txt"_s;
    QVERIFY(QFile::setPermissions(sound, QFileDevice::WriteOwner));
    QVERIFY(QFile::setPermissions(script, QFileDevice::WriteOwner));
    QFile probe(sound);
    QVERIFY2(!probe.open(QIODevice::ReadOnly), "permissions are not enforced here");

    WaveAudioDevice device;
    DoneLog log(device);
    openAndPlay(device, library.root() + u"t_1\\1.WAV"_s);
    QCOMPARE(device.length(), 0);
    pumpFor(200ms);
    QCOMPARE(log.successes(), 0);

    QVERIFY(!platform::readTextLines(library.root() + u"t_2\\script.txt"_s));
    MainWindowRig rig;
    InstallRoot = library.root();
    Begin1 window(rig.playback.services());
    QCOMPARE(window.findChild<QComboBox *>(u"Combo1"_s)->itemText(2), u"2"_s + kNotFound);
    QVERIFY(!window.lessonValid(2));
    QVERIFY(window.lessonValid(1)); // a sound file is only looked for, not read
}

// ---- Transcripts ----------------------------------------------------------

void HostileInputsTest::transcripts_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("entry");         // the lesson chooser's entry 1
    QTest::addColumn<QStringList>("sentences"); // after the lesson is loaded

    QTest::newRow("UTF-8 without BOM")
        << "\xE7\xAC\xAC\xE4\xB8\x80\xE8\xAF\xBE\r\n\xE4\xBD\xA0\xE5\xA5\xBD\r\n"_ba
        << u"1. 第一课"_s << QStringList{u"你好"_s};
    QTest::newRow("UTF-8 with BOM")
        << "\xEF\xBB\xBF\xE7\xAC\xAC\xE4\xB8\x80\xE8\xAF\xBE\r\n\xE4\xBD\xA0\xE5\xA5\xBD"_ba
        << u"1. 第一课"_s << QStringList{u"你好"_s};
    // Not UTF-8, so read as GB18030; the bytes no character has become U+FFFD.
    QTest::newRow("invalid UTF-8")
        << "T\xFF\r\n\xC3\x28x\r\nok"_ba << u"1. T\uFFFD"_s << QStringList{u"\uFFFD(x"_s, u"ok"_s};
    QTest::newRow("invalid GBK") << "T\r\n\xC4\xE3\x81\x20\xFF\r\nb"_ba << u"1. T"_s
                                 << QStringList{u"你\uFFFD \uFFFD"_s, u"b"_s};
    QTest::newRow("lone GBK lead byte at the end")
        << "T\r\na\r\n\xC4\xE3\xC4"_ba << u"1. T"_s << QStringList{u"a"_s, u"你\uFFFD"_s};
    QTest::newRow("NUL bytes") << QByteArray("T\0x\r\nab\0cd\r\n\0\r\n", 15)
                               << u"1. T"_s + QChar(0) + u"x"_s
                               << QStringList{u"ab"_s + QChar(0) + u"cd"_s, QString(QChar(0))};
    QTest::newRow("bare LF") << "T\none\n\ntwo\n"_ba << u"1. T"_s
                             << QStringList{u"one"_s, u"two"_s};
    QTest::newRow("bare CR") << "T\rone\r\rtwo"_ba << u"1. T"_s << QStringList{u"one"_s, u"two"_s};
    QTest::newRow("empty file") << QByteArray() << u"1. "_s << QStringList();
    QTest::newRow("10 MB single line")
        << QByteArray(10'000'000, 'a') << u"1. "_s + QString(10'000'000, u'a') << QStringList();
    QTest::newRow("10 MB sentence line") << "T\r\n"_ba + QByteArray(10'000'000, 'b') << u"1. T"_s
                                         << QStringList{QString(10'000'000, u'b')};
}

void HostileInputsTest::transcripts() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, entry);
    QFETCH(QStringList, sentences);

    MainWindowRig rig;
    QVERIFY(rig.library.writeRaw(1, u"script.txt"_s, bytes));
    QVERIFY(rig.library.writeSoundFiles(1, 1, int(sentences.size())));
    rig.open();
    QVERIFY(rig.window().lessonValid(1));
    QVERIFY(rig.combo("Combo1")->itemText(1) == entry);

    rig.combo("Combo1")->setCurrentIndex(1);
    QCOMPARE(rig.window().loadedLesson(), 1);
    QVERIFY(rig.window().scriptLines() == sentences);
    QCOMPARE(rig.combo("Combo4")->count(), sentences.size() + 1);
    if (sentences.isEmpty())
        return;

    // Sentence 1 plays and is the selected text.
    rig.button("Command5")->click();
    QCOMPARE(rig.device().fileName, rig.library.root() + u"t_1\\1.WAV"_s);
    QVERIFY(rig.device().isPlaying());
    QVERIFY(rig.selectedText() == sentences.first());
}

void HostileInputsTest::transcriptsThatAreNoTextFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << u"fifo"_s;
    QTest::newRow("folder") << u"folder"_s;
    QTest::newRow("link to /dev/zero") << u"zero"_s;
    QTest::newRow("sparse file over 16 MiB") << u"huge"_s;
    QTest::newRow("dangling link") << u"dangling"_s;
}

// Such a transcript is listed as not found, and when one takes the place of a
// good transcript after the scan, choosing that lesson warns and changes nothing.
void HostileInputsTest::transcriptsThatAreNoTextFiles() {
    QFETCH(QString, kind);
    auto make = [&](const LessonLibrary &library, int lesson) {
        const QString path = library.lessonFolder(lesson) + u"/script.txt"_s;
        QFile::remove(path);
        if (kind == u"fifo")
            return makeFifo(path);
        if (kind == u"folder")
            return QDir().mkpath(path);
        if (kind == u"zero")
            return QFile::link(u"/dev/zero"_s, path);
        if (kind == u"dangling")
            return QFile::link(library.path() + u"/nowhere"_s, path);
        return writeFile(path, "T\r\nx\r\n") &&
               QFile::resize(path, platform::kMaxTextFileBytes + 1);
    };

    {
        MainWindowRig rig;
        QVERIFY(rig.library.writeLesson(1, u"One"_s, {u"a"_s}));
        QVERIFY(make(rig.library, 1));
        QElapsedTimer clock;
        clock.start();
        rig.open();
        QVERIFY2(clock.elapsed() < 20'000, "the scan must not block"); // a hang, not a speed
        QCOMPARE(rig.combo("Combo1")->itemText(1), u"1"_s + kNotFound);
        QVERIFY(!rig.window().lessonValid(1));
    }

    MainWindowRig rig;
    QVERIFY(rig.library.writeLesson(1, u"One"_s, {u"a"_s}));
    QVERIFY(rig.library.writeLesson(2, u"Two"_s, {u"b"_s}));
    rig.open();
    rig.combo("Combo1")->setCurrentIndex(1);
    rig.button("Command5")->click();
    QVERIFY(make(rig.library, 2));
    rig.device().log.clear();

    ModalAnswerer answer(QMessageBox::Ok);
    rig.combo("Combo1")->setCurrentIndex(2);
    QVERIFY(answer.seen().shown);
    QCOMPARE(answer.seen().text, u"The file 'script.txt' doesn't exist!"_s);
    QCOMPARE(rig.combo("Combo1")->currentIndex(), 1);
    QCOMPARE(rig.window().loadedLesson(), 1);
    QCOMPARE(rig.window().scriptLines(), QStringList{u"a"_s});
    QVERIFY(rig.device().log.isEmpty());
    QVERIFY(rig.device().isPlaying());
}

// ---- Settings -------------------------------------------------------------

void HostileInputsTest::settingsFiles_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("root");
    const QByteArray head = "[InstallSettings]\r\n";
    QTest::newRow("section repeated, key in the first")
        << head + "InstallPath=/first\r\n[Other]\r\nA=1\r\n" + head + "InstallPath=/second\r\n"
        << u"/first\\"_s;
    QTest::newRow("section repeated, key only in the second")
        << head + "A=1\r\n" + head + "InstallPath=/second\r\n"
        << u"empty\\"_s;
    QByteArray binary;
    for (int i = 0; i < 65536; ++i)
        binary += char((i * 131 + i / 256) % 256);
    QTest::newRow("binary file") << binary << u"empty\\"_s;
    QTest::newRow("NUL inside the value")
        << head + QByteArray("InstallPath=/a\0/b\r\n", 20) << u"/a\\"_s;
}

void HostileInputsTest::settingsFiles() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, root);
    WindowsFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.writeSettings(settings));
    FakePlayback playback;
    Background background(directoryQuery(QFile::encodeName(folder.path())), playback.services());
    QCOMPARE(InstallRoot, root);
}

// ---- Library folders ------------------------------------------------------

void HostileInputsTest::librariesWithOddNamesLoadAndPlay_data() {
    QTest::addColumn<QString>("libraryName");
    QTest::addColumn<QString>("lessonFolder");
    QTest::addColumn<QString>("scriptName");
    QTest::addColumn<QString>("soundName");
    QTest::newRow("spaces and Chinese in the library path")
        << u"我的 课程 2004"_s << u"t_1"_s << u"script.txt"_s << u"1.wav"_s;
    QTest::newRow("folder T_1, SCRIPT.TXT, 1.Wav")
        << u"lessons"_s << u"T_1"_s << u"SCRIPT.TXT"_s << u"1.Wav"_s;
}

// From the settings file to a play on the real device: start-up, the scan,
// the lesson load and sentence 1 heard to its end.
void HostileInputsTest::librariesWithOddNamesLoadAndPlay() {
    QFETCH(QString, libraryName);
    QFETCH(QString, lessonFolder);
    QFETCH(QString, scriptName);
    QFETCH(QString, soundName);

    WindowsFolder folder;
    QVERIFY(folder.isValid());
    const QString library = folder.path() + u'/' + libraryName;
    const QString lesson = library + u'/' + lessonFolder;
    QVERIFY(QDir().mkpath(lesson));
    QVERIFY(writeFile(lesson + u'/' + scriptName, u"标题 一\r\n你好。\r\n"_s.toUtf8()));
    QVERIFY(writeTone(lesson + u'/' + soundName, 440, 300));
    QVERIFY(folder.writeSettings("[InstallSettings]\r\nInstallPath=" + library.toUtf8() + "\r\n"));

    RealDevicePlayback playback;
    Background background(directoryQuery(QFile::encodeName(folder.path())), playback.services());
    QCOMPARE(InstallRoot, library + u'\\');
    ManualTimer *startup = playback.timer(0);
    for (int tick = 1; tick <= 10; ++tick)
        QVERIFY(startup->fire());
    Begin1 *main = background.mainWindow();
    QVERIFY(main);
    auto *lessons = main->findChild<QComboBox *>(u"Combo1"_s);
    QCOMPARE(lessons->itemText(1), u"1. 标题 一"_s);

    lessons->setCurrentIndex(1);
    QCOMPARE(main->scriptLines(), QStringList{u"你好。"_s});
    main->findChild<QPushButton *>(u"Command5"_s)->click();
    QVERIFY(playback.device()->length() >= 299);
    QVERIFY(pumpUntil([&] { return playback.log().successes() == 1; }, 10s));
    QVERIFY(playback.timer(2)->isEnabled()); // the main window's repeat wait
}

// The library is removed while a lesson is loaded: choosing another lesson
// warns, and playing a sentence of the loaded one plays nothing.
void HostileInputsTest::libraryVanishesWhileRunning() {
    RealDeviceWindow rig;
    QVERIFY(rig.library.writeTranscript(1, {u"One"_s, u"a"_s, u"b"_s}));
    QVERIFY(rig.library.writeSoundFiles(1, 1, 2, u".wav"_s, true, 200));
    QVERIFY(rig.library.writeLesson(2, u"Two"_s, {u"c"_s}));
    rig.open();
    rig.combo("Combo1")->setCurrentIndex(1);
    QCOMPARE(rig.window->loadedLesson(), 1);

    QVERIFY(QDir(rig.library.path()).removeRecursively());
    {
        ModalAnswerer answer(QMessageBox::Ok);
        rig.combo("Combo1")->setCurrentIndex(2);
        QVERIFY(answer.seen().shown);
        QCOMPARE(answer.seen().title, u"Warning!"_s);
    }
    QCOMPARE(rig.combo("Combo1")->currentIndex(), 1);
    QCOMPARE(rig.window->loadedLesson(), 1);

    rig.playbackButton()->click();
    QCOMPARE(rig.window->cycle().currentSentence, 1);
    rig.combo("Combo4")->setCurrentIndex(2);
    QCOMPARE(rig.window->cycle().currentSentence, 2);
    rig.playbackButton()->click();
    pumpFor(500ms);
    QCOMPARE(rig.playback.log().successes(), 0);
    QCOMPARE(rig.playback.device()->length(), 0);
    QVERIFY(!rig.repeatWait().isEnabled());
    QVERIFY(!rig.advanceWait().isEnabled());
}

QTEST_MAIN(HostileInputsTest)
#include "tst_hostile_inputs.moc"
