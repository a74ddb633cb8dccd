#pragma once

#include "platform/registry.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

namespace quilfen {

// Where the program finds its registry on Linux, which has no system one.
inline constexpr char kSystemRegistryPath[] = "/etc/quilfen/registry.ini";

inline constexpr std::size_t kMaxSettingsFileBytes = 1u << 20;
inline constexpr qsizetype kMaxKeyDepth = 512;       // keys below the root
inline constexpr qsizetype kMaxKeyNameLength = 255;  // characters of one key's name

struct RegistryValue {
    std::uint32_t kind = kRegNone;
    QByteArray data;  // exactly the bytes a query returns
};

// Text as the desktop's registry stores it: its bytes and a terminating NUL.
RegistryValue textValue(const QString& text);
// A 32-bit number, least significant byte first.
RegistryValue dwordValue(std::uint32_t number);

// "A\\B\\C" with repeated or outer separators removed, for comparison.
QString normaliseKeyPath(const QString& path);

// The registry on a desktop without one: a small text file that an
// administrator edits, read afresh at every key opening so an edit takes
// effect at once. Layout (UTF-8):
//
//   ; comment (also #)
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO]
//   PATH=/usr/bin/hardinfo
//   Count=dword:0000001f
//   Blob=hex:01,ff,20
//   Spaced="  text kept exactly, or text that would read as dword:…  "
//
// Each section is a key under the local-machine root; sections of other
// roots are ignored. A value is text unless written as dword:<up to 8 hex
// digits> (a 32-bit number) or hex:<bytes> (raw bytes). Key and value names
// compare without regard to letter case, and a key's parents exist with it,
// as on the desktop's registry. Lines that fit none of these forms are
// ignored, and so is a section whose key lies more than kMaxKeyDepth keys
// deep or has a name longer than kMaxKeyNameLength, as the desktop's
// registry has no such keys. The program only ever reads this file, so an
// open is refused only when something exists under its name and cannot be
// read: a file that is not a regular file (a named pipe, a device, a folder)
// or one larger than kMaxSettingsFileBytes refuses every open, as an
// unreadable one does.
class SettingsRegistry : public Registry {
public:
    explicit SettingsRegistry(QString path = QString::fromLatin1(kSystemRegistryPath));

    const QString& path() const { return m_path; }

    std::int32_t openKey(RegistryKey root, const QString& subKey, std::uint32_t options,
                         std::uint32_t access, RegistryKey* key) override;
    std::int32_t queryValue(RegistryKey key, const QString& valueName, std::uint32_t* kind,
                            unsigned char* data, std::uint32_t* size) override;
    std::int32_t closeKey(RegistryKey key) override;

protected:
    using Values = std::map<QString, RegistryValue>;  // by case-folded name

    // Called at the start of every open: reads the file afresh, or returns
    // the failure status that open gives.
    virtual std::int32_t refresh();

    // The values of a key, created if needed.
    Values& valuesAt(const QString& keyPath);
    static QString folded(const QString& name) { return name.toCaseFolded(); }
    // The path of subKey opened under root; nullopt when root is no open handle.
    std::optional<QString> fullPath(RegistryKey root, const QString& subKey) const;

private:
    struct Handle {
        QString path;
        Values values;  // as they were when opened
    };

    void load(const QString& text);
    // Whether some key lies below foldedPath (which makes it a parent key).
    bool hasSubKeys(const QString& foldedPath) const;

    QString m_path;
    std::map<QString, Values> m_keys;  // by case-folded path; parents are implied, not stored
    std::map<RegistryKey, Handle> m_handles;
    RegistryKey m_nextHandle = 0x100;
};

}  // namespace quilfen
