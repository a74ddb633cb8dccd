#include "bench/instruction_set_name.h"

#include "engine/escape_time_simd.h"

namespace quilfen {

std::string instructionSetName(std::string_view target)
{
    // AVX3 is AVX-512 (F, VL, DQ, BW); AVX3_DL and later variants add
    // extensions of it.
    if (target.substr(0, 4) == "AVX3")
        return "AVX-512";
    if (target == "EMU128" || target == "SCALAR")
        return {};
    return std::string(target);
}

std::string engineInstructionSetName()
{
    return instructionSetName(simdTargetName());
}

}  // namespace quilfen
