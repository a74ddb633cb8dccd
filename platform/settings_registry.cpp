#include "platform/settings_registry.h"

#include "platform/files/regular_file.h"

#include <QFile>

#include <cerrno>
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

// The key path of a section header under the local-machine root, or nullopt
// (another root, or a path deeper or with longer names than a registry has).
std::optional<QString> sectionKey(QStringView header)
{
    const QList<QStringView> parts = header.trimmed().split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.front().compare(kRootName, Qt::CaseInsensitive) != 0 ||
        parts.size() - 1 > kMaxKeyDepth)
        return std::nullopt;
    QString key;
    for (qsizetype k = 1; k < parts.size(); ++k) {
        if (parts[k].size() > kMaxKeyNameLength)
            return std::nullopt;
        if (k > 1)
            key += QLatin1Char('\\');
        key += parts[k];
    }
    return key;
}

}  // namespace

SettingsRegistry::SettingsRegistry(QString path) : m_path(std::move(path)) {}

void SettingsRegistry::load(const QString& text)
{
    clear();
    // The values of the current section, looked up once per header: the
    // cost of a file stays in proportion to its length, however long a
    // section's path and however many values follow it.
    std::map<QString, RegistryValue>* section = nullptr;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const std::optional<QString> key = sectionKey(line.mid(1, line.size() - 2));
            section = key && !key->isEmpty() ? &valuesAt(*key) : nullptr;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!section || equals <= 0)
            continue;
        const QString name = line.left(equals).trimmed().toString();
        if (std::optional<RegistryValue> value = parseValue(line.mid(equals + 1).trimmed().toString()))
            (*section)[foldedName(name)] = std::move(*value);
    }
}

std::int32_t SettingsRegistry::refresh()
{
    clear();
    const FileContent file =
        readRegularFile(QFile::encodeName(m_path).toStdString(), kMaxSettingsFileBytes);
    if (file.status == FileReadStatus::OpenFailed && file.errorNumber == ENOENT)
        return kErrorSuccess;  // nothing configured: every key is missing
    if (file.status != FileReadStatus::Read)
        return kErrorAccessDenied;
    QString text = QString::fromUtf8(file.bytes.data(), static_cast<qsizetype>(file.bytes.size()));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    load(text);
    return kErrorSuccess;
}

}  // namespace quilfen
