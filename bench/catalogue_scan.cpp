// The catalogue scan of a large issue (15 lessons of 2,000 sentences, sound
// files named in mixed case, found through the case-insensitive file layer),
// next to the floor: one stat() of every sound file's exact path.
#include "library/catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <string>
#include <vector>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

constexpr int kSentences = 2000;

// Spellings of the extension the scan's ".wav" has to match without regard to case.
const char *const kExtensions[] = {".WAV", ".Wav", ".wAv", ".wav"};

struct LargeIssue {
    QTemporaryDir dir;
    std::vector<std::string> soundFiles; // exact native paths

    LargeIssue() {
        QByteArray script = "A long lesson\r\n";
        for (int k = 1; k <= kSentences; ++k)
            script += "Sentence number " + QByteArray::number(k) + ".\r\n";
        for (int lesson = 1; lesson <= 15; ++lesson) {
            const QString folder = dir.path() + u"/T_"_s + QString::number(lesson);
            QDir().mkpath(folder);
            QFile transcript(folder + u"/Script.TXT"_s);
            if (!transcript.open(QIODevice::WriteOnly) || transcript.write(script) != script.size())
                qFatal("cannot write the benchmark's issue");
            for (int k = 1; k <= kSentences; ++k) {
                const QString path =
                    folder + u'/' + QString::number(k) + QLatin1StringView(kExtensions[k % 4]);
                QFile(path).open(QIODevice::WriteOnly);
                soundFiles.push_back(QFile::encodeName(path).toStdString());
            }
        }
    }
};

LargeIssue &issue() {
    static LargeIssue instance;
    return instance;
}

void StatEverySoundFile(benchmark::State &state) {
    for (auto _ : state) {
        int found = 0;
        struct stat status {};
        for (const std::string &path : issue().soundFiles)
            found += ::stat(path.c_str(), &status) == 0;
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(StatEverySoundFile)->Unit(benchmark::kMillisecond);

void ScanCatalogue(benchmark::State &state) {
    const QString root = issue().dir.path() + u'\\';
    for (auto _ : state) {
        const Catalogue catalogue = scanCatalogue(root);
        if (!catalogue[15].valid)
            state.SkipWithError("lesson 15 did not scan as valid");
        benchmark::DoNotOptimize(catalogue);
    }
}
BENCHMARK(ScanCatalogue)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    issue();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
