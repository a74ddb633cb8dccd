#pragma once

// What the fuzz targets that read a file by its path share.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace quilfen::fuzz {

// A broken promise ends the run, so that libFuzzer keeps the input.
inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

// An in-memory file, opened once and rewritten for every input.
class InputFile {
public:
    // Makes the input the file's whole contents; returns the path that opens it.
    const std::string& write(const std::uint8_t* data, std::size_t size) const
    {
        require(m_fd >= 0);
        require(ftruncate(m_fd, 0) == 0);
        require(size == 0 || pwrite(m_fd, data, size, 0) == static_cast<ssize_t>(size));
        return m_path;
    }

private:
    int m_fd = memfd_create("fuzz-input", 0);
    std::string m_path = "/proc/self/fd/" + std::to_string(m_fd);
};

}  // namespace quilfen::fuzz
