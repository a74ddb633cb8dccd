// libFuzzer target for the display patterns; built with clang by
// tools/fuzz.sh, outside the CMake build.
//
// The input's first 8 bytes are a double, the next 4 a float (bit patterns,
// so NaNs, infinities and denormals come up as often as anything), and the
// rest is a pattern of the fuzzer's own. For every pattern the program uses
// and both widths it checks that:
// - a NaN or an infinity gives its fixed text;
// - the text has the shape the pattern asks for;
// - the text reads back through numberOfText to a value within the
//   pattern's rounding of the input: half a unit of the last printed place,
//   plus half a unit of the 15th (double) or 7th (float) significant digit
//   at which the value's decimal form is taken first, plus the rounding of
//   the read itself;
// - for a double, formatting the read-back value gives the same text again.
// The fuzzer's own pattern is only checked for crashes, hangs and a bounded
// length. singleToText is checked the same way as the float patterns.

#include "engine/number_text.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <string_view>

namespace {

struct Pattern {
    const char* text;
    int decimals;        // printed places after the point (mantissa's, if scientific)
    bool scientific;
    const char* shape;   // the whole text, as a regular expression
};

// Every pattern the program passes to formatNumber or formatSingle.
const Pattern kPatterns[] = {
    {"+0.########;-0.########", 8, false, R"([+-](0|[1-9][0-9]*)\.([0-9]{0,7}[1-9])?)"},
    {"+0.#######;-0.#######", 7, false, R"([+-](0|[1-9][0-9]*)\.([0-9]{0,6}[1-9])?)"},
    {"+0.###e-#0;-0.###e-#0", 3, true, R"([+-]([1-9]\.([0-9]{0,2}[1-9])?e-?[1-9][0-9]*|[1-9]\.([0-9]{0,2}[1-9])?e0|0\.e0))"},
    {"###0", 0, false, R"(-?(0|[1-9][0-9]*))"},
    {"##0.###", 3, false, R"(-?(0|[1-9][0-9]*)\.([0-9]{0,2}[1-9])?)"},
    {"##0.00", 2, false, R"(-?(0|[1-9][0-9]*)\.[0-9]{2})"},
};

[[noreturn]] void fail(const char* what, const char* pattern, double value, const std::string& text,
                       double read)
{
    std::fprintf(stderr, "%s: pattern \"%s\" value %.17g (%a) gave \"%s\", read back %.17g\n", what,
                 pattern, value, value, text.c_str(), read);
    std::abort();
}

// The decimal exponent of |value|'s leading digit (value finite, not zero).
int decimalExponent(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.25e", std::fabs(value));
    return std::atoi(std::strchr(buffer, 'e') + 1);
}

long double power10(int exponent)
{
    return std::pow(10.0L, static_cast<long double>(exponent));
}

// The exponent printed after the 'e' of a scientific text.
int printedExponent(const std::string& text)
{
    return std::atoi(text.c_str() + text.find('e') + 1);
}

// Checks text = format(value) for one pattern; significant is 15 or 7.
void checkText(const Pattern& p, double value, int significant, const std::string& text, bool again,
               std::string (*format)(double, std::string_view))
{
    if (std::isnan(value)) {
        if (text != "NaN")
            fail("NaN text", p.text, value, text, 0);
        return;
    }
    if (std::isinf(value)) {
        if (text != (value > 0 ? "Infinity" : "-Infinity"))
            fail("infinity text", p.text, value, text, 0);
        return;
    }
    static std::regex shapes[std::size(kPatterns)];
    static bool compiled = false;
    if (!compiled) {
        for (std::size_t k = 0; k < std::size(kPatterns); ++k)
            shapes[k] = std::regex(kPatterns[k].shape, std::regex::optimize);
        compiled = true;
    }
    if (!std::regex_match(text, shapes[&p - kPatterns]))
        fail("shape", p.text, value, text, 0);

    const double read = quilfen::numberOfText(text);
    // A pattern with a negative section takes it for every value below zero,
    // one that rounds to zero included; with one section a minus sign only
    // for a value that does not show as zero.
    const bool twoSections = std::strchr(p.text, ';') != nullptr;
    const bool minus = text.front() == '-';
    if (twoSections ? minus != (value < 0)
                    : minus != (read < 0) || (read != 0 && (read < 0) != (value < 0)))
        fail("sign", p.text, value, text, read);

    long double tolerance = 0;
    if (value != 0) {
        const int e = decimalExponent(value);
        tolerance += 0.5L * power10(e - (significant - 1));  // the decimal form
        const int last = p.scientific ? printedExponent(text) - p.decimals : -p.decimals;
        tolerance += 0.5L * power10(last);                   // the pattern's last place
        tolerance += std::fabs(static_cast<long double>(read)) * 0x1p-53L + 0x1p-1074L;  // reading
    }
    const long double error =
        std::fabs(static_cast<long double>(read) - static_cast<long double>(value));
    if (error > tolerance * (1 + 1e-12L))
        fail("read back outside the rounding", p.text, value, text, read);

    // Up to 15 digits survive the trip through a double (not in the
    // denormal range, where fewer bits are left). A "-0." reads back as
    // negative zero, which is not below zero and so shows as "+0.".
    const bool negativeShownAsZero = minus && read == 0;
    if (again && !negativeShownAsZero && (read == 0 || std::fabs(read) >= DBL_MIN) &&
        format(read, p.text) != text)
        fail("formatting the read-back value differs", p.text, value, text, read);
}

std::string formatDouble(double value, std::string_view pattern)
{
    return quilfen::formatNumber(value, pattern);
}

std::string formatFloat(double value, std::string_view pattern)
{
    return quilfen::formatSingle(static_cast<float>(value), pattern);
}

void checkSingleToText(float value)
{
    const std::string text = quilfen::singleToText(value);
    if (std::isnan(value) || std::isinf(value)) {
        const char* expected = std::isnan(value) ? "NaN" : value > 0 ? " Infinity" : "-Infinity";
        if (text != expected)
            fail("singleToText non-finite", "", value, text, 0);
        return;
    }
    static const std::regex shape(
        R"([ -](0|[1-9][0-9]{0,6})(\.[0-9]*[1-9])?|[ -][1-9](\.[0-9]*[1-9])?E[+-][0-9]{2,})",
        std::regex::optimize);
    if (!std::regex_match(text, shape))
        fail("singleToText shape", "", value, text, 0);
    const double read = quilfen::numberOfText(text);
    long double tolerance = 0;
    if (value != 0) {
        tolerance = 0.5L * power10(decimalExponent(value) - 6) +
                    std::fabs(static_cast<long double>(read)) * 0x1p-53L + 0x1p-1074L;
    }
    if (std::fabs(static_cast<long double>(read) - value) > tolerance * (1 + 1e-12L))
        fail("singleToText read back", "", value, text, read);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    double value = 0;
    float single = 0;
    std::memcpy(&value, data, std::min<std::size_t>(size, sizeof value));
    if (size > sizeof value)
        std::memcpy(&single, data + sizeof value, std::min<std::size_t>(size - sizeof value, sizeof single));

    for (const Pattern& p : kPatterns) {
        checkText(p, value, 15, quilfen::formatNumber(value, p.text), true, formatDouble);
        checkText(p, single, 7, quilfen::formatSingle(single, p.text), false, formatFloat);
    }
    checkSingleToText(single);

    // A pattern of the fuzzer's own: anything but a crash or a hang is fine,
    // and the text stays within the digits a double can have.
    if (size > sizeof value + sizeof single) {
        const std::string_view own(reinterpret_cast<const char*>(data) + sizeof value + sizeof single,
                                   size - sizeof value - sizeof single);
        for (const std::string& text : {quilfen::formatNumber(value, own), quilfen::formatSingle(single, own)}) {
            if (text.size() > 2 * own.size() + 400)
                fail("text too long for the pattern", "(fuzzer's own)", value, text, 0);
        }
    }
    return 0;
}
