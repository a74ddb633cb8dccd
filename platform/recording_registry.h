#pragma once

#include "platform/registry.h"

#include <map>
#include <vector>

namespace quilfen {

// A test double that passes every call on to another registry and records
// it, so that a test can check a caller's order of lookups and that it
// closes every key it opens.
class RecordingRegistry : public Registry {
public:
    struct OpenCall {
        QString key;  // full path under the root
        std::uint32_t options = 0;
        std::uint32_t access = 0;
        std::int32_t status = 0;
    };
    struct QueryCall {
        QString key;  // full path of the key queried; empty for an unknown handle
        std::uint32_t bufferSize = 0;
        std::int32_t status = 0;
    };

    explicit RecordingRegistry(Registry& inner) : m_inner(inner) {}

    std::vector<OpenCall> opens;
    std::vector<QueryCall> queries;
    std::vector<RegistryKey> closes;

    // Handles opened through this registry and not yet closed.
    int openHandleCount() const { return static_cast<int>(m_openPaths.size()); }

    std::int32_t openKey(RegistryKey root, const QString& subKey, std::uint32_t options,
                         std::uint32_t access, RegistryKey* key) override;
    std::int32_t queryValue(RegistryKey key, const QString& valueName, std::uint32_t* kind,
                            unsigned char* data, std::uint32_t* size) override;
    std::int32_t closeKey(RegistryKey key) override;

private:
    Registry& m_inner;
    std::map<RegistryKey, QString> m_openPaths;  // open handles and their full paths
};

}  // namespace quilfen
