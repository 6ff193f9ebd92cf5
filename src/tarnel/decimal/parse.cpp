// Plain and scientific decimal notation.
#include <algorithm>
#include <string>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/decimal/pow10.hpp"

namespace tarnel::decimal {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool digit_follows(std::string_view text, std::size_t i) { return i + 1 < text.size() && is_digit(text[i + 1]); }

// Accumulates digits into the coefficient until one no longer fits; that
// digit rounds the value half up and the rest of the text is still checked,
// so a bad tail (or an exponent, left to the scientific form) fails.
class PlainParser {
public:
    explicit PlainParser(std::string_view text) : text_(text) {}

    std::optional<DecimalValue> run() {
        std::size_t i = 0;
        bool negative = false;
        if (!text_.empty() && (text_[0] == '+' || text_[0] == '-')) {
            negative = text_[0] == '-';
            if (!digit_follows(text_, 0)) {
                return std::nullopt;
            }
            i = 1;
        }
        for (; i < text_.size(); ++i) {
            const char c = text_[i];
            if (is_digit(c)) {
                if (!digit(static_cast<std::uint32_t>(c - '0'))) {
                    return std::nullopt;
                }
            } else if (c == '_') {
                if (!digit_follows(text_, i)) {
                    return std::nullopt;
                }
            } else if (c == '.' && !point_) {
                point_ = true;
            } else {
                return std::nullopt;
            }
        }
        if (!any_digit_) {
            return std::nullopt;
        }
        return DecimalValue::from_parts(coefficient_, scale_, negative && coefficient_ != 0);
    }

private:
    bool digit(std::uint32_t d) {
        any_digit_ = true;
        if (frozen_) {
            return true;
        }
        const bool coefficient_full = coefficient_ > (max_coefficient - d) / 10;
        if (!point_) {
            // The integer part must fit as it stands.
            if (coefficient_full) {
                return false;
            }
            coefficient_ = coefficient_ * 10 + d;
            return true;
        }
        if (scale_ < max_scale && !coefficient_full) {
            coefficient_ = coefficient_ * 10 + d;
            ++scale_;
            return true;
        }
        frozen_ = true;
        if (d < 5) {
            return true;
        }
        if (coefficient_ < max_coefficient) {
            ++coefficient_;
            return true;
        }
        // Rounding up overflows: keep one digit less (the dropped digit of
        // 2^96 - 1 is a 5, so that digit rounds up too).
        if (scale_ == 0) {
            return false;
        }
        coefficient_ = coefficient_ / 10 + 1;
        --scale_;
        return true;
    }

    std::string_view text_;
    u128 coefficient_ = 0;
    std::uint32_t scale_ = 0;
    bool point_ = false;
    bool any_digit_ = false;
    bool frozen_ = false;
};

std::optional<DecimalValue> parse_plain(std::string_view text) { return PlainParser(text).run(); }

// Optional sign and decimal digits fitting 32 bits; no separators.
struct Exponent {
    bool negative = false;
    std::uint32_t value = 0;
};

std::optional<Exponent> parse_exponent(std::string_view text) {
    Exponent e;
    std::size_t i = 0;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        e.negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    std::uint64_t v = 0;
    for (; i < text.size(); ++i) {
        if (!is_digit(text[i])) {
            return std::nullopt;
        }
        v = v * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (v > UINT32_MAX) {
            return std::nullopt;
        }
    }
    e.value = static_cast<std::uint32_t>(v);
    return e;
}

std::optional<DecimalValue> parse_scientific(std::string_view text) {
    const std::size_t at = text.find_first_of("eE");
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const auto mantissa = parse_plain(text.substr(0, at));
    if (!mantissa) {
        return std::nullopt;
    }
    const auto exponent = parse_exponent(text.substr(at + 1));
    if (!exponent) {
        return std::nullopt;
    }
    const std::uint32_t s = mantissa->scale();
    const std::uint32_t x = exponent->value;
    const u128 c = mantissa->coefficient();
    const bool negative = mantissa->negative();
    if (exponent->negative) {
        if (static_cast<std::uint64_t>(s) + x > max_scale) {
            return std::nullopt;
        }
        return DecimalValue::from_parts(c, s + x, negative);
    }
    if (x <= s) {
        return DecimalValue::from_parts(c, s - x, negative);
    }
    if (x > max_scale) {
        return std::nullopt;
    }
    // The whole power of ten is applied before the fractional digits are
    // dropped, so the check covers the coefficient times 10^x.
    u128 scaled = c;
    for (std::uint32_t left = x; left > 0;) {
        const std::uint32_t step = std::min(left, 19U);
        const u128 p = detail::pow10_u128[step];
        if (scaled > max_coefficient / p) {
            return std::nullopt;
        }
        scaled *= p;
        left -= step;
    }
    const std::uint32_t removed = detail::strip_zeros(scaled, s);
    return DecimalValue::from_parts(scaled, s - removed, negative);
}

}  // namespace

std::optional<DecimalValue> DecimalValue::decimal_or_scientific(std::string_view text) {
    if (auto plain = parse_plain(text)) {
        return plain;
    }
    return parse_scientific(text);
}

std::optional<Decimal> Decimal::from_str(std::string_view text) {
    if (text.size() == 3) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(text[0]) == 'n' && lower(text[1]) == 'a' && lower(text[2]) == 'n') {
            return Decimal();
        }
    }
    if (auto v = DecimalValue::decimal_or_scientific(text)) {
        return Decimal(*v);
    }
    std::string without;
    without.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(without), [](char c) { return c != '_'; });
    if (auto v = DecimalValue::decimal_or_scientific(without)) {
        return Decimal(*v);
    }
    return std::nullopt;
}

}  // namespace tarnel::decimal
