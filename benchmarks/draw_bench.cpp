// DrawMandel onto the real picture box, repaints included, under whatever Qt
// platform is set (offscreen when none is): the time the user waits after the
// computation. In the same run, as the yardstick, the two-thread computation
// of the same picture; the run ends with the ratio of the two. It fails (exit
// status 1) when the screen does not show what the picture box holds. Where
// a program cannot read the screen (Wayland) it looks at a screenshot the
// compositor takes (weston's screenshooter), and skips the check, saying why,
// when the compositor takes none.
//
//   quilfen-draw-bench [Google Benchmark flags]
//   quilfen-draw-bench --draws N   N drawings and the screen check, no timing:
//                                  for counting what drawings send to the X
//                                  server (xtrace -w, or the server's counters)
//
// tools/draw-bench.sh runs it offscreen, on a private Xvfb display and on a
// private headless weston.

#include "benchmarks/bench_support.h"
#include "engine/escape_time.h"
#include "engine/mandel11.h"
#include "platform/picture_box.h"
#include "platform/qt_platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace quilfen;

namespace {

constexpr int kRepetitions = 5;

// The benchmark's picture (the program's benchmark region) with a made-up palette.
void setUpEngine()
{
    resetEngineState();
    HalfSize = kHalfSize;
    CalcCond = {-0.15, 0.8, 0.4};
    MaxIter = 500;
    for (int k = 0; k < kPaletteEntries; ++k)
        PalTable[static_cast<std::size_t>(k)] = {static_cast<std::int16_t>(k % 256),
                                                 static_cast<std::int16_t>((k * 7) % 300),
                                                 static_cast<std::int16_t>(1024 - k)};
    CalcMandel();
}

// A drawing ends when its last columns are on the screen: paced to the
// display's frames, they wait for a frame that the timing does not see, so
// each drawing here shows them at once.
void runDraw(PictureBox& box, benchmark::State& state)
{
    for (auto _ : state) {
        DrawMandel();
        box.showPending();
    }
    state.SetLabel(QGuiApplication::platformName().toStdString());
}

void runCompute(benchmark::State& state)
{
    setEngineThreads(2);
    for (auto _ : state) {
        CalcMandel();
        benchmark::DoNotOptimize(IterMap.data());
        benchmark::ClobberMemory();
    }
    setEngineThreads(0);
}

// Where the box's picture is in a screenshot: the position where its first
// columns (the ones a drawing shows first) appear, or (-1, -1).
QPoint findPicture(const QImage& shot, const QImage& picture)
{
    const int anchorWidth = std::min(picture.width(), 64);
    for (int y = 0; y + picture.height() <= shot.height(); ++y)
        for (int x = 0; x + picture.width() <= shot.width(); ++x) {
            bool same = true;
            for (int row = 0; same && row < picture.height(); ++row)
                for (int col = 0; same && col < anchorWidth; ++col)
                    same = shot.pixel(x + col, y + row) == picture.pixel(col, row);
            if (same)
                return {x, y};
        }
    return {-1, -1};
}

// The screen as the compositor shows it, from weston's screenshooter (which
// writes a PNG file into the folder it runs in); null, with the reason, when
// there is none.
QImage compositorScreenshot(QString* whyNot)
{
    const QString shooter = QStandardPaths::findExecutable(QStringLiteral("weston-screenshooter"));
    if (shooter.isEmpty()) {
        *whyNot = QStringLiteral("weston-screenshooter is not installed");
        return {};
    }
    QTemporaryDir folder;
    QProcess process;
    process.setWorkingDirectory(folder.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_PICTURES_DIR"), folder.path());
    env.insert(QStringLiteral("HOME"), folder.path());
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(shooter, {});
    // The compositor answers only while this program keeps its own
    // connection served, so the wait handles events.
    QDeadlineTimer deadline(10000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        process.waitForFinished(20);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        *whyNot = QStringLiteral("weston-screenshooter did not finish");
        return {};
    }
    const QStringList shots = QDir(folder.path()).entryList({QStringLiteral("*.png")}, QDir::Files);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || shots.isEmpty()) {
        *whyNot = QStringLiteral("the compositor took no screenshot (weston-screenshooter: %1)")
                      .arg(QString::fromLocal8Bit(process.readAll()).trimmed());
        return {};
    }
    return QImage(QDir(folder.path()).filePath(shots.first()));
}

enum class Shown { Yes, No, CannotLook };

// Whether the window on the screen shows what one full repaint of the box
// shows, so that repainting only the changed parts left nothing behind.
Shown screenShowsThePicture(PictureBox& box)
{
    QImage full = box.grab().toImage();
    QImage screen = box.screen()->grabWindow(box.winId(), 0, 0, box.width(), box.height()).toImage();
    if (screen.isNull()) {
        // The platform cannot read the screen back: look for the picture in
        // the compositor's screenshot instead.
        QString whyNot;
        const QImage shot = compositorScreenshot(&whyNot).convertToFormat(QImage::Format_RGB32);
        if (shot.isNull()) {
            std::printf("SKIPPED: the screen check: %s cannot read the screen back, and %s\n",
                        QGuiApplication::platformName().toUtf8().constData(), whyNot.toUtf8().constData());
            return Shown::CannotLook;
        }
        full = full.convertToFormat(QImage::Format_RGB32);
        full.setDevicePixelRatio(1.0);
        const QPoint at = findPicture(shot, full);
        if (at.x() < 0) {
            std::fprintf(stderr, "FAILED: the compositor's screenshot does not show the picture's first columns\n");
            return Shown::No;
        }
        screen = shot.copy(QRect(at, full.size()));
        std::printf("The screen check looks at the compositor's screenshot: the picture at (%d, %d)\n", at.x(),
                    at.y());
    }
    // Under a scale factor the offscreen platform grabs only the top-left part.
    full = full.copy(screen.rect()).convertToFormat(QImage::Format_RGB32);
    screen = screen.convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x)
            differing += screen.pixel(x, y) != full.pixel(x, y) ? 1 : 0;
    if (screen.isNull() || differing > 0) {
        std::fprintf(stderr, "FAILED: the screen does not show the picture (%d of %lld pixels differ)\n",
                     differing, static_cast<long long>(screen.width()) * screen.height());
        return Shown::No;
    }
    return Shown::Yes;
}

