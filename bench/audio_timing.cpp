// Times the automatic playback cycle as it is heard. bench/audio-timing runs
// it twice: "play" drives the main window on the real device while the sound
// server's output is being recorded, and logs its own events on the
// recording's time line; "analyse" finds the sounds in the recording and sets
// them against those events.
#include "handles/sndfile_handles.h"
#include "library/install_root.h"
#include "playback/playback_services.h"
#include "playback/sound_device.h"
#include "playback/wave_audio_device.h"
#include "support/recording_sound_device.h"
#include "ui/begin1.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

using namespace vovozodo;

using namespace Qt::StringLiterals;

namespace {

constexpr int ToneMs = 300;
constexpr int Sentences = 3;
// Pitches far enough apart to tell the sentences apart by zero crossings.
constexpr double ToneHz[Sentences] = {400, 600, 900};
constexpr double ToneAmplitude = 0.5;

// Targets, in milliseconds.
constexpr double MedianPauseTarget = 5;
constexpr double WorstPauseTarget = 10;
constexpr double PauseSpreadTarget = 20;
constexpr double FirstSoundTarget = 10;
// Median of audible end to Done, either way.
constexpr double DoneTarget = 5;

struct Options {
    QString recording;
    QString events;
    int rate = 44100;
    QList<int> pauses{500, 1000, 2000, 3000, 4000};
    int pausesEach = 6;
};

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---- play -----------------------------------------------------------------

// Ties the monotonic clock to positions in the recording, which the recorder
// is appending to as the sink renders. The sink renders a block ahead of the
// time it stands for and the monitor gets it at once, so the file's length in
// time runs ahead of the clock by up to a block: the lag of the clock behind
// it, polled for a while, is a sawtooth one block wide. Its top, where the
// file holds exactly what is due, gives the origin; the 95th percentile
// stands for the top so that a poll the scheduler held up does not count.
//
// The null sink's clock gains on the monotonic one (it counts each block's
// length in whole microseconds, rounded down), by a few parts in ten thousand:
// 2 ms over a 4 s pause. So the origin is taken before and after each group
// and drawn as a line between the two, and the group's recorded lengths are
// scaled back to the monotonic clock's time.
class RecordingClock {
public:
    RecordingClock(QString path, int rate) : m_path(std::move(path)), m_rate(rate) {}

