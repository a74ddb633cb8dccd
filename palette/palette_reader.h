#pragma once

#include "engine/mandel11.h"

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

// Why a read did not load the whole table, for a message that says so; the
// window shows only the result.
enum class PaletteProblem {
    None,
    CannotOpen,      // errorNumber says why
    NotRegularFile,  // fileType holds its S_IFMT bits
    Empty,           // no field at all: empty, or only blanks (Broken)
    NoHeader,        // NotPalette
    TooShort,        // the file ends after `entries` complete entries (Broken)
    BadValue,        // after `entries` complete entries, a field that is no value (Broken)
    ReadFailed,      // errorNumber says why (Broken)
};

struct PaletteReadDetail {
    PaletteProblem problem = PaletteProblem::None;
    int entries = 0;        // complete entries stored in the table
    int errorNumber = 0;    // errno of the open or read that failed
    unsigned fileType = 0;  // for NotRegularFile
};

// Reads a palette table file into table, the engine's PalTable unless given,
// each value stored as soon as it is read; says why into detail when given.
PaletteReadResult ReadPaletteFile(const std::string& path, PaletteTable& table = PalTable,
                                  PaletteReadDetail* detail = nullptr);

}  // namespace quilfen
