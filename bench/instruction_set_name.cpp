#include "bench/instruction_set_name.h"

#include "engine/escape_time.h"

#include <array>
#include <utility>

namespace quilfen {

std::string instructionSetName(std::string_view target)
{
    // AVX3 is AVX-512 (F, VL, DQ, BW); AVX3_DL and later variants add
    // extensions of it.
    if (target.substr(0, 4) == "AVX3")
        return "AVX-512";
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kNames{{
        {"SVE_256", "SVE"},
        {"SVE2_128", "SVE2"},
        {"PPC8", "VSX"},
        {"PPC9", "VSX"},
        {"PPC10", "VSX"},
        {"WASM", "WebAssembly SIMD"},
        {"WASM_EMU256", "WebAssembly SIMD"},
        {"RVV", "RISC-V V"},
        {"EMU128", ""},
        {"SCALAR", ""},
    }};
    for (const auto& [library, user] : kNames) {
        if (target == library)
            return std::string(user);
    }
    return std::string(target);
}

std::string engineInstructionSetName()
{
    return instructionSetName(engineInstructionSet());
}

}  // namespace quilfen
