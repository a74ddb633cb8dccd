#include "platform/platform.h"

#include "engine/tick_count.h"

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

std::uint32_t waitTicks(std::uint32_t start, std::uint32_t ms)
{
    Platform& desktop = platform();
    for (;;) {
        const std::uint32_t now = desktop.tickCount();
        if (ticksReached(start, ms, now))
            return now;
        if (const std::uint32_t sleep = sleepableTicks(start, ms, now); sleep > 0)
            desktop.sleepRepainting(sleep);
    }
}

void showErrorBox(const QString& text)
{
    platform().messageBox({.text = text, .title = QStringLiteral("Error"), .icon = MsgIcon::Critical});
}

}  // namespace quilfen
