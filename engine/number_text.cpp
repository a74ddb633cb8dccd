#include "number_text.h"

// Placeholder bodies until the number module lands.
namespace quilfen {
std::string formatNumber(double, std::string_view) { return {}; }
std::string formatSingle(float, std::string_view) { return {}; }
std::string singleToText(float) { return {}; }
double numberOfText(std::string_view) { return 0.0; }
}  // namespace quilfen
