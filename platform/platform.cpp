#include "platform.h"

#include <cassert>

namespace quilfen {

namespace {
Platform* g_platform = nullptr;
}

Platform& platform()
{
    assert(g_platform != nullptr && "setPlatform must be called before the first use");
    return *g_platform;
}

void setPlatform(Platform* platform)
{
    g_platform = platform;
}

}  // namespace quilfen
