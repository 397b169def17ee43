#include "support/unprivileged.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <unistd.h>

namespace vovozodo {

using namespace Qt::StringLiterals;

namespace {
const char kRerunMark[] = "VOVOZODO_RERUN_AS_NOBODY";
}

bool isRerunAsNobody() {
    return qEnvironmentVariableIsSet(kRerunMark);
}

bool permissionsAreNotEnforced() {
    return ::geteuid() == 0;
}

void rerunAsNobody(const char *testFunction) {
    // The build folder may sit in a folder nobody cannot enter (a clone under /root, or
    // under a folder made by mktemp -d), so the child runs from a copy of this test in a
    // folder of its own that everybody can read.
    QTemporaryDir place(u"/tmp/vovozodo-unprivileged-XXXXXX"_s);
    const QString copy = place.filePath(u"test"_s);
    constexpr auto kEveryoneReadsAndRuns = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                           QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther;
    if (!place.isValid() || !QFile::setPermissions(place.path(), kEveryoneReadsAndRuns) ||
        !QFile::copy(QCoreApplication::applicationFilePath(), copy) ||
        !QFile::setPermissions(copy, kEveryoneReadsAndRuns))
        QSKIP("cannot place a copy of this test where user nobody can run it");

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Root's folders are out of nobody's reach; the child needs none of them.
    for (const char *name : {"XDG_RUNTIME_DIR", "PULSE_SERVER", "PULSE_RUNTIME_PATH",
                             "PULSE_STATE_PATH", "PULSE_COOKIE", "HOME", "XDG_CONFIG_HOME"})
        env.remove(QString::fromLatin1(name));
    env.insert(u"TMPDIR"_s, u"/tmp"_s);
    env.insert(QString::fromLatin1(kRerunMark), u"1"_s);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"XDG_CONFIG_HOME"_s, place.filePath(u"config"_s));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    // Runs between fork and exec: only plain system calls, no allocation.
    child.setChildProcessModifier([] {
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(126);
    });
    child.setWorkingDirectory(place.path());
    child.start(copy, {QString::fromLatin1(testFunction)});
    if (!child.waitForStarted(10'000))
        QSKIP(qPrintable(u"user nobody cannot run this test: "_s + child.errorString()));
    if (!child.waitForFinished(60'000)) {
        child.kill();
        child.waitForFinished(5'000);
        QFAIL("the unprivileged run did not finish within a minute");
    }
    const QByteArray output = child.readAll();
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 126)
        QSKIP("running as root and cannot drop to user nobody: file permissions are not "
              "enforced for root, so this cannot be tested");
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             output.constData());
}

} // namespace vovozodo
