#include "palette_reader.h"

#include "mandel11.h"

namespace quilfen {

PaletteReadResult ReadPaletteFile(const std::string& path, PaletteTable& table)
{
    (void)path;
    (void)table;
    return PaletteReadResult::OpenFailed;  // placeholder until the reader lands
}

PaletteReadResult ReadPaletteFile(const std::string& path)
{
    return ReadPaletteFile(path, PalTable);
}

}  // namespace quilfen
