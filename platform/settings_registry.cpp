#include "platform/settings_registry.h"

#include "platform/files/regular_file.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quilfen {

namespace {

const QString kRootName = QStringLiteral("HKEY_LOCAL_MACHINE");

// "dword:0000001f" → 4 bytes, least significant first.
std::optional<RegistryValue> parseDword(const QString& digits)
{
    bool ok = false;
    const std::uint32_t number = digits.toUInt(&ok, 16);
    if (digits.isEmpty() || digits.size() > 8 || !ok)
        return std::nullopt;
    return dwordValue(number);
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
    const QStringList parts = header.trimmed().toString().split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    const auto tooLong = [](const QString& name) { return name.size() > kMaxKeyNameLength; };
    if (parts.isEmpty() || parts.front().compare(kRootName, Qt::CaseInsensitive) != 0 ||
        parts.size() - 1 > kMaxKeyDepth || std::any_of(parts.begin(), parts.end(), tooLong))
        return std::nullopt;
    return parts.mid(1).join(QLatin1Char('\\'));
}

}  // namespace

RegistryValue textValue(const QString& text)
{
    QByteArray data = text.toUtf8();
    data.append('\0');
    return {kRegSz, data};
}

RegistryValue dwordValue(std::uint32_t number)
{
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<char>((number >> (8 * i)) & 0xFFu);
    return {kRegDword, data};
}

QString normaliseKeyPath(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
}

SettingsRegistry::SettingsRegistry(QString path) : m_path(std::move(path)) {}

void SettingsRegistry::load(const QString& text)
{
    // The values of the current section, looked up once per header: the
    // cost of a file stays in proportion to its length, however long a
    // section's path and however many values follow it.
    Values* section = nullptr;
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
            (*section)[folded(name)] = std::move(*value);
    }
}

std::int32_t SettingsRegistry::refresh()
{
    m_keys.clear();
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

SettingsRegistry::Values& SettingsRegistry::valuesAt(const QString& keyPath)
{
    return m_keys[folded(normaliseKeyPath(keyPath))];
}

bool SettingsRegistry::hasSubKeys(const QString& foldedPath) const
{
    // The keys below a path sort right after the path and its separator, so
    // one ordered lookup finds whether there is any.
    const QString prefix = foldedPath + QLatin1Char('\\');
    const auto below = m_keys.lower_bound(prefix);
    return below != m_keys.end() && below->first.startsWith(prefix);
}

std::optional<QString> SettingsRegistry::fullPath(RegistryKey root, const QString& subKey) const
{
    QString base;
    if (root != kHkeyLocalMachine) {
        const auto parent = m_handles.find(root);
        if (parent == m_handles.end())
            return std::nullopt;
        base = parent->second.path;
    }
    return normaliseKeyPath(base + QLatin1Char('\\') + subKey);
}

std::int32_t SettingsRegistry::openKey(RegistryKey root, const QString& subKey, std::uint32_t /*options*/,
                                       std::uint32_t /*access*/, RegistryKey* key)
{
    const std::optional<QString> path = fullPath(root, subKey);
    if (!path)
        return kErrorInvalidHandle;
    if (const std::int32_t status = refresh(); status != kErrorSuccess)
        return status;
    const QString foldedPath = folded(*path);
    const auto found = m_keys.find(foldedPath);
    if (found == m_keys.end() && !path->isEmpty() && !hasSubKeys(foldedPath))
        return kErrorFileNotFound;

    const RegistryKey handle = m_nextHandle++;
    m_handles[handle] = {*path, found != m_keys.end() ? found->second : Values()};
    *key = handle;
    return kErrorSuccess;
}

std::int32_t SettingsRegistry::queryValue(RegistryKey key, const QString& valueName, std::uint32_t* kind,
                                          unsigned char* data, std::uint32_t* size)
{
    const std::uint32_t capacity = size ? *size : 0;
    const auto handle = m_handles.find(key);
    if (handle == m_handles.end())
        return kErrorInvalidHandle;
    const auto value = handle->second.values.find(folded(valueName));
    if (value == handle->second.values.end())
        return kErrorFileNotFound;

    const QByteArray& bytes = value->second.data;
    const auto needed = static_cast<std::uint32_t>(bytes.size());
    if (kind)
        *kind = value->second.kind;
    if (size)
        *size = needed;
    if (data != nullptr && needed > capacity)
        return kErrorMoreData;
    if (data != nullptr && needed > 0)
        std::memcpy(data, bytes.constData(), needed);
    return kErrorSuccess;
}

std::int32_t SettingsRegistry::closeKey(RegistryKey key)
{
    return m_handles.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace quilfen
