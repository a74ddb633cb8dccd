#include "platform/memory_registry.h"

#include <QStringList>

#include <cstring>

namespace quilfen {

QString normaliseKeyPath(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
}

namespace {
QString folded(const QString& name)
{
    return name.toCaseFolded();
}
}  // namespace

MemoryRegistry::Key& MemoryRegistry::keyAt(const QString& path)
{
    const QString normal = normaliseKeyPath(path);
    Key& key = m_keys[folded(normal)];
    if (key.path.isEmpty())
        key.path = normal;
    return key;
}

std::map<QString, RegistryValue>& MemoryRegistry::valuesAt(const QString& path)
{
    return keyAt(path).values;
}

QString MemoryRegistry::foldedName(const QString& name)
{
    return folded(name);
}

MemoryRegistry::KeyMap::const_iterator MemoryRegistry::findKey(const QString& foldedPath) const
{
    return m_keys.find(foldedPath);
}

bool MemoryRegistry::hasSubKeys(const QString& foldedPath) const
{
    // As on the desktop's registry, a key's parents exist with it. They are
    // not stored: the keys below a path sort right after the path and its
    // separator, so one ordered lookup finds whether there is any.
    const QString prefix = foldedPath + QLatin1Char('\\');
    const auto below = m_keys.lower_bound(prefix);
    return below != m_keys.end() && below->first.startsWith(prefix);
}

void MemoryRegistry::setValue(const QString& key, const QString& valueName, const RegistryValue& value)
{
    keyAt(key).values[folded(valueName)] = value;
}

void MemoryRegistry::setText(const QString& key, const QString& valueName, const QString& text)
{
    // Stored as the desktop stores text: its bytes and a terminating NUL.
    QByteArray data = text.toUtf8();
    data.append('\0');
    setValue(key, valueName, {kRegSz, data});
}

void MemoryRegistry::setDword(const QString& key, const QString& valueName, std::uint32_t number)
{
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<char>((number >> (8 * i)) & 0xFFu);
    setValue(key, valueName, {kRegDword, data});
}

void MemoryRegistry::addKey(const QString& key)
{
    keyAt(key);
}

void MemoryRegistry::setGrantedAccess(const QString& key, std::uint32_t access)
{
    keyAt(key).grantedAccess = access;
}

void MemoryRegistry::clear()
{
    m_keys.clear();
}

std::int32_t MemoryRegistry::openKey(RegistryKey root, const QString& subKey, std::uint32_t /*options*/,
                                     std::uint32_t access, RegistryKey* key)
{
    QString base;
    std::int32_t status = kErrorSuccess;
    if (root != kHkeyLocalMachine) {
        const auto parent = m_handles.find(root);
        if (parent == m_handles.end())
            status = kErrorInvalidHandle;
        else
            base = parent->second.path;
    }
    const QString path = normaliseKeyPath(base + QLatin1Char('\\') + subKey);

    if (status == kErrorSuccess)
        status = refresh();
    const QString foldedPath = folded(path);
    const auto found = findKey(foldedPath);
    if (status == kErrorSuccess && found == m_keys.end() && !path.isEmpty() && !hasSubKeys(foldedPath))
        status = kErrorFileNotFound;
    if (status == kErrorSuccess && found != m_keys.end() && (access & ~found->second.grantedAccess) != 0)
        status = kErrorAccessDenied;

    if (status != kErrorSuccess)
        return status;

    const RegistryKey handle = m_nextHandle++;
    Handle& opened = m_handles[handle];
    opened.path = path;
    if (found != m_keys.end())
        opened.values = found->second.values;
    *key = handle;
    return kErrorSuccess;
}

std::int32_t MemoryRegistry::queryValue(RegistryKey key, const QString& valueName, std::uint32_t* kind,
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
    if (data != nullptr && needed > capacity) {
        if (size)
            *size = needed;
        return kErrorMoreData;
    }
    if (data != nullptr && needed > 0)
        std::memcpy(data, bytes.constData(), needed);
    if (size)
        *size = needed;
    return kErrorSuccess;
}

std::int32_t MemoryRegistry::closeKey(RegistryKey key)
{
    return m_handles.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace quilfen
