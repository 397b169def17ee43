// What playing costs while it plays: bench/audio-cost runs "play" and
// measures the process and the sound server from /proc, beside paplay of
// the same sound in one file ("sequence") and mpv of the same files.
//
//   bench_audio_cost lesson DIR short|long      writes lesson 1 into DIR
//   bench_audio_cost sequence DIR short|long OUT SECONDS
//   bench_audio_cost play DIR                   until killed
#include "handles/sndfile_handles.h"
#include "library/install_root.h"
#include "playback/playback_services.h"
#include "ui/begin1.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>
#include <vector>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

constexpr int kRate = 44100;
// The automatic cycle's start-up settings: each sentence twice, 500 ms before
// each repetition and before the next sentence.
constexpr int kPlaysEach = 2;
constexpr int kPauseMs = 500;

struct LessonKind {
    int sentences;
    int sentenceMs;
};

// Sentences of a beginners' lesson, and of a reading at length.
std::optional<LessonKind> lessonKind(const QString &name) {
    if (name == u"short"_s)
        return LessonKind{8, 1200};
    if (name == u"long"_s)
        return LessonKind{3, 8000};
    return std::nullopt;
}

std::vector<short> sentence(int k, int ms) {
    std::vector<short> samples(std::size_t(kRate) * std::size_t(ms) / 1000);
    const double hz = 300 + 60 * k;
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = short(0.4 * 32767 * std::sin(2 * std::numbers::pi * hz * double(i) / kRate));
    return samples;
}

bool writeWave(const QString &path, const std::vector<short> &samples) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    UniqueSndfile file(sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info));
    if (!file)
        return false;
    const auto frames = sf_count_t(samples.size());
    const bool ok = sf_writef_short(file.get(), samples.data(), frames) == frames;
    return closeChecked(file) && ok;
}

int writeLesson(const QString &dir, const LessonKind &kind) {
    const QString folder = dir + u"/t_1"_s;
    QFile script(folder + u"/script.txt"_s);
    if (!QDir().mkpath(folder) || !script.open(QIODevice::WriteOnly))
        return 2;
    script.write("Cost\r\n");
    for (int k = 1; k <= kind.sentences; ++k) {
        script.write(QByteArray::number(k) + " sentence.\r\n");
        if (!writeWave(folder + u'/' + QString::number(k) + u".wav"_s,
                       sentence(k, kind.sentenceMs)))
            return 2;
    }
    return 0;
}

// What the automatic cycle plays, as one recording.
int writeSequence(const LessonKind &kind, const QString &out, int seconds) {
    std::vector<short> all;
    const std::vector<short> pause(std::size_t(kRate) * kPauseMs / 1000, 0);
    for (int k = 1; all.size() < std::size_t(kRate) * std::size_t(seconds);
         k = k % kind.sentences + 1) {
        const std::vector<short> one = sentence(k, kind.sentenceMs);
        for (int play = 0; play < kPlaysEach; ++play) {
            all.insert(all.end(), one.begin(), one.end());
            all.insert(all.end(), pause.begin(), pause.end());
        }
    }
    return writeWave(out, all) ? 0 : 2;
}

int play(const QString &dir) {
    InstallRoot = dir + u'\\';
    Begin1 window(PlaybackServices::system());
    auto *lessons = window.findChild<QComboBox *>(u"Combo1"_s);
    auto *playback = window.findChild<QPushButton *>(u"Command5"_s);
    auto *automatic = window.findChild<QCheckBox *>(u"Check1"_s);
    if (!lessons || !playback || !automatic || !automatic->isChecked()) {
        std::fprintf(stderr, "the main window is not as expected\n");
        return 2;
    }
    lessons->setCurrentIndex(1);
    playback->click();
    std::printf("playing\n");
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    const std::optional<LessonKind> kind = lessonKind(args.value(3));
    if (mode == u"lesson"_s && args.size() == 4 && kind)
        return writeLesson(args[2], *kind);
    if (mode == u"sequence"_s && args.size() == 6 && kind)
        return writeSequence(*kind, args[4], args[5].toInt());
    if (mode == u"play"_s && args.size() == 3)
        return play(args[2]);
    std::fprintf(stderr,
                 "usage: %s lesson DIR short|long\n"
                 "       %s sequence DIR short|long OUT SECONDS\n"
                 "       %s play DIR\n",
                 argv[0], argv[0], argv[0]);
    return 2;
}
