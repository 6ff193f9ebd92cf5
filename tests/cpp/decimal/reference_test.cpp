// Randomized comparison of +, -, *, / with an exact rational reference built
// on a small big-integer type, so rounding and overflow faults show up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::decimal {
namespace {

// Unsigned arbitrary-precision integer, 32-bit limbs, little-endian, trimmed.
class Big {
public:
    Big() = default;
    explicit Big(u128 v) {
        for (; v != 0; v >>= 32) {
            limbs_.push_back(static_cast<std::uint32_t>(v));
        }
    }
    static Big pow10(std::uint32_t n) {
        Big r(1);
        for (std::uint32_t i = 0; i < n; ++i) {
            r = r * Big(10);
        }
        return r;
    }

    [[nodiscard]] bool is_zero() const { return limbs_.empty(); }
    [[nodiscard]] bool odd() const { return !limbs_.empty() && (limbs_[0] & 1U) != 0; }
    [[nodiscard]] std::size_t bits() const {
        if (limbs_.empty()) {
            return 0;
        }
        std::size_t b = 32 * (limbs_.size() - 1);
        for (std::uint32_t top = limbs_.back(); top != 0; top >>= 1) {
            ++b;
        }
        return b;
    }
    [[nodiscard]] bool bit(std::size_t i) const {
        return i / 32 < limbs_.size() && ((limbs_[i / 32] >> (i % 32)) & 1U) != 0;
    }
    [[nodiscard]] u128 to_u128() const {
        u128 v = 0;
        for (std::size_t i = std::min<std::size_t>(limbs_.size(), 4); i-- > 0;) {
            v = (v << 32) | limbs_[i];
        }
        return v;
    }

    friend int cmp(const Big& a, const Big& b) {
        if (a.limbs_.size() != b.limbs_.size()) {
            return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
        }
        for (std::size_t i = a.limbs_.size(); i-- > 0;) {
            if (a.limbs_[i] != b.limbs_[i]) {
                return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
            }
        }
        return 0;
    }
    friend Big operator+(const Big& a, const Big& b) {
        Big r;
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < std::max(a.limbs_.size(), b.limbs_.size()) || carry != 0; ++i) {
            const std::uint64_t t = carry + a.at(i) + b.at(i);
            r.limbs_.push_back(static_cast<std::uint32_t>(t));
            carry = t >> 32;
        }
        r.trim();
        return r;
    }
    // Requires a >= b.
    friend Big operator-(const Big& a, const Big& b) {
        Big r;
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < a.limbs_.size(); ++i) {
            std::int64_t t = static_cast<std::int64_t>(a.at(i)) - b.at(i) - borrow;
            borrow = t < 0 ? 1 : 0;
            t += borrow << 32;
            r.limbs_.push_back(static_cast<std::uint32_t>(t));
        }
        r.trim();
        return r;
    }
    friend Big operator*(const Big& a, const Big& b) {
        Big r;
        r.limbs_.assign(a.limbs_.size() + b.limbs_.size() + 1, 0);
        for (std::size_t i = 0; i < a.limbs_.size(); ++i) {
            std::uint64_t carry = 0;
            for (std::size_t j = 0; j < b.limbs_.size() || carry != 0; ++j) {
                const std::uint64_t t = r.limbs_[i + j] + carry + static_cast<std::uint64_t>(a.limbs_[i]) * b.at(j);
                r.limbs_[i + j] = static_cast<std::uint32_t>(t);
                carry = t >> 32;
            }
        }
        r.trim();
        return r;
    }
    // Bit-by-bit long division: slow, but obviously right.
    friend std::pair<Big, Big> divmod(const Big& a, const Big& b) {
        Big q;
        Big r;
        q.limbs_.assign(a.limbs_.size(), 0);
        r.limbs_.reserve(b.limbs_.size() + 1);
        for (std::size_t i = a.bits(); i-- > 0;) {
            r.shift_in(a.bit(i));
            if (cmp(r, b) >= 0) {
                r.subtract_in_place(b);
                q.limbs_[i / 32] |= 1U << (i % 32);
            }
        }
        q.trim();
        return {q, r};
    }

