#include "platform/recording_registry.h"

#include "platform/settings_registry.h"

namespace quilfen {

std::int32_t RecordingRegistry::openKey(RegistryKey root, const QString& subKey, std::uint32_t options,
                                        std::uint32_t access, RegistryKey* key)
{
    const auto parent = m_openPaths.find(root);
    const QString base = parent == m_openPaths.end() ? QString() : parent->second;
    const QString path = normaliseKeyPath(base + QLatin1Char('\\') + subKey);
    const std::int32_t status = m_inner.openKey(root, subKey, options, access, key);
    opens.push_back({path, options, access, status});
    if (status == kErrorSuccess)
        m_openPaths[*key] = path;
    return status;
}

std::int32_t RecordingRegistry::queryValue(RegistryKey key, const QString& valueName, std::uint32_t* kind,
                                           unsigned char* data, std::uint32_t* size)
{
    const std::uint32_t capacity = size ? *size : 0;
    const std::int32_t status = m_inner.queryValue(key, valueName, kind, data, size);
    const auto open = m_openPaths.find(key);
    queries.push_back({open == m_openPaths.end() ? QString() : open->second, capacity, status});
    return status;
}

std::int32_t RecordingRegistry::closeKey(RegistryKey key)
{
    closes.push_back(key);
    const std::int32_t status = m_inner.closeKey(key);
    if (status == kErrorSuccess)
        m_openPaths.erase(key);
    return status;
}

}  // namespace quilfen
