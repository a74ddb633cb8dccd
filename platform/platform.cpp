#include "platform.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

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

bool isStartableProgram(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    return ::stat(native.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(native.constData(), X_OK) == 0;
}

}  // namespace quilfen
