#pragma once

// The commands of quilfen-cli. Each returns the process's exit status and
// throws cli::UsageError for a bad command line.

namespace quilfen::cli {

class Options;

int runGrid(const Options& options);
int runBench(const Options& options);
int runRender(const Options& options, int argc, char** argv);
// files: the names of the results to compare.
int runCompare(int fileCount, char** files);

// Flushes standard output. If that or an earlier write (whose errno is
// writeError, 0 for none) failed, says so on standard error with the
// system's reason and returns 1; otherwise returns 0.
int finishStandardOutput(int writeError);

}  // namespace quilfen::cli
