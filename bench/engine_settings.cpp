#include "engine_settings.h"

namespace quilfen {

// The engine computes one point at a time on the calling thread.
std::string benchEngineInstructionSet()
{
    return "SCALAR";
}

int benchEngineThreads()
{
    return 1;
}

int setBenchEngineThreads(int)
{
    return 1;
}

}  // namespace quilfen
