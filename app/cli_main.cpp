// quilfen-cli: the program's engine without a desktop.
//
//   quilfen-cli grid --centre-re X --centre-im Y --range R --max-iter M
//       prints the 401 × 401 escape-time counts, one line per column i,
//       the counts for j = 0 … 400 separated by single spaces.
//
// Bad or missing arguments: a message on stderr and exit status 2.

#include "cli_options.h"
#include "mandel11.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

using quilfen::cli::Options;
using quilfen::cli::UsageError;

constexpr const char* kUsage =
    "usage: quilfen-cli grid --centre-re X --centre-im Y --range R --max-iter M\n";

int runGrid(const Options& options)
{
    quilfen::HalfSize = 200;
    quilfen::CalcCond.CentreRe = options.requireDouble("--centre-re");
    quilfen::CalcCond.CentreIm = options.requireDouble("--centre-im");
    quilfen::CalcCond.Range = options.requireDouble("--range");
    quilfen::MaxIter = static_cast<std::int32_t>(options.requireInt("--max-iter", 1, quilfen::kMaxIterLimit));
    options.rejectUnused();

    quilfen::CalcMandel();

    std::string line;
    const int last = 2 * quilfen::HalfSize;
    for (int i = 0; i <= last; ++i) {
        line.clear();
        for (int j = 0; j <= last; ++j) {
            if (j > 0)
                line += ' ';
            line += std::to_string(quilfen::IterMap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
        }
        line += '\n';
        std::fputs(line.c_str(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    try {
        if (argc < 2)
            throw UsageError("missing command");
        const std::string command = argv[1];
        const Options options(argc - 2, argv + 2);
        if (command == "grid")
            return runGrid(options);
        throw UsageError("unknown command '" + command + "'");
    } catch (const UsageError& e) {
        std::cerr << "quilfen-cli: " << e.what() << '\n' << kUsage;
        return 2;
    }
}
