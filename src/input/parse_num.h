// Numeric field input: arithmetic expressions written the French way ("40/2+1,5").
// Independent of the process locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ivo {

// The value of the whole text, or nothing (malformed, trailing characters, not finite,
// nesting deeper than the parser allows).
std::optional<double> parseNum(std::string_view text);

// Display form of a length or angle: at most three decimals, no trailing zeros, comma as
// decimal separator, "-0" shown as "0".
std::string fmt(double v);

}  // namespace ivo
