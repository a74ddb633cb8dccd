// libFuzzer target for the palette table file reader; built with clang by
// tools/fuzz.sh, outside the CMake build.
//
// Each input becomes the contents of an in-memory file that the reader opens
// by path. Besides crashes and sanitizer reports, it checks the reader's
// promise about the table: it is written front to back, value by value, so
// the values it changed are always a prefix of the 3,075, all of them for
// Loaded and none for NotPalette. Two reads into tables prefilled with
// different values tell which values were written: those on which they agree.

#include "palette/palette_reader.h"
#include "tests/fuzz/fuzz_input_file.h"

#include <cstdint>
#include <string>

namespace quilfen {
// The engine's table, the reader's default one; the rest of the
// engine is not linked in.
PaletteTable PalTable{};
}  // namespace quilfen

namespace {

using quilfen::PaletteReadResult;
using quilfen::PaletteTable;

constexpr int kValues = 3 * quilfen::kPaletteEntries;

using quilfen::fuzz::require;

std::int16_t& valueAt(PaletteTable& table, int n)
{
    return table[static_cast<std::size_t>(n / 3)][static_cast<std::size_t>(n % 3)];
}

void fill(PaletteTable& table, std::int16_t value)
{
    for (auto& entry : table)
        entry.fill(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const quilfen::fuzz::InputFile file;
    const std::string& path = file.write(data, size);

    static PaletteTable first;
    static PaletteTable second;
    fill(first, 0x5A5A);
    fill(second, -0x2121);
    const PaletteReadResult result = quilfen::ReadPaletteFile(path, first);
    require(quilfen::ReadPaletteFile(path, second) == result);
    require(result != PaletteReadResult::OpenFailed);

    int written = 0;
    while (written < kValues && valueAt(first, written) == valueAt(second, written))
        ++written;
    for (int n = written; n < kValues; ++n)
        require(valueAt(first, n) == 0x5A5A && valueAt(second, n) == -0x2121);

    switch (result) {
    case PaletteReadResult::Loaded:
        require(written == kValues);
        break;
    case PaletteReadResult::Broken:
        require(written < kValues);
        break;
    case PaletteReadResult::NotPalette:
        require(written == 0);
        break;
    case PaletteReadResult::OpenFailed:
        break;
    }

    // The engine-table overload reads the same file the same way.
    fill(quilfen::PalTable, 0x5A5A);
    require(quilfen::ReadPaletteFile(path) == result);
    require(quilfen::PalTable == first);
    return 0;
}
