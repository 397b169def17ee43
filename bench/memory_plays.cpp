// Memory over many plays: the main window plays a lesson's sentences 10,000
// times through the fake device, with every wait and progress tick fired by
// hand, and the resident size is compared before and after.
//
//   bench_memory_plays [PLAYS]
//
// Prints "plays=<n> rss_before_kb=<kb> rss_after_kb=<kb> growth_kb=<kb>".
#include "support/main_window_rig.h"
#include "ui/begin1.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <malloc.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

qint64 rssKb() {
    // Freed blocks kept by the allocator would read as growth.
    ::malloc_trim(0);
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// One play to its end and the wait after it: the device reports Done, the
// progress tick and then the pending wait are fired.
void playOnce(MainWindowRig &rig) {
    for (int tick = 0; tick < 3; ++tick) {
        rig.device().setPosition(tick * 100);
        rig.progressTick().fire();
    }
    rig.device().finishPlay();
    if (!rig.repeatWait().fire())
        rig.advanceWait().fire();
    rig.device().log.clear(); // the fake's own record, not the program's
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int plays = argc > 1 ? QByteArray(argv[1]).toInt() : 10'000;
    if (plays <= 0) {
        std::fprintf(stderr, "usage: bench_memory_plays [PLAYS]\n");
        return 2;
    }

    MainWindowRig rig;
    QStringList sentences;
    for (int k = 1; k <= 5; ++k)
        sentences << u"第%1句：你好，我们今天学习新的词语。"_s.arg(k);
    if (!rig.library.writeLesson(1, u"Memory"_s, sentences))
        return 2;
    rig.open();
    rig.combo("Combo1")->setCurrentIndex(1);
    rig.device().setLength(300);
    rig.button("Command5")->click();

    // Warm up first: the first plays fill caches that are kept for good.
    for (int i = 0; i < 200; ++i)
        playOnce(rig);
    QCoreApplication::processEvents();
    const qint64 before = rssKb();
    const int startPlays = rig.device().plays;
    for (int i = 0; i < plays; ++i) {
        playOnce(rig);
        if (i % 100 == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    const qint64 after = rssKb();

    std::printf("plays=%d rss_before_kb=%lld rss_after_kb=%lld growth_kb=%lld\n",
                rig.device().plays - startPlays, before, after, after - before);
    return rig.device().plays - startPlays >= plays ? 0 : 1;
}
