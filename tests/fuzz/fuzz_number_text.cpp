// libFuzzer target for the reading of typed numbers; built with clang by
// tools/fuzz.sh, outside the CMake build.
//
// Any bytes are a text someone may type or paste into a box. Besides crashes,
// hangs and sanitizer reports it checks that the number is always finite and
// that it equals an independent reading: the blanks, tabs and line feeds
// removed, the leading number cut out by a regular expression and converted
// by the C library's strtod (correctly rounded), an overflow taken as the
// largest double of its sign.

#include "engine/number_text.h"

#include <cerrno>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <string_view>

namespace {

void require(bool condition, const char* what, const std::string& text, double got, double expected)
{
    if (condition)
        return;
    std::fprintf(stderr, "%s: text \"%s\" read %.17g, expected %.17g\n", what, text.c_str(), got,
                 expected);
    std::abort();
}

// What the text should read as, computed without the code under test.
double expectedNumber(std::string_view text)
{
    std::string kept;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n')
            kept.push_back(c);
    }
    // An optional sign, digits with at most one point (at least one digit),
    // and an exponent whose digits may be missing ("1e" is 1).
    static const std::regex number(R"(^([+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+))(?:[eE]([+-]?[0-9]*))?)",
                                   std::regex::optimize);
    std::smatch match;
    if (!std::regex_search(kept, match, number))
        return 0.0;
    std::string literal = match[1].str();
    if (match[2].matched) {
        const std::string exponent = match[2].str();
        if (!exponent.empty() && exponent.back() >= '0' && exponent.back() <= '9')
            literal += "e" + exponent;
    }
    errno = 0;
    const double value = std::strtod(literal.c_str(), nullptr);
    if (std::isinf(value))
        return value > 0 ? DBL_MAX : -DBL_MAX;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::setlocale(LC_ALL, "C");  // strtod's point is the full stop
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double got = quilfen::numberOfText(text);
    const std::string shown(text.substr(0, 200));
    require(std::isfinite(got), "not finite", shown, got, 0.0);

    // std::regex recurses per character: keep its input short.
    if (size <= 1000) {
        const double expected = expectedNumber(text);
        require(got == expected, "differs from strtod", shown, got, expected);
    }

    // A sign in front negates, as long as the text did not start with one.
    const std::string negated = "-" + std::string(text);
    if (text.find_first_not_of(" \t\n") != std::string_view::npos &&
        text[text.find_first_not_of(" \t\n")] != '+' && text[text.find_first_not_of(" \t\n")] != '-')
        require(quilfen::numberOfText(negated) == -got, "sign", shown, quilfen::numberOfText(negated),
                -got);
    return 0;
}
