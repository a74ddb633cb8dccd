#pragma once

// Numbers shown to and typed by the user.

#include <cstdint>
#include <string>
#include <string_view>

namespace quilfen {

// Formats value with a display pattern of the program: "0" a required digit,
// "#" an optional digit, "." the point (always printed), literal "+"/"-",
// "e-" scientific with a sign only for negative exponents, and an optional
// second section after ";" for negative values (showing the absolute value).
// The last digit is rounded half away from zero on the value's decimal form
// with 15 significant digits. Patterns used: "+0.########;-0.########",
// "+0.#######;-0.#######", "+0.###e-#0;-0.###e-#0", "###0", "##0.###", "##0.00".
// A NaN gives "NaN", infinities "Infinity" and "-Infinity", whatever the pattern.
std::string formatNumber(double value, std::string_view pattern);

// The same for a 32-bit float, whose decimal form has 7 significant digits.
std::string formatSingle(float value, std::string_view pattern);

// General conversion of a 32-bit float to text: a blank before a
// non-negative number, a minus sign before a negative one, at most 7
// significant digits, no trailing zeros ("計算時間は 2.453秒"). Values below
// one keep the zero before the point (" 0.5"); decimal exponents below -4 or
// above 6 are written "1.234568E+07" / "1E-05". NaN gives "NaN", infinities
// " Infinity" and "-Infinity".
std::string singleToText(float value);

// The number at the start of a typed text: blanks, tabs and line feeds are
// ignored anywhere; an optional sign, digits with at most one full stop and
// an optional exponent are taken as far as they go; no leading number gives 0.
// The result is always finite: a magnitude beyond the double range gives the
// largest double of that sign, one too small for it gives 0.
double numberOfText(std::string_view text);

// The iteration limit for a typed count: the largest integer not above it,
// at least 1 and at most kMaxIterLimit (a NaN gives 1).
std::int32_t iterationLimitOfNumber(double number);

}  // namespace quilfen
