#pragma once
// Locale-free reading and writing of numbers in settings and logs.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// A decimal number with optional blanks around it, an optional sign, a
// fraction and an exponent ("  -2.5e1 "). Anything else, "inf" and "nan"
// included, gives nothing.
std::optional<double> ParseDecimal(std::string_view text);

// ParseDecimal rounded half to even ("2.5" -> 2, "3.5" -> 4); nothing when the
// result falls outside the 32-bit signed range.
std::optional<int32_t> ParseWholeNumber(std::string_view text);

// The shortest decimal text, without an exponent, that reads back as the same
// single-precision value ("0", "3105", "100000", "0.5").
std::string ShortestFloatText(float value);
// The same for a double ("100", "22.5401", "0.0001").
std::string ShortestDoubleText(double value);

}  // namespace qv
