#include "bench/build_record.h"

#include <hwy/highway.h>

namespace quilfen {

BuildRecord thisBuild()
{
    BuildRecord b;
    b.version = programVersion();
#if defined(__clang__)
    b.compiler = __VERSION__;  // names itself: "Debian Clang 14.0.6"
#elif defined(__GNUC__)
    b.compiler = "GCC " __VERSION__;
#else
    b.compiler = "unknown compiler";
#endif
    b.buildType = QUILFEN_BUILD_TYPE;
    b.arithmeticFlags = QUILFEN_ARITHMETIC_FLAGS;
    b.contractionOff = b.arithmeticFlags.find("-ffp-contract=off") != std::string::npos;
    b.vectorLibrary = "Highway " + std::to_string(HWY_MAJOR) + '.' + std::to_string(HWY_MINOR) + '.' +
                      std::to_string(HWY_PATCH);
    return b;
}

std::string programVersion()
{
    return QUILFEN_VERSION;
}

}  // namespace quilfen
