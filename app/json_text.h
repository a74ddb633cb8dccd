#pragma once

// Pieces of text written by hand for results and pictures, the same in
// every locale.

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace quilfen::cli {

// text (UTF-8) as a JSON string, quotes included: quotes, backslashes and
// control characters escaped.
std::string jsonString(std::string_view text);

// The shortest decimal text that reads back as exactly value, with a full
// stop as the point whatever the locale; JSON's null for a value that is
// not finite.
std::string shortestText(double value);

// A 64-bit checksum as 16 lower-case hexadecimal digits.
std::string hexText(std::uint64_t value);

// value with a full stop as the point whatever the locale (printf's %f and
// %g take the locale's point): `decimals` places, or for
// std::chars_format::general that many significant digits.
std::string decimalText(double value, std::chars_format format, int decimals);

// A fraction as a percentage with two decimals ("3.00 %").
std::string percentText(double fraction);

// A memory size in GiB with one decimal ("23.5 GiB").
std::string gibibytesText(double bytes);

}  // namespace quilfen::cli
