// The sound server going away in the middle of a play, and coming back.
//
// The real device must keep the program running when its server dies: no
// crash, no call that blocks the event loop, no successful Done for a play
// that was never heard. Once a server answers again at the same address the
// user's next Playback must play to its end.
//
// The test kills and restarts a PulseAudio server of its own, in a runtime
// folder of its own, so the server that scripts/test runs for the other sound
// tests (which may be playing in parallel) is never touched. The sound client
// takes the server's address from the environment, and the toolkit's audio
// backend (used here to check that the server plays) connects only once, so the
// environment is set before the application object exists and the server is up
// before the first test: hence a main() of its own instead of QTEST_MAIN.

#include "playback/wave_audio_device.h"

#include "support/done_log.h"
#include "support/lesson_folder.h"
#include "support/pump_until.h"
#include "support/sound_server.h"
#include "support/tone.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

using namespace vovozodo;

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr auto SinkName = "faults_null";

// A PulseAudio server with a null sink in a temporary runtime folder, as
// scripts/lib/sound-server.sh starts one, that the test may kill and start
// again at the same address. Stopped and removed with the object, whatever
// the tests did.
class PrivateSoundServer {
public:
    PrivateSoundServer() : m_runtime(QDir::tempPath() + u"/vovozodo-faults-XXXXXX"_s) {}
    ~PrivateSoundServer() { stop(); }
    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;

    bool isValid() const { return m_runtime.isValid(); }
    QString runtime() const { return m_runtime.path(); }
    QString socket() const { return runtime() + u"/pulse/native"_s; }
    QString logPath() const { return runtime() + u"/server.log"_s; }

