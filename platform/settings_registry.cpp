#include "settings_registry.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace quilfen {

namespace {

const QString kRootName = QStringLiteral("HKEY_LOCAL_MACHINE");

// "dword:0000001f" → 4 bytes, least significant first.
std::optional<RegistryValue> parseDword(const QString& digits)
{
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    bool ok = false;
    const std::uint32_t number = digits.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<char>((number >> (8 * i)) & 0xFFu);
    return RegistryValue{kRegDword, data};
}

// "hex:01,ff,20" → those bytes.
std::optional<RegistryValue> parseHex(const QString& list)
{
    QByteArray data;
    for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString byte = item.trimmed();
        bool ok = false;
        const uint value = byte.toUInt(&ok, 16);
        if (!ok || byte.size() > 2)
            return std::nullopt;
        data.append(static_cast<char>(value));
    }
    return RegistryValue{kRegBinary, data};
}

RegistryValue textValue(const QString& text)
{
    QByteArray data = text.toUtf8();
    data.append('\0');
    return {kRegSz, data};
}

std::optional<RegistryValue> parseValue(const QString& written)
{
    if (written.size() >= 2 && written.startsWith(QLatin1Char('"')) && written.endsWith(QLatin1Char('"')))
        return textValue(written.mid(1, written.size() - 2));
    if (written.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive))
        return parseDword(written.mid(6).trimmed());
    if (written.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive))
        return parseHex(written.mid(4));
    return textValue(written);
}

// The key path of a section header under the local-machine root, or nullopt.
std::optional<QString> sectionKey(const QString& header)
{
    const QString name = normaliseKeyPath(header.trimmed());
    if (name.compare(kRootName, Qt::CaseInsensitive) == 0)
        return QString();
    if (name.startsWith(kRootName + QLatin1Char('\\'), Qt::CaseInsensitive))
        return name.mid(kRootName.size() + 1);
    return std::nullopt;
}

}  // namespace

SettingsRegistry::SettingsRegistry(QString path) : m_path(std::move(path)) {}

void SettingsRegistry::load(const QString& text)
{
    clear();
    std::optional<QString> section;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = sectionKey(line.mid(1, line.size() - 2));
            if (section && !section->isEmpty())
                addKey(*section);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!section || section->isEmpty() || equals <= 0)
            continue;
        const QString name = line.left(equals).trimmed();
        if (const std::optional<RegistryValue> value = parseValue(line.mid(equals + 1).trimmed()))
            setValue(*section, name, *value);
    }
}

std::int32_t SettingsRegistry::refresh()
{
    QFile file(m_path);
    if (!QFileInfo::exists(m_path)) {
        clear();
        return kErrorSuccess;  // nothing configured: every key is missing
    }
    if (!file.open(QIODevice::ReadOnly)) {
        clear();
        return kErrorAccessDenied;
    }
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    load(text);
    return kErrorSuccess;
}

}  // namespace quilfen
