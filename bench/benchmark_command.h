#pragma once

namespace quilfen {

class MainView;

// The benchmark menu command: times four computations of the benchmark
// region, draws it and shows the figures in the result dialog.
void runBenchmark(MainView& view);

}  // namespace quilfen