    // Everything the client and the server would otherwise take from the
    // home folder or from the caller's own server goes to the runtime folder.
    void exportEnvironment() const {
        const QByteArray dir = QFile::encodeName(runtime());
        qputenv("XDG_RUNTIME_DIR", dir);
        qputenv("PULSE_RUNTIME_PATH", dir + "/pulse");
        qputenv("PULSE_STATE_PATH", dir + "/state");
        qputenv("PULSE_COOKIE", dir + "/cookie");
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socket()));
        // A client that cannot reach its server must not start one of its own.
        qputenv("PULSE_CLIENTCONFIG", dir + "/client.conf");
        QFile conf(runtime() + u"/client.conf"_s);
        if (conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
            conf.write("autospawn = no\n");
        qunsetenv("PULSE_SINK");
    }

    // Starts the server and waits until it answers; on failure `why` says
    // what went wrong.
    bool start(QString *why) {
        const QString program = QStandardPaths::findExecutable(u"pulseaudio"_s);
        if (program.isEmpty() || QStandardPaths::findExecutable(u"pactl"_s).isEmpty()) {
            *why = u"pulseaudio or pactl is not installed (Debian: pulseaudio, "
                   u"pulseaudio-utils); scripts/test installs them"_s;
            return false;
        }
        QProcess server;
        server.setStandardErrorFile(logPath(), QIODevice::Append);
        server.setStandardOutputFile(QProcess::nullDevice());
        // -n: none of the system's default modules. A finite idle time: a
        // server left behind by a test that crashed exits on its own.
        server.start(program, {u"-n"_s, u"--daemonize=yes"_s, u"--exit-idle-time=60"_s,
                               u"--log-target=stderr"_s, u"-L"_s,
                               u"module-native-protocol-unix socket=%1 auth-cookie=%2"_s.arg(
                                   socket(), runtime() + u"/cookie"_s),
                               u"-L"_s,
                               u"module-null-sink sink_name=%1 norewinds=1"_s.arg(
                                   QLatin1StringView(SinkName))});
        // The starting process returns once the daemon has forked and set up.
        if (!server.waitForFinished(15'000)) {
            server.kill();
            server.waitForFinished(2'000);
            *why = u"pulseaudio did not return from starting its daemon"_s;
            return false;
        }
        if (server.exitStatus() != QProcess::NormalExit || server.exitCode() != 0) {
            *why =
                u"pulseaudio could not start a second server on this machine; its log:\n"_s + log();
            return false;
        }
        m_pid = readPid();
        QDeadlineTimer deadline(10s);
        while (!answers()) {
            if (deadline.hasExpired()) {
                *why = u"the new server does not answer pactl info; its log:\n"_s + log();
                return false;
            }
            QThread::msleep(100);
        }
        if (pactl({u"set-default-sink"_s, QLatin1StringView(SinkName)}) != 0) {
            *why = u"pactl set-default-sink failed"_s;
            return false;
        }
        return true;
    }

    // The running daemon; 0 once it has been killed.
    pid_t pid() const { return m_pid; }

    // Kills the daemon with `signal` and waits until it has died.
    bool kill(int signal) {
        if (m_pid <= 0)
            return true;
        if (::kill(m_pid, signal) != 0 && errno != ESRCH)
            return false;
        for (int i = 0; i < 100; ++i) {
            // The daemon is this process's child (see main()) and is reaped
            // here; otherwise it has died once it is a zombie.
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid || !isAlive(m_pid)) {
                m_pid = 0;
                // The next daemon would take a zombie named in it for a
                // server still running, and refuse to start.
                QFile::remove(runtime() + u"/pulse/pid"_s);
                return true;
            }
            QThread::msleep(50);
        }
        return false;
    }

    void stop() {
        // A stopped server takes SIGTERM only once it runs again.
        if (m_pid > 0)
            ::kill(m_pid, SIGCONT);
        if (!kill(SIGTERM))
            kill(SIGKILL);
    }

    bool answers() const { return pactl({u"info"_s}) == 0; }

    // Streams playing into the server; -1 when it cannot be asked.
    int streams() const {
        QProcess pactl;
        pactl.setStandardErrorFile(QProcess::nullDevice());
        pactl.start(u"pactl"_s, {u"list"_s, u"short"_s, u"sink-inputs"_s});
        if (!pactl.waitForFinished(5'000) || pactl.exitCode() != 0)
            return -1;
        const QByteArray listing = pactl.readAllStandardOutput().trimmed();
        return listing.isEmpty() ? 0 : int(listing.count('\n') + 1);
    }

    QString log() const {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }

private:
    pid_t readPid() const {
        QFile file(runtime() + u"/pulse/pid"_s);
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        return pid_t(file.readAll().trimmed().toInt());
    }

    static bool isAlive(pid_t pid) {
        if (::kill(pid, 0) != 0)
            return false;
        QFile stat(u"/proc/%1/stat"_s.arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        const qsizetype afterName = line.lastIndexOf(')');
        return afterName < 0 || line.mid(afterName + 2, 1) != "Z";
    }

    static int pactl(const QStringList &arguments) {
        QProcess pactl;
        pactl.setStandardOutputFile(QProcess::nullDevice());
        pactl.setStandardErrorFile(QProcess::nullDevice());
        pactl.start(u"pactl"_s, arguments);
        if (!pactl.waitForFinished(5'000)) {
            pactl.kill();
            pactl.waitForFinished(2'000);
            return -1;
        }
        return pactl.exitStatus() == QProcess::NormalExit ? pactl.exitCode() : -1;
    }

    QTemporaryDir m_runtime;
    pid_t m_pid = 0;
};

// A 20 ms timer that notes the longest gap between its ticks: a call that
// blocks the event loop shows up as a long gap. Only a hang fails, never a
// slow or busy machine: the program must never stall this long.
constexpr qint64 HangMs = 5'000;
struct LoopWatch {
    LoopWatch() {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &timer,
                         [this] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });
        sinceTick.start();
        timer.start(20);
    }
    qint64 gapNow() const { return std::max(longestGapMs, sinceTick.elapsed()); }

    QTimer timer;
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
};

PrivateSoundServer *theServer = nullptr;

} // namespace

class TestSoundServerFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void serverKilledMidPlay();
    void playWhileServerIsDown();
    void serverDiesWhileAPlayStarts();
    void playsAgainOnceServerIsBack();
    void noStreamLeftBehind();
    void cleanupTestCase();

private:
    QString tone(const QString &name, int ms) {
        const QString native = m_library.lessonFolder(1) + u'/' + name;
        if (!writeTone(native, 440, ms))
            qFatal("cannot write %s", qPrintable(native));
        return m_library.root() + u"T_1\\"_s + name.toUpper();
    }
    bool ensureRunning() {
        if (theServer->answers())
            return true;
        if (!theServer->kill(SIGKILL))
            return false;
        QString why;
        if (!theServer->start(&why))
            qWarning("%s", qPrintable(why));
        return theServer->answers();
    }

    LessonLibrary m_library;
};

void TestSoundServerFaults::initTestCase() {
    QVERIFY(m_library.isValid());
    QVERIFY(QDir().mkpath(m_library.lessonFolder(1)));
    QVERIFY2(theServer->answers(), "the test's own sound server does not answer");
    REQUIRE_SOUND_SERVER();
}

// Killed while a 4 s tone plays: the program goes on, and the rest of the
// tone's time passes without a successful end.
void TestSoundServerFaults::serverKilledMidPlay() {
    QVERIFY(ensureRunning());
    const QString path = tone(u"long.wav"_s, 4000);
    WaveAudioDevice device;
    DoneLog log(device);
    openAndPlay(device, path);
    QVERIFY2(pumpUntil([&] { return device.position() >= 500; }, 10s),
             "the tone did not start on a running server");
    QVERIFY(log.codes.isEmpty());

    LoopWatch watch;
    const qint32 heard = device.position();
    // Said once on standard error, though the user is told nothing.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^Lost the sound server"_s));
    QVERIFY2(theServer->kill(SIGKILL), "the server did not die");
    // Longer than the rest of the tone: a device that missed the failure
    // would report the tone's end in this time.
    pumpFor(6s);
    qInfo("after the kill: done codes %s; position %d of %d ms", qPrintable(log.describe()),
          device.position(), device.length());
    QVERIFY2(log.successes() == 0, qPrintable(log.describe()));
    QVERIFY2(log.codes.size() <= 1, qPrintable(log.describe()));
    QVERIFY2(watch.gapNow() < HangMs,
             qPrintable(u"event loop blocked for %1 ms"_s.arg(watch.gapNow())));
    // The position stays where the play was cut (give or take a clock reading).
    QVERIFY2(device.position() >= heard - 100 && device.position() < device.length(),
             qPrintable(u"%1, %2 before the kill"_s.arg(device.position()).arg(heard)));

    // Closing what is left reports nothing more.
    const qsizetype before = log.codes.size();
    device.close();
    pumpFor(300ms);
    QVERIFY(log.successes() == 0);
    QVERIFY(log.codes.size() <= before + 1);
    QVERIFY(watch.gapNow() < HangMs);
}

// With no server at all, Playback returns at once and plays nothing.
void TestSoundServerFaults::playWhileServerIsDown() {
    QVERIFY(theServer->kill(SIGKILL));
    const QString path = tone(u"short-down.wav"_s, 300);
    WaveAudioDevice device;
    DoneLog log(device);
    LoopWatch watch;
    for (int press = 0; press < 3; ++press) {
        QElapsedTimer call;
        call.start();
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"^Cannot play .*: no sound server"_s));
        openAndPlay(device, path);
        QVERIFY2(call.elapsed() < HangMs,
                 qPrintable(u"Open and Play took %1 ms without a server"_s.arg(call.elapsed())));
        pumpFor(1500ms);
    }
    qInfo("without a server: done codes %s", qPrintable(log.describe()));
    QVERIFY2(log.successes() == 0, qPrintable(log.describe()));
    QVERIFY2(watch.gapNow() < HangMs,
             qPrintable(u"event loop blocked for %1 ms"_s.arg(watch.gapNow())));
    device.close();
}

