#include "base/number_text.h"

#include <charconv>
#include <cmath>

namespace qv {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Roughly the power of ten of a well-formed decimal text: positive for large
// numbers, negative for tiny ones.
long DecimalMagnitude(std::string_view text) {
    long firstDigit = 0, point = -1, pos = 0, exponent = 0;
    bool found = false;
    size_t i = 0;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] == '.') { point = pos; continue; }
        if (!found && text[i] != '0') { firstDigit = pos; found = true; }
        ++pos;
    }
    if (point < 0) point = pos;
    if (i < text.size()) {
        bool neg = false;
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) neg = text[j++] == '-';
        for (; j < text.size(); ++j) exponent = exponent < 100000 ? exponent * 10 + (text[j] - '0') : exponent;
        if (neg) exponent = -exponent;
    }
    return (point - firstDigit) + exponent;
}

}  // namespace

std::optional<double> ParseDecimal(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Check the whole shape first: from_chars alone would accept "inf" and a
    // number followed by anything.
    size_t i = 0, digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < text.size() && IsDigit(text[i])) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;

    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Far too small reads as zero; far too large is no number.
        if (DecimalMagnitude(text) > 0) return std::nullopt;
        value = 0;
    } else if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    if (!std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

std::optional<int32_t> ParseWholeNumber(std::string_view text) {
    std::optional<double> value = ParseDecimal(text);
    if (!value) return std::nullopt;
    double rounded = std::nearbyint(*value);  // the default rounding mode: half to even
    if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
    return static_cast<int32_t>(rounded);
}

namespace {

// Plain decimals (no exponent) for every number a person will meet here.
template <class T>
std::string Shortest(T value) {
    char buffer[400];
    bool plain = std::isfinite(value) && std::fabs(value) < static_cast<T>(1e15);
    auto [end, ec] = plain ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
                           : std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace

std::string ShortestFloatText(float value) { return Shortest(value); }
std::string ShortestDoubleText(double value) { return Shortest(value); }

}  // namespace qv
