#include "bench/benchmark_command.h"

#include "bench/benchmark_figures.h"
#include "bench/grid_checksum.h"
#include "bench/result_dialog.h"
#include "engine/mandel11.h"
#include "platform/main_view.h"
#include "platform/platform.h"

#include <QColor>

namespace quilfen {

// Times four computations of a fixed region, reports the mean time, draws the
// region and shows the figures. The region stays the current one afterwards.
void runBenchmark(MainView& view)
{
    HalfSize = kBenchHalfSize;
    CalcCond = kBenchCondition;
    MaxIter = kBenchMaxIter;

    view.clearPicture();
    DrawDone = false;

    view.setStatus(QStringLiteral("計算中です。お待ち下さい…"), QColor(255, 0, 0));

    // The menu just closed: the window repaints where it was, during the
    // settling wait too (a window manager sends the exposes a little later).
    Platform& desktop = platform();
    desktop.repaintWindows();

    // Timing starts at the first reading a full second after t0, right on a
    // tick change, so the measurement does not begin part-way into a tick.
    // Unsigned differences keep this right when the counter wraps.
    const std::uint32_t t0 = desktop.tickCount();
    const std::uint32_t ts = waitTicks(t0, kSettlingMs);

    // The benchmark times every iteration: no stopping of points that cycle.
    for (int run = 0; run < kBenchRuns; ++run)
        CalcMandel(EngineWork::Full);

    const std::uint32_t t1 = desktop.tickCount();
    CalcSeconds = secondsPerComputation(ts, t1);
    // With 0 ms measured there is no rate to show: mflopsText gives "-".
    MflopsText = mflopsText(CalcSeconds);

    // The figures mean something only if the counts are right: the grid is
    // checked against the reference's checksum, after the closing tick
    // reading so the check is not timed.
    BenchInvalid = !benchmarkGridValid(IterMap);
    if (BenchInvalid) {
        MflopsText = kInvalidFigure;
        view.setStatus(QStringLiteral("計算結果が正しくないため、ベンチマークの結果は無効です"),
                  QColor(255, 0, 0));
    } else {
        view.setStatus(QStringLiteral("計算時間は") + QString::fromStdString(secondsText(CalcSeconds)) +
                      QStringLiteral("秒"),
                  QColor(0, 0, 0));
    }

    DrawMandel();

    // The window was closed while the run went on: the program ends now, as
    // closing the window ends it at any other time, without the result.
    if (view.closed()) {
        desktop.endProgram(0);
        return;
    }
    ResultDialog dialog(view.window());
    desktop.showModal(dialog);
}

}  // namespace quilfen
