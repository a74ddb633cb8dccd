#include "engine/number_text.h"

#include "engine/mandel11.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace quilfen {

namespace {

// A non-negative decimal number d0.d1d2… × 10^exponent. digits holds the
// significant digits without trailing zeros, the first one not zero; it is
// empty for zero.
struct Decimal {
    std::string digits;
    int exponent = 0;
};

void stripTrailingZeros(Decimal& d)
{
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.exponent = 0;
}

// The exact decimal expansion of |value| (finite). A double has at most 767
// significant decimal digits, so 800 after the point lose nothing.
// std::to_chars writes a full stop whatever the locale; printf would write
// the locale's decimal point, "," under de_DE.
Decimal exactDecimal(double value)
{
    std::vector<char> buffer(1024);
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                       std::fabs(value), std::chars_format::scientific, 800);
    const std::string_view text(buffer.data(), static_cast<std::size_t>(written.ptr - buffer.data()));
    const std::size_t e = text.find('e');
    Decimal d;
    d.digits.reserve(e);
    for (std::size_t i = 0; i < e; ++i) {
        if (text[i] != '.')
            d.digits.push_back(text[i]);
    }
    const std::size_t exponentStart = e + 1 + (text[e + 1] == '+' ? 1 : 0);
    std::from_chars(text.data() + exponentStart, text.data() + text.size(), d.exponent);
    if (d.digits.find_first_not_of('0') == std::string::npos)
        d.digits.clear();
    stripTrailingZeros(d);
    return d;
}

// Keeps the first `count` digits, rounding half away from zero on the digits
// dropped; count may be zero or negative (everything is below the last kept place).
void roundToDigits(Decimal& d, int count)
{
    if (d.digits.empty() || count >= static_cast<int>(d.digits.size()))
        return;
    if (count < 0) {
        d.digits.clear();
        d.exponent = 0;
        return;
    }
    const bool up = d.digits[static_cast<std::size_t>(count)] >= '5';
    d.digits.resize(static_cast<std::size_t>(count));
    if (up) {
        int k = count - 1;
        while (k >= 0 && d.digits[static_cast<std::size_t>(k)] == '9') {
            d.digits[static_cast<std::size_t>(k)] = '0';
            --k;
        }
        if (k >= 0) {
            ++d.digits[static_cast<std::size_t>(k)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        }
    }
    stripTrailingZeros(d);
}

// The value's decimal form: its exact expansion rounded half away from zero
// to `significant` digits. The patterns round this form again, so 0.3085f
// (0.30849999…) is 0.3085000 here and 0.309 with three decimals.
Decimal decimalForm(double value, int significant)
{
    Decimal d = exactDecimal(value);
    roundToDigits(d, significant);
    return d;
}

// The digit of weight 10^power, '0' outside the significant digits.
char digitAt(const Decimal& d, int power)
{
    const long long k = static_cast<long long>(d.exponent) - power;
    if (k < 0 || k >= static_cast<long long>(d.digits.size()))
        return '0';
    return d.digits[static_cast<std::size_t>(k)];
}

// One section of a display pattern.
struct Section {
    std::string prefix;     // literal text before the first digit placeholder
    std::string suffix;     // literal text after the last placeholder
    int integerZeros = 0;   // "0" before the point: digits always printed
    bool point = false;
    int fractionZeros = 0;  // "0" after the point: decimals always printed
    int fractionMax = 0;    // "0" and "#" after the point
    bool scientific = false;
    int exponentZeros = 0;
};

Section parseSection(std::string_view pattern)
{
    Section s;
    bool placeholderSeen = false;
    bool inExponent = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '0' || c == '#') {
            placeholderSeen = true;
            if (inExponent)
                s.exponentZeros += c == '0';
            else if (s.point) {
                s.fractionZeros += c == '0';
                ++s.fractionMax;
            } else {
                s.integerZeros += c == '0';
            }
        } else if (c == '.' && !inExponent && !s.point) {
            placeholderSeen = true;
            s.point = true;
        } else if ((c == 'e' || c == 'E') && placeholderSeen && !inExponent &&
                   i + 1 < pattern.size() && pattern[i + 1] == '-') {
            s.scientific = true;
            inExponent = true;
            ++i;
        } else if (placeholderSeen) {
            s.suffix.push_back(c);
        } else {
            s.prefix.push_back(c);
        }
    }
    s.exponentZeros = std::max(s.exponentZeros, 1);
    return s;
}

// Integer digits, a point if the pattern has one, and the decimals, from a
// value already rounded to the section's last place.
std::string fixedDigits(const Decimal& d, const Section& s)
{
    std::string text;
    for (int power = std::max(d.digits.empty() ? 0 : d.exponent, s.integerZeros - 1); power >= 0;
         --power)
        text.push_back(digitAt(d, power));
    // Leading zeros beyond the required ones go ("#0" of 5 is "5", "##0" of 0 is "0").
    const std::size_t required = static_cast<std::size_t>(s.integerZeros);
    while (text.size() > required && text.front() == '0')
        text.erase(text.begin());
    if (!s.point)
        return text;
    std::string fraction;
    for (int place = 1; place <= s.fractionMax; ++place)
        fraction.push_back(digitAt(d, -place));
    while (fraction.size() > static_cast<std::size_t>(s.fractionZeros) && fraction.back() == '0')
        fraction.pop_back();
    return text + '.' + fraction;
}

