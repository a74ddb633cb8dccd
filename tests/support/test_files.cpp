#include "tests/support/test_files.h"

#include <QFile>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace quilfen::test {

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray paletteText(int entries, const std::function<std::array<int, 3>(int)>& colour,
                       const QByteArray& header)
{
    QByteArray text = header + "\r\n";
    for (int k = 0; k < entries; ++k) {
        const std::array<int, 3> c = colour(k);
        text += QByteArray::number(c[0]) + ',' + QByteArray::number(c[1]) + ',' + QByteArray::number(c[2]) +
                "\r\n";
    }
    return text;
}

QByteArray rampPaletteText(const QByteArray& header, int entries)
{
    return paletteText(entries, [](int k) { return std::array<int, 3>{k % 256, (k * 3) % 256, 7}; }, header);
}

bool makeSpecialFile(const QString& path, const QString& kind)
{
    const QByteArray native = QFile::encodeName(path);
    if (kind == QLatin1String("pipe"))
        return mkfifo(native.constData(), 0600) == 0;
    if (kind == QLatin1String("device"))
        return mknod(native.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (kind != QLatin1String("socket") || native.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, native.constData(), static_cast<std::size_t>(native.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        close(fd);
    return bound;
}

}  // namespace quilfen::test
