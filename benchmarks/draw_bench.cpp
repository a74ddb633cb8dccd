// DrawMandel onto the real picture box, repaints included, under whatever Qt
// platform is set (offscreen when none is): the time the user waits after the
// computation. In the same run, as the yardstick, the two-thread computation
// of the same picture; the run ends with the ratio of the two. It fails (exit
// status 1) when the screen does not show what the picture box holds.
//
//   quilfen-draw-bench [Google Benchmark flags]
//   quilfen-draw-bench --draws N   N drawings and the screen check, no timing:
//                                  for counting what drawings send to the X
//                                  server (xtrace -w, or the server's counters)
//
// tools/draw-bench.sh runs it offscreen and on a private Xvfb display.

#include "escape_time.h"
#include "mandel11.h"
#include "bench_support.h"
#include "picture_box.h"

#include <QApplication>
#include <QCoreApplication>
#include <QScreen>

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

void runDraw(benchmark::State& state)
{
    for (auto _ : state)
        DrawMandel();
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

// True when the window on the screen shows what one full repaint of the box
// shows, so that repainting only the changed parts left nothing behind.
bool screenShowsThePicture(PictureBox& box)
{
    QImage screen = box.screen()->grabWindow(box.winId(), 0, 0, box.width(), box.height()).toImage();
    QImage full = box.grab().toImage();
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
        return false;
    }
    return true;
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
        for (int k = 0; k < draws; ++k)
            DrawMandel();
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
        setUp(benchmark::RegisterBenchmark("draw", runDraw));
        setUp(benchmark::RegisterBenchmark("compute/2-threads", runCompute));
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        printRatio(reporter);
        // The last timed run may have been the computation: show its picture.
        DrawMandel();
    }
    const bool shown = screenShowsThePicture(box);
    attachPicture(nullptr, {});
    return shown ? 0 : 1;
}