// The server stops answering just as a play starts, and dies later (as when
// it hangs and is killed): Play returns and the event loop keeps running while
// the server is still silent, and after the play fails. The server is killed
// when the test has seen that, or by a watchdog if the test is stuck waiting
// for it; the watchdog having fired is the failure, whatever the machine's speed.
void TestSoundServerFaults::serverDiesWhileAPlayStarts() {
    QVERIFY(ensureRunning());
    const QString path = tone(u"short-start.wav"_s, 300);
    WaveAudioDevice device;
    DoneLog log(device);
    // A first play leaves the device connected.
    openAndPlay(device, path);
    QVERIFY2(pumpUntil([&] { return log.successes() == 1; }, 10s), qPrintable(log.describe()));

    const pid_t server = theServer->pid();
    QVERIFY(server > 0 && ::kill(server, SIGSTOP) == 0);
    std::atomic<bool> release = false;
    std::atomic<bool> watchdogFired = false;
    std::thread killer([&, server] {
        for (int i = 0; i < 300 && !release; ++i)
            std::this_thread::sleep_for(100ms);
        watchdogFired = !release;
        ::kill(server, SIGKILL);
    });
    struct Join {
        std::thread &thread;
        std::atomic<bool> &release;
        ~Join() {
            release = true;
            thread.join();
        }
    } join{killer, release};

    openAndPlay(device, path);
    QVERIFY2(!watchdogFired, "Open and Play waited for the silent server");
    pumpFor(500ms);
    QVERIFY2(!watchdogFired, "the event loop waited for the silent server");
    release = true;
    LoopWatch watch;
    pumpFor(3s);
    qInfo("server stopped, then killed: done codes %s", qPrintable(log.describe()));
    QVERIFY2(log.successes() == 1, qPrintable(log.describe()));
    QVERIFY2(watch.gapNow() < 1000,
             qPrintable(u"event loop blocked for %1 ms"_s.arg(watch.gapNow())));
    QVERIFY(theServer->kill(SIGKILL));
    device.close();
}