private:
    [[nodiscard]] std::uint32_t at(std::size_t i) const { return i < limbs_.size() ? limbs_[i] : 0; }
    // *this = 2 * *this + bit
    void shift_in(bool bit) {
        std::uint32_t carry = bit ? 1U : 0U;
        for (auto& l : limbs_) {
            const std::uint32_t next = l >> 31;
            l = (l << 1) | carry;
            carry = next;
        }
        if (carry != 0) {
            limbs_.push_back(carry);
        }
    }
    void subtract_in_place(const Big& b) {
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < limbs_.size(); ++i) {
            std::int64_t t = static_cast<std::int64_t>(limbs_[i]) - b.at(i) - borrow;
            borrow = t < 0 ? 1 : 0;
            t += borrow << 32;
            limbs_[i] = static_cast<std::uint32_t>(t);
        }
        trim();
    }
    void trim() {
        while (!limbs_.empty() && limbs_.back() == 0) {
            limbs_.pop_back();
        }
    }
    std::vector<std::uint32_t> limbs_;
};

const Big big_max(max_coefficient);

// round(n / d), half to even.
Big round_div(const Big& n, const Big& d) {
    auto [q, r] = divmod(n, d);
    const int c = cmp(r + r, d);
    if (c > 0 || (c == 0 && q.odd())) {
        q = q + Big(1);
    }
    return q;
}

std::string printed(const Big& coefficient, std::uint32_t scale, bool negative) {
    const auto v = DecimalValue::from_parts(coefficient.to_u128(), scale, negative && !coefficient.is_zero());
    return v ? v->to_string() : std::string("bad");
}

// The largest t in [0, top] with fits(t), or -1; fits is monotone (a
// rounded value only grows with the scale).
template <class Fits>
int largest_fitting(int top, Fits fits) {
    int lo = -1;  // fits(lo) holds, or lo == -1
    int hi = top + 1;  // fits(hi) fails, or hi == top + 1
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        (fits(mid) ? lo : hi) = mid;
    }
    return lo;
}

// The exact value n / 10^scale reduced to the largest scale <= 28 at which
// it fits, rounded directly from n.
std::string reduce(const Big& n, std::uint32_t scale, bool negative) {
    const auto rounded = [&](int t) { return round_div(n, Big::pow10(scale - static_cast<std::uint32_t>(t))); };
    const int t = largest_fitting(static_cast<int>(std::min(scale, max_scale)),
                                  [&](int u) { return cmp(rounded(u), big_max) <= 0; });
    return t < 0 ? "NaN" : printed(rounded(t), static_cast<std::uint32_t>(t), negative);
}

struct Operand {
    DecimalValue value;
    Big coefficient;
};

std::string reference_add(const Operand& a, const Operand& b, bool subtract) {
    const bool b_negative = subtract ? !b.value.negative() : b.value.negative();
    if (a.value.is_zero()) {
        return subtract ? b.value.negated().to_string() : b.value.to_string();
    }
    if (b.value.is_zero()) {
        return a.value.to_string();
    }
    const std::uint32_t s = std::max(a.value.scale(), b.value.scale());
    const Big x = a.coefficient * Big::pow10(s - a.value.scale());
    const Big y = b.coefficient * Big::pow10(s - b.value.scale());
    if (a.value.negative() == b_negative) {
        return reduce(x + y, s, b_negative);
    }
    return cmp(x, y) >= 0 ? reduce(x - y, s, a.value.negative()) : reduce(y - x, s, b_negative);
}

std::string reference_mul(const Operand& a, const Operand& b) {
    if (a.value.is_zero() || b.value.is_zero()) {
        return "0";
    }
    return reduce(a.coefficient * b.coefficient, a.value.scale() + b.value.scale(),
                  a.value.negative() != b.value.negative());
}

std::string reference_div(const Operand& a, const Operand& b) {
    if (b.value.is_zero()) {
        return "NaN";
    }
    if (a.value.is_zero()) {
        return "0";
    }
    const bool negative = a.value.negative() != b.value.negative();
    // value = num / den
    const Big num = a.coefficient * Big::pow10(b.value.scale());
    const Big den = b.coefficient * Big::pow10(a.value.scale());
    const std::uint32_t min_scale = a.value.scale() > b.value.scale() ? a.value.scale() - b.value.scale() : 0;
    // Terminating within 28 places: the smallest such scale from min_scale.
    auto [q, r] = divmod(num * Big::pow10(max_scale), den);
    if (r.is_zero()) {
        std::uint32_t t = max_scale;
        while (t > min_scale) {
            auto [q10, r10] = divmod(q, Big(10));
            if (!r10.is_zero()) {
                break;
            }
            q = q10;
            --t;
        }
        if (cmp(q, big_max) <= 0) {
            return printed(q, t, negative);
        }
    }
    const auto rounded = [&](int t) { return round_div(num * Big::pow10(static_cast<std::uint32_t>(t)), den); };
    const int t = largest_fitting(static_cast<int>(max_scale), [&](int u) { return cmp(rounded(u), big_max) <= 0; });
    return t < 0 ? "NaN" : printed(rounded(t), static_cast<std::uint32_t>(t), negative);
}

