// quilfen-cli: the program's engine without a desktop. main() hands each
// command to its runner: grid below; bench, compare and render in their own
// files, each described there. kUsage is the user's summary of the commands,
// their options and the exit statuses.

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

// The 401 × 401 escape-time counts, one line per column i, the counts for
// j = 0 … 400 separated by single spaces.
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
