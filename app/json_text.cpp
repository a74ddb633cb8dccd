#include "app/json_text.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace quilfen::cli {

std::string jsonString(std::string_view text)
{
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            json += escape;
        } else {
            json += c;
        }
    }
    return json + '"';
}

std::string shortestText(double value)
{
    if (!std::isfinite(value))
        return "null";
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

std::string hexText(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return text;
}

std::string decimalText(double value, std::chars_format format, int decimals)
{
    // Room for the largest double written out in full.
    char text[512];
    const auto written = std::to_chars(text, text + sizeof text, value, format, decimals);
    return std::string(text, written.ptr);
}

std::string percentText(double fraction)
{
    return decimalText(100.0 * fraction, std::chars_format::fixed, 2) + " %";
}

std::string gibibytesText(double bytes)
{
    return decimalText(bytes / (1024.0 * 1024.0 * 1024.0), std::chars_format::fixed, 1) + " GiB";
}

}  // namespace quilfen::cli
