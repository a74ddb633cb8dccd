#include "test_files.h"

#include <QFile>

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

}  // namespace quilfen::test
