#pragma once

#include "platform/settings_registry.h"

namespace quilfen {

// The registry the tests fill in: values set directly, whatever their kind
// and bytes, and keys that grant fewer access rights than an open asks for.
class ScriptedRegistry : public SettingsRegistry {
public:
    void setValue(const QString& key, const QString& name, RegistryValue value) { valuesAt(key)[folded(name)] = value; }
    void addKey(const QString& key) { valuesAt(key); }
    void setGrantedAccess(const QString& key, std::uint32_t access) { m_granted[folded(normaliseKeyPath(key))] = access; }

    std::int32_t openKey(RegistryKey root, const QString& subKey, std::uint32_t options,
                         std::uint32_t access, RegistryKey* key) override
    {
        const std::optional<QString> path = fullPath(root, subKey);
        const auto granted = path ? m_granted.find(folded(*path)) : m_granted.end();
        if (granted != m_granted.end() && (access & ~granted->second) != 0)
            return kErrorAccessDenied;
        return SettingsRegistry::openKey(root, subKey, options, access, key);
    }

protected:
    std::int32_t refresh() override { return kErrorSuccess; }

private:
    std::map<QString, std::uint32_t> m_granted;  // by case-folded path
};

}  // namespace quilfen
