// quilfen-cli: the program's engine without a desktop.
//
//   quilfen-cli grid --centre-re X --centre-im Y --range R --max-iter M
//       prints the 401 × 401 escape-time counts, one line per column i,
//       the counts for j = 0 … 400 separated by single spaces.
//
//   quilfen-cli bench [--runs N] [--threads T] [--json]
//       times the benchmark computation N times after a warm-up (without
//       --runs, as many times as fill about two seconds) and prints the
//       median and best seconds, MFLOPS, the ratio to the reference machine,
//       the engine's instruction set and threads, and whether the computed
//       counts are right. Wrong counts print INVALID and exit with status 1.
//
//   quilfen-cli render --centre-re X --centre-im Y --range R --max-iter M
//                      [--palette FILE] [--size N] --out FILE
//       writes the picture the main window shows for that region, N × N
//       pixels (default 400, the window's; up to 16384), as a PNG file when
//       the name ends in .png and as a BMP file otherwise, coloured with FILE
//       or with default.qpl beside the program. Shows its progress on a
//       terminal's stderr when it takes more than a second. An unreadable
//       palette or a failed write: exit status 1.
//
// Bad or missing arguments: a message on stderr and exit status 2.

#include "cli_commands.h"
#include "cli_options.h"
#include "mandel11.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace quilfen::cli {

int runGrid(const Options& options)
{
    HalfSize = 200;
    CalcCond.CentreRe = options.requireDouble("--centre-re");
    CalcCond.CentreIm = options.requireDouble("--centre-im");
    CalcCond.Range = options.requireDouble("--range");
    MaxIter = static_cast<std::int32_t>(options.requireInt("--max-iter", 1, kMaxIterLimit));
    options.rejectUnused();

    CalcMandel();

    std::string line;
    const int last = 2 * HalfSize;
    for (int i = 0; i <= last; ++i) {
        line.clear();
        for (int j = 0; j <= last; ++j) {
            if (j > 0)
                line += ' ';
            line += std::to_string(IterMap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
        }
        line += '\n';
        std::fputs(line.c_str(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace quilfen::cli

namespace {

constexpr const char* kUsage =
    "usage: quilfen-cli grid --centre-re X --centre-im Y --range R --max-iter M\n"
    "       quilfen-cli bench [--runs N] [--threads T] [--json]\n"
    "       quilfen-cli render --centre-re X --centre-im Y --range R --max-iter M"
    " [--palette FILE] [--size N] --out FILE\n";

}  // namespace

int main(int argc, char* argv[])
{
    using namespace quilfen::cli;
    try {
        if (argc < 2)
            throw UsageError("missing command");
        const std::string command = argv[1];
        const Options options(argc - 2, argv + 2);
        if (command == "grid")
            return runGrid(options);
        if (command == "bench")
            return runBench(options);
        if (command == "render")
            return runRender(options, argc, argv);
        throw UsageError("unknown command '" + command + "'");
    } catch (const UsageError& e) {
        std::cerr << "quilfen-cli: " << e.what() << '\n' << kUsage;
        return 2;
    }
}
