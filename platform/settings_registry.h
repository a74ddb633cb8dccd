#pragma once

#include "platform/memory_registry.h"

namespace quilfen {

// Where the program finds its registry on Linux, which has no system one.
inline constexpr char kSystemRegistryPath[] = "/etc/quilfen/registry.ini";

inline constexpr std::size_t kMaxSettingsFileBytes = 1u << 20;
inline constexpr qsizetype kMaxKeyDepth = 512;       // keys below the root
inline constexpr qsizetype kMaxKeyNameLength = 255;  // characters of one key's name

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
// digits> (a 32-bit number) or hex:<bytes> (raw bytes); text is stored with a
// terminating NUL, as the desktop's registry stores it. Lines that fit none
// of these forms are ignored, and so is a section whose key lies more than
// kMaxKeyDepth keys deep or has a name longer than kMaxKeyNameLength, as the
// desktop's registry has no such keys. The program only ever reads this
// file, so an open is refused only when something exists under its name and
// cannot be read: a file that is not a regular file (a named pipe, a device,
// a folder) or one larger than kMaxSettingsFileBytes refuses every open, as
// an unreadable one does.
class SettingsRegistry : public MemoryRegistry {
public:
    explicit SettingsRegistry(QString path = QString::fromLatin1(kSystemRegistryPath));

    const QString& path() const { return m_path; }

    // Replaces the content with that of the settings text.
    void load(const QString& text);

protected:
    std::int32_t refresh() override;

private:
    QString m_path;
};

}  // namespace quilfen
