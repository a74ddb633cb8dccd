#pragma once

// What the benchmark reports about the engine it times, and the one knob it
// turns (the number of worker threads).

#include <string>

namespace quilfen {

// Name of the instruction set the engine computes with ("AVX3", "SCALAR"…).
std::string benchEngineInstructionSet();

// Number of threads the engine computes with.
int benchEngineThreads();

// Asks the engine to compute with `threads` threads (1 or more); returns the
// number it will use.
int setBenchEngineThreads(int threads);

}  // namespace quilfen