    bool calibrate(std::chrono::milliseconds span) {
        const QByteArray name = QFile::encodeName(m_path);
        std::vector<qint64> lags;
        const qint64 until = nowNs() + qint64(span.count()) * 1'000'000;
        while (nowNs() < until) {
            struct stat status {};
            const qint64 before = nowNs();
            if (::stat(name.constData(), &status) != 0)
                return false;
            const qint64 frames = qint64(status.st_size) / 2;
            lags.push_back(before - frames * 1'000'000'000 / m_rate);
        }
        if (lags.size() < 100)
            return false;
        std::sort(lags.begin(), lags.end());
        m_previous = m_latest;
        m_latest = {until, lags[lags.size() * 95 / 100]};
        m_blockMs = double(m_latest.originNs - lags.front()) / 1e6;
        return true;
    }

    // Milliseconds on the recording's time line, between the last two
    // calibrations (or from the last one alone).
    double toRecordingMs(qint64 ns) const { return double(ns - originAt(ns)) / 1e6; }
    double blockMs() const { return m_blockMs; }
    // Recorded milliseconds per millisecond of the monotonic clock.
    double scale() const { return 1 - originDrift(); }

private:
    struct Point {
        qint64 atNs = 0;
        qint64 originNs = 0;
    };

    // How far the origin moves per nanosecond: the line through the last two
    // calibrations, flat until there are two.
    double originDrift() const {
        if (m_previous.atNs == 0 || m_latest.atNs == m_previous.atNs)
            return 0;
        return double(m_latest.originNs - m_previous.originNs) /
               double(m_latest.atNs - m_previous.atNs);
    }
    qint64 originAt(qint64 ns) const {
        return m_latest.originNs + qint64(originDrift() * double(ns - m_latest.atNs));
    }

    QString m_path;
    int m_rate;
    Point m_previous, m_latest;
    double m_blockMs = 0;
};

int sentenceOf(const QString &windowsPath) {
    return windowsPath.section(u'\\', -1).section(u'.', 0, 0).toInt();
}

bool writeTone(const QString &path, double hz, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    UniqueSndfile file(sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info));
    if (!file)
        return false;
    std::vector<short> samples(std::size_t(rate) * ToneMs / 1000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] =
            short(ToneAmplitude * 32767 * std::sin(2 * std::numbers::pi * hz * double(i) / rate));
    const bool ok = sf_writef_short(file.get(), samples.data(), sf_count_t(samples.size())) ==
                    sf_count_t(samples.size());
    return closeChecked(file) && ok;
}

// One lesson per pause value: choosing a lesson is what stops the cycle.
bool writeLibrary(const QString &root, int lessons, int rate) {
    for (int n = 1; n <= lessons; ++n) {
        const QString folder = root + u"/t_"_s + QString::number(n);
        if (!QDir().mkpath(folder))
            return false;
        QFile script(folder + u"/script.txt"_s);
        if (!script.open(QIODevice::WriteOnly) ||
            script.write("Tones\r\nOne.\r\nTwo.\r\nThree.\r\n") < 0)
            return false;
        for (int k = 1; k <= Sentences; ++k)
            if (!writeTone(folder + u'/' + QString::number(k) + u".wav"_s, ToneHz[k - 1], rate))
                return false;
    }
    return true;
}

int play(const Options &options) {
    QTemporaryDir library;
    if (!library.isValid() ||
        !writeLibrary(library.path(), int(options.pauses.size()), options.rate)) {
        std::fprintf(stderr, "cannot write the lesson library\n");
        return 2;
    }
    InstallRoot = library.path() + u'\\';

    using Event = RecordingSoundDevice::Event;
    RecordingSoundDevice *device = nullptr;
    PlaybackServices services = PlaybackServices::system();
    services.createSoundDevice = [&device] {
        auto recording =
            std::make_unique<RecordingSoundDevice>(std::make_unique<WaveAudioDevice>());
        device = recording.get();
        return std::unique_ptr<SoundDevice>(std::move(recording));
    };
    Begin1 window(services);
    auto *lessons = window.findChild<QComboBox *>(u"Combo1"_s);
    auto *pauseList = window.findChild<QComboBox *>(u"Combo3"_s);
    auto *playback = window.findChild<QPushButton *>(u"Command5"_s);
    if (!lessons || !pauseList || !playback || !device ||
        !window.findChild<QCheckBox *>(u"Check1"_s)->isChecked()) {
        std::fprintf(stderr, "the main window is not as expected\n");
        return 2;
    }

    const qint64 deviceMadeNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(device->madeAt().time_since_epoch())
            .count();
    auto stampNs = [&](const Event &event) { return deviceMadeNs + event.atUsecs * 1000; };
    RecordingClock clock(options.recording, options.rate);
    std::printf("rate %d\n", options.rate);
    for (qsizetype i = 0; i < options.pauses.size(); ++i) {
        const int pause = options.pauses[i];
        lessons->setCurrentIndex(int(i) + 1);
        const int index = pauseList->findText(QString::number(pause));
        if (index < 0) {
            std::fprintf(stderr, "%d ms is not a pause the window offers\n", pause);
            return 2;
        }
        pauseList->setCurrentIndex(index);
        // Lets the closed stream go before calibrating.
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
        if (!clock.calibrate(std::chrono::milliseconds(400))) {
            std::fprintf(stderr, "the recording %s does not grow\n", qPrintable(options.recording));
            return 2;
        }

        const qsizetype first = device->events().size();
        const qsizetype donesBefore = device->count(Event::Done);
        const qint64 commandNs = nowNs();
        playback->click();
        const int plays = options.pausesEach + 1;
        QEventLoop loop;
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
        giveUp.start(plays * (pause + ToneMs) + 10'000);
        const auto conn = QObject::connect(device, &SoundDevice::done, &loop, [&] {
            if (device->count(Event::Done) - donesBefore >= plays)
                loop.quit();
        });
        loop.exec();
        QObject::disconnect(conn);
        const double blockMs = clock.blockMs();
        if (!clock.calibrate(std::chrono::milliseconds(400))) {
            std::fprintf(stderr, "the recording %s stopped growing\n",
                         qPrintable(options.recording));
            return 2;
        }

        std::printf("group %d block %.2f scale %.7f\n", pause, blockMs, clock.scale());
        std::printf("command %.3f\n", clock.toRecordingMs(commandNs));
        for (qsizetype e = first; e < device->events().size(); ++e) {
            const Event &event = device->events()[e];
            if (event.kind == Event::Play)
                std::printf("play %.3f %d\n", clock.toRecordingMs(stampNs(event)),
                            sentenceOf(event.fileName));
            else
                std::printf("done %.3f %d\n", clock.toRecordingMs(stampNs(event)),
                            event.notifyCode);
        }
        std::fflush(stdout);
    }
    // Stops the last cycle and lets its tail reach the recording.
    lessons->setCurrentIndex(0);
    window.close();
    QEventLoop tail;
    QTimer::singleShot(500, &tail, &QEventLoop::quit);
    tail.exec();
    std::printf("end\n");
    return 0;
}

// ---- analyse --------------------------------------------------------------

struct Sound {
    double startMs;
    double endMs;
    double hz;
};

// Sounds are runs of 1 ms windows whose RMS is over the threshold, split by at
// least 50 ms of quiet; their edges are then placed on the first and last
// sample above the threshold, which for these tones is within a few
// microseconds of where they start and stop.
std::vector<Sound> findSounds(const std::vector<short> &samples, int rate) {
    const double threshold = 0.02 * 32768;
    const std::size_t window = std::size_t(rate) / 1000;
    const std::size_t gapWindows = 50;
    std::vector<Sound> sounds;
    std::optional<std::size_t> runStart;
    std::size_t lastLoud = 0;
    auto finish = [&](std::size_t from, std::size_t to) {
        std::size_t a = from > window ? from - window : 0;
        while (a < to && std::abs(samples[a]) <= threshold)
            ++a;
        std::size_t b = std::min(samples.size(), to + window);
        while (b > a && std::abs(samples[b - 1]) <= threshold)
            --b;
        std::size_t crossings = 0;
        for (std::size_t i = a + 1; i < b; ++i)
            crossings += (samples[i - 1] < 0) != (samples[i] < 0);
        const double seconds = double(b - a) / rate;
        if (seconds > 0.05)
            sounds.push_back({double(a) * 1000 / rate, double(b) * 1000 / rate,
                              double(crossings) / 2 / seconds});
    };
    for (std::size_t w = 0; (w + 1) * window <= samples.size(); ++w) {
        double sum = 0;
        for (std::size_t i = w * window; i < (w + 1) * window; ++i)
            sum += double(samples[i]) * samples[i];
        const bool loud = std::sqrt(sum / double(window)) > threshold;
        if (loud) {
            if (runStart && w - lastLoud > gapWindows) {
                finish(*runStart * window, (lastLoud + 1) * window);
                runStart.reset();
            }
            if (!runStart)
                runStart = w;
            lastLoud = w;
        }
    }
    if (runStart)
        finish(*runStart * window, (lastLoud + 1) * window);
    return sounds;
}

int sentenceOfPitch(double hz) {
    for (int k = 0; k < Sentences; ++k)
        if (std::abs(hz - ToneHz[k]) < 50)
            return k + 1;
    return 0;
}

struct Group {
    int pause = 0;
    double blockMs = 0;
    double scale = 1; // recorded per real millisecond
    double commandMs = 0;
    std::vector<std::pair<double, int>> plays; // time, sentence
    std::vector<double> dones;                 // successful ones
    int failedDones = 0;
};

struct Stats {
    double median = 0, worst = 0, min = 0, max = 0;
};

Stats stats(std::vector<double> values) {
    Stats s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    s.worst = std::abs(s.min) > std::abs(s.max) ? s.min : s.max;
    return s;
}

const char *verdict(bool met) {
    return met ? "ok" : "MISSED";
}

int analyse(const Options &options) {
    QFile eventsFile(options.events);
    if (!eventsFile.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(options.events));
        return 2;
    }
    std::vector<Group> groups;
    int rate = options.rate;
    while (!eventsFile.atEnd()) {
        const QList<QByteArray> f = eventsFile.readLine().trimmed().split(' ');
        if (f.isEmpty())
            continue;
        if (f[0] == "rate" && f.size() == 2)
            rate = f[1].toInt();
        else if (f[0] == "group" && f.size() == 6)
            groups.push_back({f[1].toInt(), f[3].toDouble(), f[5].toDouble(), 0, {}, {}, 0});
        else if (groups.empty())
            continue;
        else if (f[0] == "command" && f.size() == 2)
            groups.back().commandMs = f[1].toDouble();
        else if (f[0] == "play" && f.size() == 3)
            groups.back().plays.emplace_back(f[1].toDouble(), f[2].toInt());
        else if (f[0] == "done" && f.size() == 3) {
            if (f[2].toInt() == SoundDevice::Successful)
                groups.back().dones.push_back(f[1].toDouble());
            else
                ++groups.back().failedDones;
        }
    }

    QFile raw(options.recording);
    if (!raw.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(options.recording));
        return 2;
    }
    const QByteArray bytes = raw.readAll();
    std::vector<short> samples(std::size_t(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    const std::vector<Sound> sounds = findSounds(samples, rate);

    bool allMet = true;
    std::vector<double> firstSounds, endToDone, startLatency, timerLate;
    std::printf("Recording: %.1f s, %zu sounds found.\n\n", double(samples.size()) / rate,
                sounds.size());
    std::size_t next = 0;
    for (const Group &g : groups) {
        // The sounds of this group: from its command on, less the alignment's
        // uncertainty, up to its last Done.
        std::vector<Sound> heard;
        while (next < sounds.size() && sounds[next].startMs < g.commandMs - 50)
            ++next;
        const double groupEnd = g.dones.empty() ? g.commandMs : g.dones.back() + 100;
        while (next < sounds.size() && sounds[next].startMs < groupEnd)
            heard.push_back(sounds[next++]);

        QList<int> commanded, order;
        for (const auto &p : g.plays)
            commanded << p.second;
        for (const Sound &s : heard)
            order << sentenceOfPitch(s.hz);
        QList<int> expected;
        for (qsizetype i = 0; i < commanded.size(); ++i)
            expected << int((i / 2) % Sentences) + 1;
        const bool orderOk = order == expected && commanded == expected &&
                             heard.size() == g.plays.size() && g.failedDones == 0;
        allMet = allMet && orderOk;
        auto join = [](const QList<int> &l) {
            QStringList parts;
            for (int v : l)
                parts << QString::number(v);
            return parts.join(u' ');
        };
        std::printf("Pause %d ms (alignment block %.1f ms, sink clock %+.0f ppm)\n", g.pause,
                    g.blockMs, (g.scale - 1) * 1e6);
        std::printf("  plays commanded: %s\n  plays heard:     %s (%zu heard, %zu commanded, "
                    "expected %s)  %s\n",
                    qPrintable(join(commanded)), qPrintable(join(order)), heard.size(),
                    g.plays.size(), qPrintable(join(expected)), verdict(orderOk));
        if (heard.size() != g.plays.size() || g.dones.size() < g.plays.size()) {
            std::printf("  cannot pair sounds with plays; no timings for this group\n\n");
            continue;
        }

        std::vector<double> errors, lateness, latency, gap;
        for (std::size_t i = 0; i < heard.size(); ++i) {
            gap.push_back(g.dones[i] - heard[i].endMs);
            latency.push_back(heard[i].startMs - g.plays[i].first);
            if (i > 0) {
                errors.push_back((heard[i].startMs - heard[i - 1].endMs) / g.scale - g.pause);
                lateness.push_back((g.plays[i].first - g.dones[i - 1]) / g.scale - g.pause);
            }
        }
        const double first = heard.front().startMs - g.commandMs;
        firstSounds.push_back(first);
        endToDone.insert(endToDone.end(), gap.begin(), gap.end());
        startLatency.insert(startLatency.end(), latency.begin(), latency.end());
        timerLate.insert(timerLate.end(), lateness.begin(), lateness.end());

        const Stats e = stats(errors);
        const double spread = e.max - e.min;
        const bool medianOk = std::abs(e.median) <= MedianPauseTarget;
        const bool worstOk = std::abs(e.worst) <= WorstPauseTarget;
        const bool spreadOk = spread <= PauseSpreadTarget;
        allMet = allMet && medianOk && worstOk && spreadOk;
        std::printf("  pause error over %zu pauses: median %+7.1f ms (target within %.0f)  %s\n",
                    errors.size(), e.median, MedianPauseTarget, verdict(medianOk));
        std::printf("                              worst  %+7.1f ms (target within %.0f)  %s\n",
                    e.worst, WorstPauseTarget, verdict(worstOk));
        std::printf("                              spread %7.1f ms (target at most %.0f)  %s\n",
                    spread, PauseSpreadTarget, verdict(spreadOk));
        const Stats g1 = stats(gap), l1 = stats(lateness), s1 = stats(latency);
        std::printf("  made of: audible end to Done median %+.1f (%+.1f..%+.1f); timer late "
                    "median %+.1f (%+.1f..%+.1f);\n           Play to audible start median %+.1f "
                    "(%+.1f..%+.1f)\n",
                    g1.median, g1.min, g1.max, l1.median, l1.min, l1.max, s1.median, s1.min,
                    s1.max);
        std::printf("  first sound %.1f ms after the Playback command\n\n", first);
    }

    const Stats f = stats(firstSounds), d = stats(endToDone), s = stats(startLatency),
                t = stats(timerLate);
    const bool firstOk = !firstSounds.empty() && f.max <= FirstSoundTarget;
    const bool doneOk = !endToDone.empty() && std::abs(d.median) <= DoneTarget;
    allMet = allMet && firstOk && doneOk && !groups.empty();
    std::printf("Overall\n");
    std::printf("  first sound after Playback: median %.1f, worst %.1f ms (target within %.0f)  "
                "%s\n",
                f.median, f.max, FirstSoundTarget, verdict(firstOk));
    std::printf("  audible end to Done:        median %+.1f, range %+.1f..%+.1f ms (target: median "
                "within %.0f)  %s\n",
                d.median, d.min, d.max, DoneTarget, verdict(doneOk));
    std::printf("  Play command to sound:      median %+.1f, range %+.1f..%+.1f ms\n", s.median,
                s.min, s.max);
    std::printf("  timer late (Done to Play, less the pause): median %+.1f, range %+.1f..%+.1f "
                "ms\n",
                t.median, t.min, t.max);
    std::printf("\n%s\n", allMet ? "All targets met." : "Some targets MISSED.");
    return allMet ? 0 : 1;
}

std::optional<Options> parse(const QStringList &args) {
    Options o;
    for (qsizetype i = 2; i + 1 < args.size(); i += 2) {
        const QString &key = args[i];
        const QString &value = args[i + 1];
        if (key == u"--recording"_s) {
            o.recording = value;
        } else if (key == u"--events"_s) {
            o.events = value;
        } else if (key == u"--rate"_s) {
            o.rate = value.toInt();
        } else if (key == u"--pauses-each"_s) {
            o.pausesEach = value.toInt();
        } else if (key == u"--pauses"_s) {
            o.pauses.clear();
            for (const QString &p : value.split(u','))
                o.pauses << p.toInt();
        } else {
            return std::nullopt;
        }
    }
    if (o.recording.isEmpty() || o.rate < 8000 || o.pausesEach < 1 || o.pauses.isEmpty())
        return std::nullopt;
    return o;
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    const std::optional<Options> options = parse(args);
    if (options && mode == u"play"_s)
        return play(*options);
    if (options && mode == u"analyse"_s && !options->events.isEmpty())
        return analyse(*options);
    std::fprintf(stderr,
                 "usage: %s play --recording RAW [--rate HZ] [--pauses 500,1000,...] "
                 "[--pauses-each N]\n"
                 "       %s analyse --recording RAW --events LOG [--rate HZ]\n"
                 "RAW is 16-bit mono little-endian at HZ (44100), being recorded while "
                 "\"play\" runs.\n",
                 argv[0], argv[0]);
    return 2;
}
