#include "bench/machine_record.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <thread>

namespace quilfen {

namespace {

// /proc/cpuinfo grows with the processors; a few processors' worth is enough
// to find the first name.
constexpr std::size_t kCpuinfoBytes = 256 * 1024;

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

std::string readCpuinfo()
{
    std::ifstream file("/proc/cpuinfo", std::ios::binary);
    std::string text(kCpuinfoBytes, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    return text;
}

}  // namespace

std::string processorModelName(std::string_view cpuinfo)
{
    // In order of preference: the first key found wins over later ones.
    constexpr std::array<std::string_view, 4> keys{"model name", "Hardware", "Model", "cpu"};
    std::array<std::string_view, keys.size()> found{};
    while (!cpuinfo.empty()) {
        const std::size_t end = cpuinfo.find('\n');
        const std::string_view line = cpuinfo.substr(0, end);
        cpuinfo.remove_prefix(end == std::string_view::npos ? cpuinfo.size() : end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = trimmed(line.substr(0, colon));
        const std::string_view value = trimmed(line.substr(colon + 1));
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (key == keys[k] && found[k].empty())
                found[k] = value;
    }
    for (const std::string_view value : found)
        if (!value.empty())
            return std::string(value);
    return {};
}

MachineRecord thisMachine()
{
    MachineRecord m;
    struct utsname names {};
    if (uname(&names) == 0) {
        m.system = names.sysname;
        m.release = names.release;
        m.architecture = names.machine;
    }
    m.processor = processorModelName(readCpuinfo());
    if (m.processor.empty())
        m.processor = "unknown " + (m.architecture.empty() ? std::string() : m.architecture + " ") + "processor";
    m.logicalProcessors = std::thread::hardware_concurrency();
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        m.memoryBytes = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return m;
}

}  // namespace quilfen
