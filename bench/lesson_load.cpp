// How long choosing a lesson of 32,766 sentences takes in the main window
// (read, compose, show the transcript, fill the sentence chooser), next to the
// floor: reading the transcript's lines and nothing else.
#include "library/install_root.h"
#include "support/lesson_folder.h"
#include "ui/begin1.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>

#include <benchmark/benchmark.h>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

constexpr int kSentences = 32766;

// Two lessons, so that the benchmark can alternate: choosing the lesson that
// is already loaded does nothing. The catalogue wants one sound file per
// sentence; empty files do.
struct LongLibrary {
    LessonLibrary dir;

    LongLibrary() {
        QStringList lines{u"很长的一课"_s};
        for (int k = 1; k <= kSentences; ++k)
            lines.append((k % 5 == 2 ? u"  "_s : QString()) + u"第"_s + QString::number(k) +
                         u"句：今天天气很好，我们去公园散步。"_s);
        for (int lesson : {1, 2}) {
            if (!dir.writeTranscript(lesson, lines) || !dir.writeSoundFiles(lesson, 1, kSentences))
                qFatal("cannot write the benchmark's lesson");
        }
    }
    QString transcript() const { return dir.lessonFolder(1) + u"/script.txt"_s; }
};

LongLibrary &library() {
    static LongLibrary instance;
    return instance;
}

void ReadLinesOnly(benchmark::State &state) {
    for (auto _ : state) {
        QFile file(library().transcript());
        if (!file.open(QIODevice::ReadOnly))
            state.SkipWithError("cannot open the transcript");
        qsizetype lines = 0;
        while (!file.atEnd()) {
            benchmark::DoNotOptimize(file.readLine());
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
}
BENCHMARK(ReadLinesOnly)->Unit(benchmark::kMillisecond);

void ChooseLesson(benchmark::State &state) {
    InstallRoot = library().dir.root();
    Begin1 window(PlaybackServices::system());
    auto *lessons = window.findChild<QComboBox *>(u"Combo1"_s);
    if (!window.lessonValid(1) || !window.lessonValid(2))
        state.SkipWithError("the lessons did not scan as valid");
    int next = 1;
    for (auto _ : state) {
        lessons->setCurrentIndex(next);
        if (window.loadedLesson() != next)
            state.SkipWithError("the lesson did not load");
        next = 3 - next;
    }
    if (window.scriptLines().size() != kSentences)
        state.SkipWithError("the lesson lost sentences");
}
BENCHMARK(ChooseLesson)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    library();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
