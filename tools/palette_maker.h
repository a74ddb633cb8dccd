#pragma once

// Builds palette tables from a few colour stops, so that a shipped palette is
// one line of data (tools/palettes.txt) rather than 1,026 typed lines.

#include "engine/grids.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quilfen {

struct ColourStop {
    double position = 0.0;      // 0 … 1 along one cycle
    std::array<int, 3> rgb{};   // 0 … 255 each
};

// One palette: entry 0 is the colour inside the set; entries 1 … 1024 run
// through the stops.
struct PaletteRecipe {
    std::string file;           // path of the .qpl file, relative to the data folder
    std::array<int, 3> inside{};
    double cycles = 1.0;        // how many times the stops repeat along entries 1 … 1024
    double logScale = 0.0;      // > 0: position grows as ln(1 + x / logScale), so low counts vary more
    bool banded = false;        // each stop's colour held up to the next stop, no blending
    std::vector<ColourStop> stops;  // sorted, the first at 0 and the last at 1
};

// Parses one recipe line:
//   <file> inside=RRGGBB [cycles=C] [log=S] [bands] <pos>:RRGGBB <pos>:RRGGBB …
// Returns nothing and sets error for a malformed line.
std::optional<PaletteRecipe> parseRecipe(std::string_view line, std::string& error);

// Reads every recipe of a recipe file; blank lines and lines starting with '#'
// are skipped. Returns nothing and sets error (with the line number) on the
// first malformed line or if the file cannot be read.
std::optional<std::vector<PaletteRecipe>> readRecipes(const std::string& path, std::string& error);

// Where along one cycle entry k (1 … 1024) falls: 0 … 1.
double rampPosition(const PaletteRecipe& recipe, int k);

PaletteTable makePalette(const PaletteRecipe& recipe);

// The table as a palette table file: header line, 1025 records "r,g,b", CR LF.
std::string paletteFileText(const PaletteTable& table);

}  // namespace quilfen
