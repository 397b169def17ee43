// The lesson maker on a long recording: how soon the first waveform is drawn,
// how long until the whole recording is read and the cuts proposed, what a
// repaint costs after zooming and scrolling at 1920 pixels, and the peak memory.
// Usage: bench_editor_open RECORDING TEXT (bench/editor-open makes both).
#include "editor/editor_window.h"
#include "editor/waveform_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

using namespace vovozodo;

namespace {

// Sleeps between events: processEvents with a time limit spins for that long,
// and a spinning bench takes the CPU the decoding thread is measured on.
void pumpUntil(const std::function<bool()> &condition) {
    QTimer wake;
    wake.start(10);
    while (!condition())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// CPU time of this thread: a shared machine's other work does not stretch it.
double threadMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_editor_open RECORDING TEXT\n");
        return 2;
    }
    EditorWindow window;
    window.resize(1920 + 20, 1000);
    window.show();
    QElapsedTimer clock;
    clock.start();
    window.open(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    pumpUntil([&] { return window.peaks().frames() > 0; });
    window.waveform()->repaint();
    const double firstScreen = double(clock.nsecsElapsed()) / 1e9;
    pumpUntil([&] { return !window.document().isEmpty() || !window.isDecoding(); });
    const double whole = double(clock.nsecsElapsed()) / 1e9;

    WaveformView *view = window.waveform();
    std::vector<double> zooms;
    std::vector<double> scrolls;
    for (int i = 0; i < 12; ++i) {
        view->zoom(i < 6 ? 1 : -1, view->width() / 3.0);
        double start = threadMs();
        view->repaint();
        zooms.push_back(threadMs() - start);
        view->scrollToSample(view->scale().firstSample() + view->scale().visibleSamples() / 5);
        start = threadMs();
        view->repaint();
        scrolls.push_back(threadMs() - start);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("waveform width %d px; first waveform %.2f s; whole recording and cuts %.2f s; "
                "repaint after zoom %.1f ms CPU (median, target 16), after scroll %.1f ms; "
                "peak memory %.0f MB (target 150 for 3 h); peaks %.1f MB\n",
                view->width(), firstScreen, whole, median(zooms), median(scrolls),
                double(usage.ru_maxrss) / 1024.0, double(window.peaks().bytes()) / 1e6);
    return window.document().isEmpty() ? 1 : 0;
}
