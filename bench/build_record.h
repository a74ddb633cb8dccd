#pragma once

// The build a benchmark result was measured with: the same machine gives
// other figures with another compiler, other flags or another vector library.

#include <string>

namespace quilfen {

struct BuildRecord {
    std::string version;         // the program's, "3.0.0"
    std::string compiler;        // "GCC 12.2.0", "Debian Clang 14.0.6"
    std::string buildType;       // CMake's: "Release", "Debug", …
    std::string arithmeticFlags; // the compile flags that change floating-point results or speed
    bool contractionOff = false; // -ffp-contract=off: no fused multiply-add anywhere
    std::string vectorLibrary;   // "Highway 1.0.3"
};

// This program's build.
BuildRecord thisBuild();

// The program's version, "3.0.0".
std::string programVersion();

}  // namespace quilfen
