#include "tools/palette_maker.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>

namespace quilfen {

namespace {

bool parseHexColour(std::string_view text, std::array<int, 3>& rgb)
{
    if (text.size() != 6)
        return false;
    for (std::size_t c = 0; c < 3; ++c) {
        const char* first = text.data() + 2 * c;
        const auto [end, ec] = std::from_chars(first, first + 2, rgb[c], 16);
        if (ec != std::errc() || end != first + 2)
            return false;
    }
    return true;
}

bool parseNumber(std::string_view text, double& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> result;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t')
            ++pos;
        if (pos > start)
            result.push_back(line.substr(start, pos - start));
    }
    return result;
}

}  // namespace

std::optional<PaletteRecipe> parseRecipe(std::string_view line, std::string& error)
{
    const std::vector<std::string_view> tokens = words(line);
    if (tokens.empty()) {
        error = "empty recipe";
        return std::nullopt;
    }
    PaletteRecipe recipe;
    recipe.file = std::string(tokens[0]);
    bool haveInside = false;
    for (std::size_t t = 1; t < tokens.size(); ++t) {
        const std::string_view token = tokens[t];
        const std::string text(token);
        if (token.starts_with("inside=")) {
            haveInside = parseHexColour(token.substr(7), recipe.inside);
            if (!haveInside) {
                error = "bad colour in " + text;
                return std::nullopt;
            }
        } else if (token.starts_with("cycles=")) {
            if (!parseNumber(token.substr(7), recipe.cycles) || recipe.cycles <= 0.0) {
                error = "bad cycle count in " + text;
                return std::nullopt;
            }
        } else if (token.starts_with("log=")) {
            if (!parseNumber(token.substr(4), recipe.logScale) || recipe.logScale < 0.0) {
                error = "bad log scale in " + text;
                return std::nullopt;
            }
        } else if (token == "bands") {
            recipe.banded = true;
        } else if (const std::size_t colon = token.find(':'); colon != std::string_view::npos) {
            ColourStop stop;
            if (!parseNumber(token.substr(0, colon), stop.position) ||
                !parseHexColour(token.substr(colon + 1), stop.rgb)) {
                error = "bad colour stop " + text;
                return std::nullopt;
            }
            recipe.stops.push_back(stop);
        } else {
            error = "unknown word " + text;
            return std::nullopt;
        }
    }
    if (!haveInside) {
        error = "no inside= colour";
        return std::nullopt;
    }
    if (recipe.stops.size() < 2 || recipe.stops.front().position != 0.0 ||
        recipe.stops.back().position != 1.0) {
        error = "the stops must run from 0 to 1";
        return std::nullopt;
    }
    for (std::size_t s = 1; s < recipe.stops.size(); ++s) {
        if (recipe.stops[s].position < recipe.stops[s - 1].position) {
            error = "the stops must be in order";
            return std::nullopt;
        }
    }
    return recipe;
}

std::optional<std::vector<PaletteRecipe>> readRecipes(const std::string& path, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot open";
        return std::nullopt;
    }
    std::vector<PaletteRecipe> recipes;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::vector<std::string_view> tokens = words(line);
        if (tokens.empty() || tokens[0].starts_with('#'))
            continue;
        std::string why;
        auto recipe = parseRecipe(line, why);
        if (!recipe) {
            error = path + ":" + std::to_string(number) + ": " + why;
            return std::nullopt;
        }
        recipes.push_back(std::move(*recipe));
    }
    return recipes;
}

double rampPosition(const PaletteRecipe& recipe, int k)
{
    constexpr double kLast = kPaletteEntries - 2;  // entries 1 … 1024 span x = 0 … 1
    double x = (k - 1) / kLast;
    if (recipe.logScale > 0.0)
        x = std::log1p(x * kLast / recipe.logScale) / std::log1p(kLast / recipe.logScale);
    const double u = x * recipe.cycles;
    // A cycle ends on its last stop; the next one starts again from the first.
    return u <= 0.0 ? 0.0 : u - (std::ceil(u) - 1.0);
}

PaletteTable makePalette(const PaletteRecipe& recipe)
{
    PaletteTable table{};
    for (std::size_t c = 0; c < 3; ++c)
        table[0][c] = static_cast<std::int16_t>(recipe.inside[c]);
    const auto& stops = recipe.stops;
    for (int k = 1; k < kPaletteEntries; ++k) {
        const double t = rampPosition(recipe, k);
        std::size_t b = 1;
        while (b + 1 < stops.size() && stops[b].position < t)
            ++b;
        const ColourStop& from = stops[b - 1];
        const ColourStop& to = stops[b];
        const double span = to.position - from.position;
        double f = span > 0.0 ? (t - from.position) / span : 1.0;
        if (recipe.banded)
            f = t >= to.position ? 1.0 : 0.0;
        for (std::size_t c = 0; c < 3; ++c) {
            const double value = from.rgb[c] + (to.rgb[c] - from.rgb[c]) * f;
            table[static_cast<std::size_t>(k)][c] =
                static_cast<std::int16_t>(std::clamp(std::lround(value), 0L, 255L));
        }
    }
    return table;
}

std::string paletteFileText(const PaletteTable& table)
{
    std::string text = "Quilfen Palette Table File\r\n";
    for (const auto& entry : table) {
        text += std::to_string(entry[0]) + ',' + std::to_string(entry[1]) + ',' +
                std::to_string(entry[2]) + "\r\n";
    }
    return text;
}

}  // namespace quilfen
