#pragma once

// The commands of quilfen-cli. Each returns the process's exit status and
// throws cli::UsageError for a bad command line.

namespace quilfen::cli {

class Options;

int runGrid(const Options& options);
int runBench(const Options& options);
int runRender(const Options& options, int argc, char** argv);

}  // namespace quilfen::cli
