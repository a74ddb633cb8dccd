// quilfen-cli: the program's engine without a desktop.
//
//   quilfen-cli grid --centre-re X --centre-im Y --range R --max-iter M
//       prints the 401 × 401 escape-time counts, one line per column i,
//       the counts for j = 0 … 400 separated by single spaces.
//
//   quilfen-cli bench [--runs N] [--threads T] [--json] [--strict]
//       times the benchmark computation N times after a warm-up (without
//       --runs, as many times as fill about two seconds, and while those
//       vary by more than 3 %, more until about ten seconds have passed) and
//       prints the machine, the build, the median, best and worst seconds,
//       MFLOPS, the ratio to the reference machine, the engine's instruction
//       set and threads, whether the runs agree (stable) and whether the
//       computed counts are right. Wrong counts print INVALID and exit with
//       status 1; runs that vary too much print UNSTABLE, and exit with
//       status 3 under --strict.
//
//   quilfen-cli compare A.json B.json [C.json ...]
//       puts results of bench --json side by side, one column each. Results
//       of another region are refused (status 1).
//
//   quilfen-cli render --centre-re X --centre-im Y --range R --max-iter M
//                      [--palette FILE] [--size N] [--format bmp|png] --out FILE
//       writes the picture the main window shows for that region, N × N
//       pixels (default 400, the window's; up to 16384), as a BMP or PNG
//       file as the name ends in .bmp or .png (a name ending otherwise needs
//       --format), coloured with FILE or with default.qpl beside the
//       program. --out - writes it to standard output (BMP unless --format
//       says otherwise), never to a terminal. Shows its progress on a
//       terminal's stderr when it takes more than a second. An unreadable
//       palette or a failed write: exit status 1. An existing file is
//       replaced only once the new one is complete, and only if the user may
//       write it; SIGTERM, SIGINT or SIGHUP leave it as it was.
//
//   quilfen-cli render --from PICTURE.png [--palette FILE] [--size N]
//                      [--format bmp|png] --out FILE
//       renders the region a PNG written by render carries again, by default
//       at its size with its palette (the same picture, pixel for pixel).
//       A PNG written by render carries the region, size, palette and
//       version in text entries.
//
//   quilfen-cli --help (or -h): this usage on standard output, exit status 0.
//
// Options are written "--name value" or "--name=value". Bad or missing
// arguments: a message on stderr and exit status 2. Output that cannot be
// written (standard output full or closed, a failed --out) is reported on
// stderr with the system's reason, exit status 1.

#include "app/cli_commands.h"
#include "app/cli_files.h"
#include "app/cli_options.h"
#include "app/utf8_locale.h"
#include "engine/mandel11.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

namespace quilfen::cli {

int runGrid(const Options& options)
{
    HalfSize = kHalfSize;
    CalcCond.CentreRe = options.requireDouble("--centre-re");
    CalcCond.CentreIm = options.requireDouble("--centre-im");
    CalcCond.Range = options.requireDouble("--range");
    MaxIter = static_cast<std::int32_t>(options.requireInt("--max-iter", 1, kMaxIterLimit));
    options.rejectUnused();

    CalcMandel();

    std::string line;
    int writeError = 0;
    const int last = 2 * HalfSize;
    for (int i = 0; i <= last && writeError == 0; ++i) {
        line.clear();
        for (int j = 0; j <= last; ++j) {
            line += std::to_string(IterMap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
            line += j < last ? ' ' : '\n';
        }
        if (std::fputs(line.c_str(), stdout) == EOF)
            writeError = errno;
    }
    return finishStandardOutput(writeError);
}

int finishStandardOutput(int writeError)
{
    if (std::fflush(stdout) != 0 && writeError == 0)
        writeError = errno;
    if (writeError == 0 && std::ferror(stdout))
        writeError = EIO;
    if (writeError == 0)
        return 0;
    std::fprintf(stderr, "quilfen-cli: cannot write to standard output: %s\n", std::strerror(writeError));
    return 1;
}

}  // namespace quilfen::cli

namespace {

constexpr const char* kUsage =
    "usage: quilfen-cli grid --centre-re X --centre-im Y --range R --max-iter M\n"
    "       quilfen-cli bench [--runs N] [--threads T] [--json] [--strict]\n"
    "       quilfen-cli compare A.json B.json [C.json ...]\n"
    "       quilfen-cli render --centre-re X --centre-im Y --range R --max-iter M"
    " [--palette FILE] [--size N] [--format bmp|png] --out FILE\n"
    "       quilfen-cli render --from PICTURE.png [--palette FILE] [--size N] [--format bmp|png] --out FILE\n"
    "       quilfen-cli --help\n"
    "options may also be written --name=value\n"
    "exit status: 0 done; 1 failed: an INVALID benchmark (wrong counts), a file that\n"
    "  cannot be read or written, results that cannot be compared; 2 bad arguments;\n"
    "  3 bench --strict: the timed runs vary by more than 3 % (UNSTABLE)\n";

// A descriptor 0, 1 or 2 that the caller left closed would be taken by the
// next file opened, and standard output would go into it. Each is held by
// /dev/null opened for reading only, so a write to a closed standard output
// fails as it should (EBADF).
void holdClosedStandardDescriptors()
{
    int fd = -1;
    do
        fd = ::open("/dev/null", O_RDONLY);
    while (fd >= 0 && fd <= STDERR_FILENO);
    if (fd >= 0)
        ::close(fd);
}

}  // namespace

int main(int argc, char* argv[])
{
    using namespace quilfen::cli;
    holdClosedStandardDescriptors();
    // A file size limit (ulimit -f) then fails the write with "File too large"
    // instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // An interrupted render leaves no temporary file behind.
    removeTemporaryFileOnSignals();
    // render's QCoreApplication would switch a C or POSIX locale's character
    // type to UTF-8 itself, with a warning on standard error.
    quilfen::preferUtf8CharacterType();
    try {
        const auto isHelp = [](const char* argument) {
            return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
        };
        if (std::any_of(argv + 1, argv + argc, isHelp)) {
            std::fputs(kUsage, stdout);
            return finishStandardOutput(0);
        }
        if (argc < 2)
            throw UsageError("missing command");
        const std::string command = argv[1];
        // compare takes file names, not options.
        if (command == "compare")
            return runCompare(argc - 2, argv + 2);
        const Options options(argc - 2, argv + 2);
        if (command == "grid")
            return runGrid(options);
        if (command == "bench")
            return runBench(options);
        if (command == "render")
            return runRender(options, argc, argv);
        throw UsageError("unknown command " + quoted(command));
    } catch (const UsageError& e) {
        std::cerr << "quilfen-cli: " << e.what() << '\n' << kUsage;
        return 2;
    } catch (const std::exception& e) {
        // Caught so that the stack unwinds, removing a temporary file on the way.
        std::cerr << "quilfen-cli: " << e.what() << '\n';
        return 1;
    }
}
