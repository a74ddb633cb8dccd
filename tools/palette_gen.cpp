// quilfen-palette-gen: writes every palette of a recipe file into a data folder.
//
//   quilfen-palette-gen <recipes.txt> <data folder>

#include "tools/palette_maker.h"

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::cerr << "usage: quilfen-palette-gen <recipes.txt> <data folder>\n";
        return 2;
    }
    std::string error;
    const auto recipes = quilfen::readRecipes(argv[1], error);
    if (!recipes) {
        std::cerr << error << '\n';
        return 1;
    }
    const std::filesystem::path folder = argv[2];
    for (const quilfen::PaletteRecipe& recipe : *recipes) {
        const std::filesystem::path target = folder / recipe.file;
        std::error_code ec;
        std::filesystem::create_directories(target.parent_path(), ec);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out << quilfen::paletteFileText(quilfen::makePalette(recipe));
        out.close();
        if (!out) {
            std::cerr << target.string() << ": cannot write\n";
            return 1;
        }
        std::cout << target.string() << '\n';
    }
    return 0;
}
