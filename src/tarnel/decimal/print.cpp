// Printed form: sign, integer digits, and exactly `scale` fractional digits.
#include <array>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::decimal {

std::string DecimalValue::to_string() const {
    // 29 digits at most, plus a leading zero before a point.
    std::array<char, 40> digits{};
    std::size_t n = 0;
    u128 c = coefficient_;
    constexpr std::uint64_t chunk = 10'000'000'000'000'000'000ULL;  // 10^19
    const auto low = static_cast<std::uint64_t>(c % chunk);
    auto high = static_cast<std::uint64_t>(c / chunk);
    std::uint64_t part = low;
    for (int i = 0; i < 19 && (part != 0 || high != 0 || n == 0 || n <= scale_); ++i) {
        digits[n++] = static_cast<char>('0' + part % 10);
        part /= 10;
    }
    while (high != 0) {
        digits[n++] = static_cast<char>('0' + high % 10);
        high /= 10;
    }
    while (n <= scale_) {
        digits[n++] = '0';
    }
    std::string out;
    out.reserve(n + 2);
    if (negative_) {
        out.push_back('-');
    }
    for (std::size_t i = n; i-- > 0;) {
        out.push_back(digits[i]);
        if (i == scale_ && i != 0) {
            out.push_back('.');
        }
    }
    return out;
}

std::string Decimal::to_string() const { return value_ ? value_->to_string() : std::string("NaN"); }

}  // namespace tarnel::decimal
