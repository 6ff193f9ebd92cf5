#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sealed_helpers.hpp"
#include "tarnel/parameters/sealed_parameters.hpp"
#include "tarnel/parameters/signature.hpp"
#include "tarnel/util/siphash.hpp"

namespace tarnel::parameters {
namespace {

using testing::define;
using testing::instant;

// ---- Date code: days since 0000-03-01, one apart for consecutive days.

struct DateCodeCase {
    const char* date;
    std::uint32_t code;
};

class DateCode : public ::testing::TestWithParam<DateCodeCase> {};

TEST_P(DateCode, DaysSinceMarchFirstOfYearZero) {
    EXPECT_EQ(date_code(instant(GetParam().date)), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Table, DateCode,
                         ::testing::Values(DateCodeCase{"1970-01-01T00:00:00Z", 719468},
                                           DateCodeCase{"1969-12-31T23:59:59.999999999Z", 719467},
                                           DateCodeCase{"2000-03-01T00:00:00Z", 730485},
                                           DateCodeCase{"2000-02-29T12:00:00Z", 730484},
                                           DateCodeCase{"1900-03-01T00:00:00Z", 693960},
                                           DateCodeCase{"1900-02-28T00:00:00Z", 693959},
                                           DateCodeCase{"2024-01-01T00:00:00Z", 739191},
                                           DateCodeCase{"1677-09-22T00:00:00Z", 612717},
                                           DateCodeCase{"2262-04-11T00:00:00Z", 826219}));

// ---- The byte stream, spelled out independently of the hasher's callers.

class Stream {
public:
    Stream& u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
        return *this;
    }
    Stream& u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
        return *this;
    }
    Stream& str(std::string_view s) {
        for (char c : s) bytes_.push_back(static_cast<std::byte>(c));
        bytes_.push_back(std::byte{0xFF});
        return *this;
    }
    [[nodiscard]] std::uint64_t digest() const { return util::siphash13(bytes_); }

private:
    std::vector<std::byte> bytes_;
};

TEST(SignatureStream, StartDateAloneIsDateSecondAndNanosecond) {
    Parameters p(instant("2024-01-01T01:02:03.000000456Z"));
    EXPECT_EQ(seal(p).signature().value, Stream().u32(739191).u32(3723).u32(456).digest());
}

TEST(SignatureStream, FunctionsFollowInByteOrderOfTheirKeys) {
    Parameters p(instant("1970-01-01T00:00:00Z"));
    define(p, "function b() {}");
    define(p, "function ab(x, y) {}");
    define(p, "function a() {}");
    const auto expected = Stream()
                              .u32(719468)
                              .u32(0)
                              .u32(0)
                              .str("a").str("a").u64(0).u64(0)
                              .str("ab").str("ab").u64(2).str("x").str("y").u64(0)
                              .str("b").str("b").u64(0).u64(0)
                              .digest();
    EXPECT_EQ(seal(p).signature().value, expected);
}

TEST(SignatureStream, KeysCompareAsBytes) {
    // 0xC3 sorts after every ASCII letter when bytes are unsigned.
    Parameters p(instant("1970-01-01T00:00:00Z"));
    p.custom_functions().emplace("\xC3\xA9", CustomFunction{"e", {}, {}});
    p.custom_functions().emplace("z", CustomFunction{"z", {}, {}});
    const auto expected =
        Stream().u32(719468).u32(0).u32(0).str("z").str("z").u64(0).u64(0).str("\xC3\xA9").str("e").u64(0).u64(0).digest();
    EXPECT_EQ(seal(p).signature().value, expected);
}

TEST(SignatureStream, KeyAndNameAreFedSeparately) {
    // Nothing checks that the name equals its key; both enter the digest.
    Parameters same(instant("1970-01-01T00:00:00Z"));
    same.custom_functions().emplace("f", CustomFunction{"f", {}, {}});
    Parameters renamed(instant("1970-01-01T00:00:00Z"));
    renamed.custom_functions().emplace("f", CustomFunction{"g", {}, {}});
    EXPECT_NE(seal(same).signature(), seal(renamed).signature());
}

TEST(SignatureStream, BodyEntersThroughTheStructuralHash) {
    Parameters p(instant("1970-01-01T00:00:00Z"));
    define(p, "function f() { return 1 }");
    const auto& statements = p.custom_functions().at("f").statements;
    util::SipHasher13 h;
    h.write_u32(719468);
    h.write_u32(0);
    h.write_u32(0);
    h.write_str("f");
    h.write_str("f");
    h.write_u64(0);
    h.write_u64(statements.size());
    statements[0].hash_feed(h);
    EXPECT_EQ(seal(p).signature().value, h.finish());
}

// ---- What changes the signature and what does not.

struct Variant {
    const char* name;
    const char* start;
    std::vector<const char*> functions;
    bool with_protocols;
};

Signature signature_of(const Variant& v) {
    Parameters p(instant(v.start));
    if (v.with_protocols) {
        EXPECT_TRUE(p.add_uniswap_v3_protocol("pool", "WETH", "USDC").has_value());
        EXPECT_TRUE(p.add_agents(std::vector<std::string>{"bot"}).has_value());
        EXPECT_TRUE(p.add_agent_variables("bot", std::vector<std::string>{"risk"}).has_value());
        EXPECT_TRUE(p.add_common(std::vector<std::string>{"WETH", "USDC"}).has_value());
    }
    for (const char* f : v.functions) define(p, f);
    return seal(p).signature();
}

struct PairCase {
    const char* name;
    Variant a;
    Variant b;
    bool equal;
};

class SignatureComparison : public ::testing::TestWithParam<PairCase> {};

TEST_P(SignatureComparison, EqualExactlyWhenDateAndFunctionsAre) {
    const auto& c = GetParam();
    if (c.equal)
        EXPECT_EQ(signature_of(c.a), signature_of(c.b));
    else
        EXPECT_NE(signature_of(c.a), signature_of(c.b));
}

constexpr const char* day = "2024-01-01T00:00:00Z";
constexpr const char* f1 = "function f(a) { return a }";
constexpr const char* g1 = "function g(a, b) { if a > b { return a } else { return b } }";

INSTANTIATE_TEST_SUITE_P(
    Table, SignatureComparison,
    ::testing::Values(
        PairCase{"protocols_agents_variables_tokens_ignored", {"", day, {}, false}, {"", day, {}, true}, true},
        PairCase{"protocols_ignored_with_functions", {"", day, {f1}, false}, {"", day, {f1}, true}, true},
        PairCase{"insertion_order_ignored", {"", day, {f1, g1}, false}, {"", day, {g1, f1}, false}, true},
        PairCase{"same_instant_other_offset", {"", day, {}, false}, {"", "2024-01-01T02:00:00+02:00", {}, false}, true},
        PairCase{"one_nanosecond_later", {"", day, {}, false}, {"", "2024-01-01T00:00:00.000000001Z", {}, false}, false},
        PairCase{"one_second_later", {"", day, {}, false}, {"", "2024-01-01T00:00:01Z", {}, false}, false},
        PairCase{"next_day_same_time", {"", day, {}, false}, {"", "2024-01-02T00:00:00Z", {}, false}, false},
        PairCase{"function_added", {"", day, {}, false}, {"", day, {f1}, false}, false},
        PairCase{"second_function_added", {"", day, {f1}, false}, {"", day, {f1, g1}, false}, false},
        PairCase{"body_differs", {"", day, {f1}, false}, {"", day, {"function f(a) { return a + 0 }"}, false}, false},
        PairCase{"parameter_renamed", {"", day, {f1}, false}, {"", day, {"function f(b) { return a }"}, false}, false},
        PairCase{"literal_scale_differs",
                 {"", day, {"function f() { return 1.5 }"}, false},
                 {"", day, {"function f() { return 1.50 }"}, false}, true},
        PairCase{"identifier_moved",
                 {"", day, {"function f() { return x }"}, false},
                 {"", day, {"function f() { return  x }"}, false}, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Sealing, TwiceGivesEqualSignatures) {
    Parameters p(instant(day));
    define(p, f1);
    EXPECT_EQ(seal(p).signature(), seal(p).signature());
}

}  // namespace
}  // namespace tarnel::parameters
