#pragma once

// The machine a benchmark result was measured on, so that two results can be
// told apart and put side by side.

#include <cstdint>
#include <string>
#include <string_view>

namespace quilfen {

struct MachineRecord {
    std::string processor;              // model name, or "unknown <architecture> processor"
    unsigned logicalProcessors = 0;     // 0 when the system does not say
    std::string system;                 // "Linux"
    std::string release;                // the kernel's release, "6.1.0-18-amd64"
    std::string architecture;           // "x86_64", "aarch64"
    std::uint64_t memoryBytes = 0;      // physical memory; 0 when the system does not say
};

// This machine, read from the system (/proc/cpuinfo, uname, sysconf).
MachineRecord thisMachine();

// The processor's model name from the text of /proc/cpuinfo: its "model name"
// line, or where a processor has none (many Arm and POWER systems) its
// "Hardware", "Model" or "cpu" line. Empty when none is there.
std::string processorModelName(std::string_view cpuinfo);

}  // namespace quilfen
