#pragma once

#include "platform/registry.h"

#include <QByteArray>

#include <map>

namespace quilfen {

struct RegistryValue {
    std::uint32_t kind = kRegNone;
    QByteArray data;  // exactly the bytes a query returns
};

// A registry held in memory: keys under the local-machine root, each with its
// values and the access rights it grants. Key and value names compare without
// regard to letter case, as on the desktop's registry.
class MemoryRegistry : public Registry {
public:
    // Creates the key if needed and sets one value.
    void setValue(const QString& key, const QString& valueName, const RegistryValue& value);
    void setText(const QString& key, const QString& valueName, const QString& text);
    void setDword(const QString& key, const QString& valueName, std::uint32_t number);
    // Creates an empty key.
    void addKey(const QString& key);
    // Rights the key grants; an open asking for more is refused. Default: all.
    void setGrantedAccess(const QString& key, std::uint32_t access);
    void clear();

    std::int32_t openKey(RegistryKey root, const QString& subKey, std::uint32_t options,
                         std::uint32_t access, RegistryKey* key) override;
    std::int32_t queryValue(RegistryKey key, const QString& valueName, std::uint32_t* kind,
                            unsigned char* data, std::uint32_t* size) override;
    std::int32_t closeKey(RegistryKey key) override;

protected:
    // Called at the start of every open: a subclass may refresh the content
    // here, or return a failure status that every open then gives.
    virtual std::int32_t refresh() { return kErrorSuccess; }

    // The values of a key, created if needed; the reference stays valid until
    // clear(). Names in it are case-folded with foldedName().
    std::map<QString, RegistryValue>& valuesAt(const QString& path);
    static QString foldedName(const QString& name);

private:
    struct Key {
        QString path;  // as first written
        std::map<QString, RegistryValue> values;  // by case-folded name
        std::uint32_t grantedAccess = 0xFFFFFFFFu;
    };
    struct Handle {
        QString path;
        std::map<QString, RegistryValue> values;  // as they were when opened
    };

    using KeyMap = std::map<QString, Key>;

    Key& keyAt(const QString& path);
    KeyMap::const_iterator findKey(const QString& foldedPath) const;
    // Whether some key lies below foldedPath (which makes it a parent key).
    bool hasSubKeys(const QString& foldedPath) const;

    KeyMap m_keys;  // by case-folded path; parents of a key are implied, not stored
    std::map<RegistryKey, Handle> m_handles;
    RegistryKey m_nextHandle = 0x100;
};

// "A\\B\\C" with repeated or outer separators removed, for comparison.
QString normaliseKeyPath(const QString& path);

}  // namespace quilfen
