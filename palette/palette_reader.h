#pragma once

#include "engine/grids.h"

#include <string>

namespace quilfen {

// The palette read at start-up, from the program's own folder.
inline constexpr char kStartupPaletteName[] = "default.qpl";

enum class PaletteReadResult {
    OpenFailed,  // the file cannot be opened; the table is untouched
    NotPalette,  // the first field is not the header; the table is untouched
    Broken,      // a field could not be read; values read before it are in the table
    Loaded,      // all 1025 entries were read
};

// Reads a palette table file into table, each value stored as soon as it is read.
PaletteReadResult ReadPaletteFile(const std::string& path, PaletteTable& table);

// Reads into the engine's PalTable.
PaletteReadResult ReadPaletteFile(const std::string& path);

}  // namespace quilfen
