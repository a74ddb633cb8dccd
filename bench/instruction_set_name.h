#pragma once

// How the benchmark names the instruction set the engine runs with: the
// name users know from processor data sheets, not the vector library's own.

#include <string>
#include <string_view>

namespace quilfen {

// The user's name for a target of the vector library: "AVX3" and its
// variants are "AVX-512", "AVX2", "SSE4", "NEON" and the like stay. An empty
// text for the targets without vector instructions (EMU128, SCALAR). A name
// not known here is returned unchanged.
std::string instructionSetName(std::string_view target);

// The user's name of the instruction set computeIterMap runs with now.
std::string engineInstructionSetName();

}  // namespace quilfen