// A new server at the same address: the user's first Playback once it answers
// plays the sentence to its end. The presses are counted rather than assumed,
// so that a failure says what the user would have had to do.
void TestSoundServerFaults::playsAgainOnceServerIsBack() {
    QVERIFY(theServer->kill(SIGKILL));
    const QString path = tone(u"short-back.wav"_s, 300);
    WaveAudioDevice device;
    DoneLog log(device);
    // The device has seen the server die before it comes back.
    openAndPlay(device, path);
    pumpFor(500ms);

    QString why;
    QVERIFY2(theServer->start(&why), qPrintable(why));
    QElapsedTimer sinceBack;
    sinceBack.start();
    int presses = 0;
    qint64 succeededAt = -1;
    // Generous: the first press must do, but a loaded machine may be slow,
    // and an idle null sink reports the end of a play seconds late.
    while (sinceBack.elapsed() < 40'000 && succeededAt < 0) {
        ++presses;
        const qsizetype before = log.codes.size();
        openAndPlay(device, path);
        // A play either ends (well or not) or the user gives up on it.
        pumpUntil([&] { return log.codes.size() > before; }, 15s);
        if (log.successes() > 0)
            succeededAt = sinceBack.elapsed();
    }
    qInfo("server back: done codes %s; success after %lld ms and %d presses",
          qPrintable(log.describe()), succeededAt, presses);
    QVERIFY2(succeededAt >= 0, qPrintable(log.describe()));
    QVERIFY2(presses == 1, qPrintable(u"%1 presses of Playback were needed"_s.arg(presses)));

    // And it keeps working: the next press plays at once.
    const qsizetype before = log.successes();
    QElapsedTimer again;
    again.start();
    openAndPlay(device, path);
    QVERIFY2(pumpUntil([&] { return log.successes() > before; }, 15s), qPrintable(log.describe()));
    qInfo("the next play ended after %lld ms", again.elapsed());
}

// Plays that end or are cut in every way leave at most the one stream the
// device keeps for its next play, even a stream given up while the server was
// still creating it; the device's end takes that one too.
void TestSoundServerFaults::noStreamLeftBehind() {
    QVERIFY(ensureRunning());
    const QString mono = tone(u"left-mono.wav"_s, 200);
    const QString stereo = m_library.root() + u"T_1\\LEFT-STEREO.WAV"_s;
    QVERIFY(writeTone(m_library.lessonFolder(1) + u"/left-stereo.wav"_s, 440, 200, 48000, 2));
    const QString empty = m_library.root() + u"T_1\\LEFT-EMPTY.WAV"_s;
    QVERIFY(writeSilence(m_library.lessonFolder(1) + u"/left-empty.wav"_s, 0));

    auto device = std::make_unique<WaveAudioDevice>();
    DoneLog log(*device);
    openAndPlay(*device, mono);
    QVERIFY(pumpUntil([&] { return log.successes() == 1; }, 10s));
    openAndPlay(*device, empty);
    QVERIFY(pumpUntil([&] { return log.successes() == 2; }, 10s));
    // A stream for the other format is asked for, and given up at once.
    for (int round = 0; round < 3; ++round) {
        openAndPlay(*device, stereo);
        openAndPlay(*device, mono);
    }
    pumpFor(50ms);
    device->close();
    openAndPlay(*device, stereo);
    QVERIFY(pumpUntil([&] { return log.successes() == 3; }, 10s));

    // Time for the server to finish the streams given up and let them go.
    QVERIFY2(pumpUntil([&] { return theServer->streams() <= 1; }, 15s),
             qPrintable(u"%1 streams"_s.arg(theServer->streams())));
    QCOMPARE(theServer->streams(), 1);
    device.reset();
    QVERIFY2(pumpUntil([&] { return theServer->streams() == 0; }, 15s),
             qPrintable(u"%1 streams"_s.arg(theServer->streams())));
}

void TestSoundServerFaults::cleanupTestCase() {
    theServer->stop();
}

int main(int argc, char **argv) {
    // The daemonised server becomes this process's child rather than init's:
    // it is reaped here when killed, and a test runner that kills this
    // process and its children at a timeout takes the server with it.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    PrivateSoundServer server;
    if (!server.isValid()) {
        qCritical("cannot make a runtime folder for the test's sound server");
        return 1;
    }
    server.exportEnvironment();
    theServer = &server;

    QCoreApplication app(argc, argv);
    QString why;
    if (!server.start(&why)) {
        qCritical("tst_sound_server_faults needs a sound server of its own: %s", qPrintable(why));
        return 1;
    }
    // A call that blocks for good fails its test function here, well inside
    // the CTest timeout; the server then exits on its own once idle.
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "50000");
    TestSoundServerFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sound_server_faults.moc"