class OperandSource {
public:
    explicit OperandSource(std::uint64_t seed) : rng_(seed) {}

    Operand next() {
        u128 c = 0;
        switch (pick(8)) {
            case 0: c = 0; break;
            case 1: c = max_coefficient - pick(3); break;
            case 2: c = power_of_ten(); break;
            default: c = random_bits(static_cast<unsigned>(pick(97))); break;
        }
        const auto scale = static_cast<std::uint32_t>(pick(29));
        const bool negative = pick(2) == 1;
        return {*DecimalValue::from_parts(c, scale, negative && c != 0), Big(c)};
    }

private:
    std::uint64_t pick(std::uint64_t n) { return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(rng_); }
    u128 random_bits(unsigned bits) {
        const u128 raw = (static_cast<u128>(rng_()) << 64) | rng_();
        return bits == 0 ? 0 : raw >> (128 - bits);
    }
    u128 power_of_ten() {
        u128 p = 1;
        for (auto n = pick(29); n > 0; --n) {
            p *= 10;
        }
        return p * (1 + pick(7));
    }
    std::mt19937_64 rng_;
};

struct RandomCase {
    const char* name;
    std::uint64_t seed;
};

void PrintTo(const RandomCase& c, std::ostream* os) { *os << "seed " << c.seed; }

class AgainstReference : public ::testing::TestWithParam<RandomCase> {};

TEST_P(AgainstReference, AllFourOperationsMatch) {
    OperandSource source(GetParam().seed);
    for (int i = 0; i < 1500; ++i) {
        const Operand a = source.next();
        const Operand b = source.next();
        const std::string context = a.value.to_string() + " , " + b.value.to_string();
        ASSERT_EQ(Decimal(a.value.checked_add(b.value)).to_string(), reference_add(a, b, false)) << "+ " << context;
        ASSERT_EQ(Decimal(a.value.checked_sub(b.value)).to_string(), reference_add(a, b, true)) << "- " << context;
        ASSERT_EQ(Decimal(a.value.checked_mul(b.value)).to_string(), reference_mul(a, b)) << "* " << context;
        ASSERT_EQ(Decimal(a.value.checked_div(b.value)).to_string(), reference_div(a, b)) << "/ " << context;
    }
}

INSTANTIATE_TEST_SUITE_P(Decimal, AgainstReference,
                         ::testing::Values(RandomCase{"a", 1}, RandomCase{"b", 20240601}, RandomCase{"c", 0xDEC1'3A1}),
                         [](const auto& p) { return std::string(p.param.name); });

// Operands drawn so the scales line up and results land right at the
// rounding boundary, where half-way cases are common.
TEST(DecimalAgainstReference, HalfwayProducts) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 3000; ++i) {
        const u128 x = (static_cast<u128>(rng() >> 16) << 32 | (rng() >> 32)) * 5;
        const u128 y = (rng() >> 20) * 25 + 5;
        const auto sx = static_cast<std::uint32_t>(rng() % 29);
        const auto sy = static_cast<std::uint32_t>(rng() % 29);
        const auto a = DecimalValue::from_parts(x, sx, false);
        const auto b = DecimalValue::from_parts(y, sy, (rng() & 1) != 0);
        if (!a || !b) {
            continue;
        }
        const Operand oa{*a, Big(x)};
        const Operand ob{*b, Big(y)};
        ASSERT_EQ(Decimal(a->checked_mul(*b)).to_string(), reference_mul(oa, ob))
            << a->to_string() << " * " << b->to_string();
        ASSERT_EQ(Decimal(a->checked_add(*b)).to_string(), reference_add(oa, ob, false))
            << a->to_string() << " + " << b->to_string();
    }
}

}  // namespace
}  // namespace tarnel::decimal
