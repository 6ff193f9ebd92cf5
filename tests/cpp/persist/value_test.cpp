#include <gtest/gtest.h>

#include <limits>

#include "tarnel/persist/value.hpp"

using namespace tarnel::persist;

struct EqualityCase {
    const char* name;
    Value a;
    Value b;
    bool equal;
};

class ValueEquality : public ::testing::TestWithParam<EqualityCase> {};

TEST_P(ValueEquality, ComparesIntegersByValueAndKeepsKindsApart) {
    const auto& c = GetParam();
    EXPECT_EQ(c.a == c.b, c.equal);
    EXPECT_EQ(c.b == c.a, c.equal);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValueEquality,
    ::testing::Values(
        EqualityCase{"signed_and_unsigned_five", Value(std::int64_t{5}), Value(std::uint64_t{5}), true},
        EqualityCase{"minus_one_is_not_u64_max", Value(std::int64_t{-1}), Value(std::numeric_limits<std::uint64_t>::max()), false},
        EqualityCase{"integer_is_not_double", Value(5), Value(5.0), false},
        EqualityCase{"string_is_not_bytes", Value("a"), Value(Bytes{{'a'}}), false},
        EqualityCase{"nested_integers", Value(Array{Value(Map{{Value("k"), Value(std::uint64_t{7})}})}),
                     Value(Array{Value(Map{{Value("k"), Value(7)}})}), true},
        EqualityCase{"map_order_matters", Value(Map{{Value("a"), Value(1)}, {Value("b"), Value(2)}}),
                     Value(Map{{Value("b"), Value(2)}, {Value("a"), Value(1)}}), false},
        EqualityCase{"position_is_ignored",
                     [] {
                         Value v(1);
                         v.line = 3;
                         v.column = 4;
                         return v;
                     }(),
                     Value(1), true}),
    [](const auto& p) { return std::string(p.param.name); });

// Far deeper than any decoder allows: destruction must not recurse.
TEST(ValueDestruction, VeryDeepNestingIsReleasedWithoutRecursion) {
    constexpr int depth = 1'000'000;
    {
        Value v = Array{};
        for (int k = 0; k < depth; ++k) {
            Array a;
            a.push_back(std::move(v));
            a.push_back(Value(k));
            v = Value(std::move(a));
        }
    }
    {
        Value v = Map{};
        for (int k = 0; k < depth; ++k) {
            Map m;
            m.emplace_back(std::move(v), Value("x"));
            v = Value(std::move(m));
        }
    }
    SUCCEED();
}

TEST(ValueDestruction, MovedFromAndReassignedValuesStayUsable) {
    Value inner = Array{Value(Array{Value(1)}), Value("s")};
    Value outer = Array{inner};
    Value moved = std::move(outer);
    outer = Value(Map{{Value("k"), std::move(inner)}});
    EXPECT_EQ(moved, Value(Array{Value(Array{Value(Array{Value(1)}), Value("s")})}));
    EXPECT_EQ(std::get<Map>(outer.data).front().second, Value(Array{Value(Array{Value(1)}), Value("s")}));
}
