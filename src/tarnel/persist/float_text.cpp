#include "tarnel/persist/float_text.hpp"

#include <array>
#include <charconv>
#include <cmath>

namespace tarnel::persist {
namespace {

std::string shortest(double d, std::chars_format format) {
    // Fixed notation of the largest doubles needs about 310 digits.
    std::array<char, 400> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), d, format);
    return {buf.data(), res.ptr};
}

}  // namespace

std::string float_display(double d) {
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    std::string s = shortest(d, std::chars_format::fixed);
    if (s.find('.') == std::string::npos) s += ".0";
    return s;
}

std::string float_json(double d) {
    std::string s = shortest(d, std::chars_format::general);
    const auto e = s.find('e');
    if (e == std::string::npos) {
        if (s.find('.') == std::string::npos) s += ".0";
        return s;
    }
    // "1e+21" -> "1e21", "1e-07" -> "1e-7"
    std::string mantissa = s.substr(0, e);
    std::string exponent = s.substr(e + 1);
    std::string sign;
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
        if (exponent[0] == '-') sign = "-";
        exponent.erase(0, 1);
    }
    while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
    return mantissa + "e" + sign + exponent;
}

}  // namespace tarnel::persist
