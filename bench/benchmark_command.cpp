#include "mandel_window.h"

#include "benchmark_figures.h"
#include "mandel11.h"
#include "picture_box.h"
#include "platform.h"
#include "result_dialog.h"

#include <QColor>

namespace quilfen {

// Times four computations of a fixed region, reports the mean time, draws the
// region and shows the figures. The region stays the current one afterwards.
void MANDEL::MenuBenchGo_Click()
{
    HalfSize = kBenchHalfSize;
    CalcCond = kBenchCondition;
    MaxIter = kBenchMaxIter;

    Picture1->Cls();
    DrawDone = false;

    setStatus(QStringLiteral("計算中です。お待ち下さい…"), QColor(255, 0, 0));

    // Timing starts at the first reading a full second after t0, right on a
    // tick change, so the measurement does not begin part-way into a tick.
    // Unsigned differences keep this right when the counter wraps.
    Platform& desktop = platform();
    const std::uint32_t t0 = desktop.tickCount();
    std::uint32_t ts = 0;
    do {
        ts = desktop.tickCount();
    } while (!settlingDone(t0, ts));

    // The benchmark times every iteration: no stopping of points that cycle.
    for (int run = 0; run < kBenchRuns; ++run)
        CalcMandel(EngineWork::Full);

    const std::uint32_t t1 = desktop.tickCount();
    CalcSeconds = secondsPerComputation(ts, t1);
    // With 0 ms measured there is no rate to show: mflopsText gives "-".
    MflopsText = mflopsText(CalcSeconds);

    setStatus(QStringLiteral("計算時間は") + QString::fromStdString(secondsText(CalcSeconds)) +
                  QStringLiteral("秒"),
              QColor(0, 0, 0));

    DrawMandel();

    ResultDialog dialog(this);
    desktop.showModal(dialog);
}

}  // namespace quilfen
