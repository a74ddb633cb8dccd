#pragma once

// Pieces of JSON text written by hand, the same in every locale.

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

}  // namespace quilfen::cli
