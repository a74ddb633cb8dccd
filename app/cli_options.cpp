#include "app/cli_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <system_error>

namespace quilfen::cli {

namespace {
bool isOptionName(const std::string& s)
{
    return s.size() > 2 && s.compare(0, 2, "--") == 0;
}

// The text without the blanks before and after it.
std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\n\r\f\v";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
}

// Whether a decimal text that a double cannot hold is too large (rather than
// too close to zero): its first significant digit lies at or above the point
// once the exponent is applied.
bool beyondLargest(std::string_view text)
{
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
        text.remove_prefix(1);
    const std::size_t e = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = text.substr(e + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
            digits.remove_prefix(1);
        for (char c : digits)
            exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000LL);
        if (negative)
            exponent = -exponent;
    }
    // Where the first significant digit lies: n > 0 is the n-th digit before
    // the point, n <= 0 the (1 - n)-th after it.
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::string_view whole = mantissa.substr(0, point);
    const std::string_view fraction = mantissa.substr(std::min(point + 1, mantissa.size()));
    long long position = 0;
    if (const std::size_t first = whole.find_first_not_of('0'); first != std::string_view::npos)
        position = static_cast<long long>(whole.size() - first);
    else if (const std::size_t next = fraction.find_first_not_of('0'); next != std::string_view::npos)
        position = -static_cast<long long>(next);
    return position + exponent > 0;
}

constexpr std::size_t kQuotedCharacters = 40;

// An option name, cut as quoted() cuts a value; a name is never that long
// unless it is a mistake.
std::string shortened(const std::string& name)
{
    const std::string inQuotes = quoted(name);
    return inQuotes.substr(1, inQuotes.size() - 2);
}
}  // namespace

std::string quoted(std::string_view text)
{
    // A character starts at each byte that is not a UTF-8 continuation
    // byte, so a cut never splits one.
    std::size_t cut = 0;
    for (std::size_t characters = 0; cut < text.size(); ++cut) {
        if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80 && characters++ == kQuotedCharacters)
            break;
    }
    std::string shown = "'";
    shown.append(text.substr(0, cut));
    shown.append(cut < text.size() ? "\xE2\x80\xA6'" : "'");  // "…" in UTF-8
    return shown;
}

Options::Options(int argc, char** argv)
{
    for (int k = 0; k < argc; ++k) {
        std::string name = argv[k];
        if (!isOptionName(name))
            throw UsageError("unexpected argument " + quoted(name));
        // "--name=value" is "--name value".
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (m_values.count(name) || m_flags.count(name))
            throw UsageError("option " + shortened(name) + " given twice");
        if (!value && k + 1 < argc && !isOptionName(argv[k + 1])) {
            value = argv[++k];
            m_valueApart.insert(name);
        }
        if (value)
            m_values[name] = *value;
        else
            m_flags.insert(name);
    }
}

bool Options::has(const std::string& name) const
{
    return m_values.count(name) != 0 || m_flags.count(name) != 0;
}

bool Options::flag(const std::string& name) const
{
    m_used.insert(name);
    // "--json extra" is a flag and a stray argument, "--json=extra" a value.
    if (const auto it = m_values.find(name); it != m_values.end())
        throw UsageError(m_valueApart.count(name) ? "unexpected argument " + quoted(it->second)
                                                  : "option " + name + " takes no value");
    return m_flags.count(name) != 0;
}

std::string Options::requireString(const std::string& name) const
{
    m_used.insert(name);
    const auto it = m_values.find(name);
    if (it == m_values.end())
        throw UsageError(m_flags.count(name) ? "option " + name + " needs a value"
                                             : "missing option " + name);
    return it->second;
}

double Options::requireDouble(const std::string& name) const
{
    const std::string written = requireString(name);
    const std::string_view text = trimmed(written);
    auto refuse = [&](const std::string& why) {
        return UsageError("option " + name + ": " + quoted(written) + " " + why);
    };
    if (text.empty())
        throw refuse("is empty, not a number");

    // Read without regard to the locale; a plus sign and a hexadecimal form
    // ("0x1p-3") are taken as well.
    std::string_view digits = text;
    bool negative = false;
    if (digits.front() == '+' || digits.front() == '-') {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    auto format = std::chars_format::general;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        format = std::chars_format::hex;
        digits.remove_prefix(2);
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, format);
    if (digits.empty() || digits.front() == '+' || digits.front() == '-' ||
        (error != std::errc() && error != std::errc::result_out_of_range) ||
        end != digits.data() + digits.size())
        throw refuse("is not a number");
    if (error == std::errc::result_out_of_range) {
        // A hexadecimal form is too small exactly when its binary exponent is negative.
        const std::size_t p = digits.find_first_of("pP");
        const bool tooLarge = format == std::chars_format::hex
                                  ? p == std::string_view::npos || digits.substr(p + 1, 1) != "-"
                                  : beyondLargest(text);
        throw refuse(tooLarge ? "is too large for a double (largest about 1.8e308)"
                              : "is too close to zero for a double: it would read as 0");
    }
    if (std::isnan(value))
        throw refuse("is not a number (NaN)");
    if (std::isinf(value))
        throw refuse("is infinite, not a finite number");
    return negative ? -value : value;
}

std::int64_t Options::requireInt(const std::string& name, std::int64_t low, std::int64_t high) const
{
    const std::string written = requireString(name);
    std::string_view text = trimmed(written);
    if (!text.empty() && text.front() == '+' && text.size() > 1 && text[1] != '-')
        text.remove_prefix(1);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const std::string range = "from " + std::to_string(low) + " to " + std::to_string(high);
    if (text.empty() || (error != std::errc() && error != std::errc::result_out_of_range) ||
        end != text.data() + text.size())
        throw UsageError("option " + name + ": " + quoted(written) + " is not a whole number " + range);
    if (error == std::errc::result_out_of_range || value < low || value > high)
        throw UsageError("option " + name + ": " + quoted(written) + " is outside the range " + range);
    return value;
}

std::int64_t Options::intOr(const std::string& name, std::int64_t fallback, std::int64_t low,
                            std::int64_t high) const
{
    return has(name) ? requireInt(name, low, high) : fallback;
}

void Options::rejectUnused() const
{
    for (const auto& [name, value] : m_values)
        if (!m_used.count(name))
            throw UsageError("unknown option " + shortened(name));
    for (const auto& name : m_flags)
        if (!m_used.count(name))
            throw UsageError("unknown option " + shortened(name));
}

}  // namespace quilfen::cli
