// libFuzzer target for the settings file that stands in for the registry on
// Linux; built with clang by tools/fuzz.sh, outside the CMake build.
//
// Each input becomes the contents of an in-memory file that the registry
// reads at the next key opening. Besides crashes and sanitizer reports, the
// run's per-input time limit catches a reading whose cost grows faster than
// the file (a deep key path, a long section with many values, many lines):
// tools/fuzz.sh runs this target with inputs up to 64 KiB and a limit of a
// few seconds, far above what reading that much takes.
//
// Checks: every open and query gives one of the statuses the about box
// expects, a query never writes past the buffer it was given, and handles
// are all closed again.

#include "platform/recording_registry.h"
#include "platform/settings_registry.h"
#include "tests/fuzz/fuzz_input_file.h"

#include <array>
#include <cstdint>

namespace {

using namespace quilfen;

using quilfen::fuzz::require;

struct Read {
    std::int32_t open = -1;
    std::int32_t query = -1;
    std::uint32_t kind = 0;
    std::uint32_t size = 0;
    std::array<unsigned char, 1024 + 16> buffer{};
};

// Opens the key and queries the value into a 1024-byte buffer followed by a
// guard that must stay untouched.
Read readValue(Registry& registry, const QString& key, const QString& name)
{
    Read read;
    read.buffer.fill(0xA5);
    RegistryKey handle = 0;
    read.open = registry.openKey(kHkeyLocalMachine, key, 0, 0x2003F, &handle);
    require(read.open == kErrorSuccess || read.open == kErrorFileNotFound);
    if (read.open != kErrorSuccess)
        return read;
    read.size = 1024;
    read.query = registry.queryValue(handle, name, &read.kind, read.buffer.data(), &read.size);
    require(read.query == kErrorSuccess || read.query == kErrorFileNotFound || read.query == kErrorMoreData);
    if (read.query == kErrorSuccess)
        require(read.size <= 1024);
    for (std::size_t k = 1024; k < read.buffer.size(); ++k)
        require(read.buffer[k] == 0xA5);
    require(registry.closeKey(handle) == kErrorSuccess);
    return read;
}

// Reads the file at the first opening only, so that one input costs one
// reading and the time limit measures that.
class ReadOnce : public SettingsRegistry {
public:
    using SettingsRegistry::SettingsRegistry;

protected:
    std::int32_t refresh() override
    {
        if (!m_read) {
            m_status = SettingsRegistry::refresh();
            m_read = true;
        }
        return m_status;
    }

private:
    bool m_read = false;
    std::int32_t m_status = kErrorSuccess;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const quilfen::fuzz::InputFile file;
    ReadOnce settings(QString::fromStdString(file.write(data, size)));
    RecordingRegistry registry(settings);
    // The about box's two lookups, a parent key, and the root itself.
    readValue(registry, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"));
    readValue(registry, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), QStringLiteral("MSINFO"));
    readValue(registry, QStringLiteral("SOFTWARE\\Microsoft"), QStringLiteral("PATH"));
    readValue(registry, QString(), QStringLiteral("PATH"));
    require(registry.openHandleCount() == 0);
    return 0;
}