// The text of a magnitude under one section; `zero` tells whether it
// rounded to nothing.
std::string formatMagnitude(const Decimal& form, const Section& s, bool* zero = nullptr)
{
    Decimal d = form;
    if (!s.scientific) {
        roundToDigits(d, d.exponent + s.fractionMax + 1);
        if (zero)
            *zero = d.digits.empty();
        return s.prefix + fixedDigits(d, s) + s.suffix;
    }
    // One digit before the point; rounding may carry 9.9995 into 1.e+1.
    roundToDigits(d, 1 + s.fractionMax);
    if (zero)
        *zero = d.digits.empty();
    const int exponent = d.exponent;
    d.exponent = 0;
    Section mantissa = s;
    mantissa.integerZeros = 1;
    std::string text = s.prefix + fixedDigits(d, mantissa) + 'e';
    if (exponent < 0)
        text.push_back('-');
    std::string digits = std::to_string(std::abs(exponent));
    if (digits.size() < static_cast<std::size_t>(s.exponentZeros))
        digits.insert(0, static_cast<std::size_t>(s.exponentZeros) - digits.size(), '0');
    return text + digits + s.suffix;
}

std::string formatWithDigits(double value, std::string_view pattern, int significant)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    const Decimal form = decimalForm(value, significant);
    const std::size_t split = pattern.find(';');
    const Section positive = parseSection(pattern.substr(0, split));
    if (value < 0) {
        // A pattern with a negative section takes it for every negative
        // value, also one that rounds to zero: -1e-9 under "+0.#;-0.#" is
        // "-0.". Negative zero is not below zero and takes the first section.
        if (split != std::string_view::npos && split + 1 < pattern.size())
            return formatMagnitude(form, parseSection(pattern.substr(split + 1)));
        // With one section the minus sign goes before the digits, and a
        // value that rounds to zero shows as zero without it.
        bool zero = false;
        std::string text = '-' + formatMagnitude(form, positive, &zero);
        if (!zero)
            return text;
    }
    return formatMagnitude(value < 0 ? Decimal{} : form, positive);
}

bool isIgnoredInNumber(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Significant digits kept when reading; a double needs at most 767 to round
// right, and a dropped non-zero digit leaves a sticky 1 behind.
constexpr std::size_t kDigitsKept = 800;

}  // namespace

std::string formatNumber(double value, std::string_view pattern)
{
    return formatWithDigits(value, pattern, 15);
}

std::string formatSingle(float value, std::string_view pattern)
{
    return formatWithDigits(static_cast<double>(value), pattern, 7);
}

std::string singleToText(float value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? " Infinity" : "-Infinity";
    const std::string sign = value < 0 ? "-" : " ";
    const Decimal d = decimalForm(static_cast<double>(value), 7);
    if (d.digits.empty())
        return " 0";
    if (d.exponent < -4 || d.exponent > 6) {
        std::string text = sign + d.digits.front();
        if (d.digits.size() > 1)
            text += '.' + d.digits.substr(1);
        text += d.exponent < 0 ? "E-" : "E+";
        const std::string digits = std::to_string(std::abs(d.exponent));
        return text + (digits.size() < 2 ? "0" : "") + digits;
    }
    Section plain;
    plain.integerZeros = 1;
    plain.point = true;
    plain.fractionMax = std::max(static_cast<int>(d.digits.size()) - 1 - d.exponent, 0);
    std::string text = fixedDigits(d, plain);
    if (text.back() == '.')
        text.pop_back();
    return sign + text;
}

double numberOfText(std::string_view text)
{
    std::size_t pos = 0;
    auto skipIgnored = [&] {
        while (pos < text.size() && isIgnoredInNumber(text[pos]))
            ++pos;
    };
    auto peek = [&]() -> char {
        skipIgnored();
        return pos < text.size() ? text[pos] : '\0';
    };

    bool negative = false;
    if (peek() == '+' || peek() == '-') {
        negative = text[pos] == '-';
        ++pos;
    }

    // value = 0.digits × 10^scale
    std::string digits;
    bool sticky = false;
    bool anyDigit = false;
    bool point = false;
    long long scale = 0;
    for (char c = peek(); isDigit(c) || (c == '.' && !point); c = peek()) {
        ++pos;
        if (c == '.') {
            point = true;
            continue;
        }
        anyDigit = true;
        if (digits.empty() && c == '0') {
            if (point)
                --scale;
            continue;
        }
        if (digits.size() < kDigitsKept)
            digits.push_back(c);
        else if (c != '0')
            sticky = true;
        if (!point)
            ++scale;
    }
    if (!anyDigit)
        return 0.0;

    // The point's place moved by at most one per character of the text, so
    // an exponent beyond this saturates: the value is 0 or out of range
    // whatever the digits were. A fixed cap would not do: a million zeros
    // after the point bring a million-sized exponent back into range.
    const long long exponentCap = static_cast<long long>(text.size()) + 401;
    long long exponent = 0;
    if (peek() == 'e' || peek() == 'E') {
        ++pos;
        bool exponentNegative = false;
        if (peek() == '+' || peek() == '-') {
            exponentNegative = text[pos] == '-';
            ++pos;
        }
        for (char c = peek(); isDigit(c); c = peek()) {
            ++pos;
            exponent = std::min(exponent * 10 + (c - '0'), exponentCap);
        }
        if (exponentNegative)
            exponent = -exponent;
    }
    if (digits.empty())
        return 0.0;

    const double largest = negative ? -DBL_MAX : DBL_MAX;
    const long long total = scale + exponent;
    if (total > 400)
        return largest;
    if (total < -400)
        return 0.0;
    std::string canonical = "0." + digits + (sticky ? "1" : "") + 'e' + std::to_string(total);
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range)
        return total > 0 ? largest : 0.0;
    return negative ? -value : value;
}

std::int32_t iterationLimitOfNumber(double number)
{
    if (std::isnan(number) || number < 1.0)
        return 1;
    if (number >= static_cast<double>(kMaxIterLimit))
        return kMaxIterLimit;
    return static_cast<std::int32_t>(std::floor(number));
}

}  // namespace quilfen