// Prints as usual and keeps each benchmark's best and median time in milliseconds.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> bestMs;
    std::map<std::string, double> medianMs;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (runFailedOrSkipped(run) || run.run_type != Run::RT_Aggregate)
                continue;
            const double ms = run.GetAdjustedRealTime() * millisecondsPer(run.time_unit);
            if (run.aggregate_name == "min")
                bestMs[run.run_name.function_name] = ms;
            else if (run.aggregate_name == "median")
                medianMs[run.run_name.function_name] = ms;
        }
    }
};

void printRatio(const RatioReporter& r)
{
    const auto draw = r.bestMs.find("draw");
    const auto compute = r.bestMs.find("compute/2-threads");
    if (draw == r.bestMs.end() || compute == r.bestMs.end())
        return;  // one of them filtered out on the command line
    const double drawMedian = r.medianMs.at("draw");
    const double computeMedian = r.medianMs.at("compute/2-threads");
    std::printf("\nOn %s, best (median) of %d interleaved repetitions:\n",
                QGuiApplication::platformName().toUtf8().constData(), kRepetitions);
    std::printf("  a full DrawMandel                %8.2f ms (%.2f ms)\n", draw->second, drawMedian);
    std::printf("  its picture computed, 2 threads  %8.2f ms (%.2f ms)\n", compute->second, computeMedian);
    std::printf("  drawing / computation            %8.2fx   (%.2fx)   goal: at most about 5x\n",
                draw->second / compute->second, drawMedian / computeMedian);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QtPlatform desktop;
    setPlatform(&desktop);

    int draws = -1;
    std::vector<char*> args;
    for (int k = 0; k < argc; ++k) {
        if (std::strcmp(argv[k], "--draws") == 0 && k + 1 < argc)
            draws = std::max(0, std::atoi(argv[++k]));
        else
            args.push_back(argv[k]);
    }
    if (!initialiseInterleaved(args))
        return 1;

    PictureBox box;
    box.setObjectName(QStringLiteral("Picture1"));
    box.resize(401, 401);
    box.show();
    QCoreApplication::processEvents();
    setUpEngine();
    attachPicture(&box, [] { QCoreApplication::processEvents(); });

    if (draws >= 0) {
        for (int k = 0; k < draws; ++k) {
            DrawMandel();
            box.showPending();
        }
    } else {
        auto setUp = [](benchmark::internal::Benchmark* b) {
            b->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Repetitions(kRepetitions)
                ->ReportAggregatesOnly(true)
                ->ComputeStatistics("min", [](const std::vector<double>& v) {
                    return *std::min_element(v.begin(), v.end());
                });
        };
        setUp(benchmark::RegisterBenchmark("draw", [&box](benchmark::State& state) { runDraw(box, state); }));
        setUp(benchmark::RegisterBenchmark("compute/2-threads", runCompute));
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        printRatio(reporter);
        // The last timed run may have been the computation: show its picture.
        DrawMandel();
        box.showPending();
    }
    QCoreApplication::processEvents();
    const Shown shown = screenShowsThePicture(box);
    attachPicture(nullptr, {});
    setPlatform(nullptr);
    return shown == Shown::No ? 1 : 0;
}
