// DrawMandel onto the real picture box, repaints included, under whatever Qt
// platform is set (offscreen when none is): the time the user waits after the
// computation.

#include "mandel11.h"
#include "picture_box.h"

#include <QApplication>
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace quilfen;

namespace {

void drawOnPictureBox(benchmark::State& state)
{
    PictureBox box;
    box.setObjectName(QStringLiteral("Picture1"));
    box.resize(401, 401);
    box.show();
    QCoreApplication::processEvents();

    resetEngineState();
    HalfSize = 200;
    CalcCond = {-0.15, 0.8, 0.4};
    MaxIter = 500;
    for (int k = 0; k < kPaletteEntries; ++k)
        PalTable[static_cast<std::size_t>(k)] = {static_cast<std::int16_t>(k % 256),
                                                 static_cast<std::int16_t>((k * 7) % 300),
                                                 static_cast<std::int16_t>(1024 - k)};
    CalcMandel();
    attachPicture(&box, [] { QCoreApplication::processEvents(); });
    for (auto _ : state)
        DrawMandel();
    attachPicture(nullptr, {});
    state.SetLabel(QGuiApplication::platformName().toStdString());
}

}  // namespace

BENCHMARK(drawOnPictureBox)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
