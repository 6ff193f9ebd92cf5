#include <gtest/gtest.h>

#include <limits>

#include "tarnel/persist/codecs.hpp"
#include "tarnel/persist/reader.hpp"

using namespace tarnel::persist;
using Bytes8 = std::vector<std::uint8_t>;

namespace {

Bytes8 concat(Bytes8 head, std::string_view tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct EncodingCase {
    const char* name;
    Value value;
    Bytes8 bytes;
};

class MsgpackEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(MsgpackEncoding, ShortestFormAndBack) {
    const auto& c = GetParam();
    auto bytes = to_msgpack(c.value);
    ASSERT_TRUE(bytes) << bytes.error().message;
    EXPECT_EQ(*bytes, c.bytes);
    auto back = from_msgpack(c.bytes);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, c.value);
}

const std::string s31(31, 'x');
const std::string s32(32, 'x');
const std::string s256(256, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, MsgpackEncoding,
    ::testing::Values(
        EncodingCase{"nil", Null{}, {0xC0}}, EncodingCase{"false", false, {0xC2}}, EncodingCase{"true", true, {0xC3}},
        EncodingCase{"fixint_zero", std::uint64_t{0}, {0x00}},
        EncodingCase{"fixint_max", std::uint64_t{127}, {0x7F}},
        EncodingCase{"uint8", std::uint64_t{128}, {0xCC, 0x80}},
        EncodingCase{"uint8_max", std::uint64_t{255}, {0xCC, 0xFF}},
        EncodingCase{"uint16", std::uint64_t{256}, {0xCD, 0x01, 0x00}},
        EncodingCase{"uint32", std::uint64_t{65536}, {0xCE, 0x00, 0x01, 0x00, 0x00}},
        EncodingCase{"uint32_max", std::uint64_t{0xFFFFFFFF}, {0xCE, 0xFF, 0xFF, 0xFF, 0xFF}},
        EncodingCase{"uint64", std::uint64_t{0x100000000}, {0xCF, 0, 0, 0, 1, 0, 0, 0, 0}},
        EncodingCase{"uint64_max", std::numeric_limits<std::uint64_t>::max(),
                     {0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        EncodingCase{"signed_held_positive_fixint", std::int64_t{7}, {0x07}},
        EncodingCase{"signed_held_uint8", std::int64_t{200}, {0xCC, 0xC8}},
        EncodingCase{"signed_held_uint16", std::int64_t{300}, {0xCD, 0x01, 0x2C}},
        EncodingCase{"negative_fixint", std::int64_t{-1}, {0xFF}},
        EncodingCase{"negative_fixint_min", std::int64_t{-32}, {0xE0}},
        EncodingCase{"int8", std::int64_t{-33}, {0xD0, 0xDF}},
        EncodingCase{"int8_min", std::int64_t{-128}, {0xD0, 0x80}},
        EncodingCase{"int16", std::int64_t{-129}, {0xD1, 0xFF, 0x7F}},
        EncodingCase{"int32", std::int64_t{-32769}, {0xD2, 0xFF, 0xFF, 0x7F, 0xFF}},
        EncodingCase{"int64", std::int64_t{-2147483649}, {0xD3, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF}},
        EncodingCase{"int64_min", std::numeric_limits<std::int64_t>::min(), {0xD3, 0x80, 0, 0, 0, 0, 0, 0, 0}},
        EncodingCase{"float64", 1.5, {0xCB, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0}},
        EncodingCase{"fixstr_empty", "", {0xA0}},
        EncodingCase{"fixstr", "a", {0xA1, 'a'}},
        EncodingCase{"fixstr_max", s31, concat({0xBF}, s31)},
        EncodingCase{"str8", s32, concat({0xD9, 32}, s32)},
        EncodingCase{"str16", s256, concat({0xDA, 0x01, 0x00}, s256)},
        EncodingCase{"bin8", Bytes{{1, 2}}, {0xC4, 0x02, 0x01, 0x02}},
        EncodingCase{"fixarray", Array{1, "a"}, {0x92, 0x01, 0xA1, 'a'}},
        EncodingCase{"fixmap", Map{{"a", 1}}, {0x81, 0xA1, 'a', 0x01}},
        EncodingCase{"integer_keys", Map{{std::uint64_t{2}, Null{}}}, {0x81, 0x02, 0xC0}},
        EncodingCase{"literal_expression",
                     Map{{"tree", Map{{"Literal", "1.50"}}}, {"parameter_signature", std::uint64_t{7}}},
                     concat(concat(concat(concat({0x82, 0xA4}, "tree"), "\x81\xA7Literal\xA4"), "1.50\xB3"),
                            "parameter_signature\x07")}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(MsgpackEncoding, ContainerHeadersGrow) {
    Array sixteen(16, Value(0));
    auto a = to_msgpack(Value(sixteen)).value();
    EXPECT_EQ(Bytes8(a.begin(), a.begin() + 3), (Bytes8{0xDC, 0x00, 0x10}));
    Map m;
    for (int k = 0; k < 16; ++k) m.emplace_back(Value(k), Value(k));
    auto b = to_msgpack(Value(m)).value();
    EXPECT_EQ(Bytes8(b.begin(), b.begin() + 3), (Bytes8{0xDE, 0x00, 0x10}));
    EXPECT_EQ(from_msgpack(a).value(), Value(sixteen));
    EXPECT_EQ(from_msgpack(b).value(), Value(m));
}

struct DecodingCase {
    const char* name;
    Bytes8 bytes;
    Value value;
};

class MsgpackDecoding : public ::testing::TestWithParam<DecodingCase> {};

TEST_P(MsgpackDecoding, AcceptsLongerFormsThanNeeded) {
    auto v = from_msgpack(GetParam().bytes);
    ASSERT_TRUE(v) << v.error().message;
    EXPECT_EQ(*v, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MsgpackDecoding,
    ::testing::Values(DecodingCase{"int8_positive", {0xD0, 0x05}, std::uint64_t{5}},
                      DecodingCase{"uint64_small", {0xCF, 0, 0, 0, 0, 0, 0, 0, 9}, std::uint64_t{9}},
                      DecodingCase{"int64_negative", {0xD3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, std::int64_t{-2}},
                      DecodingCase{"str8_short", {0xD9, 0x01, 'z'}, "z"},
                      DecodingCase{"array16_short", {0xDC, 0x00, 0x01, 0xC3}, Array{true}},
                      DecodingCase{"map32_short", {0xDF, 0, 0, 0, 1, 0xA1, 'k', 0xC2}, Map{{"k", false}}},
                      DecodingCase{"float32", {0xCA, 0x3F, 0xC0, 0x00, 0x00}, 1.5},
                      DecodingCase{"bin_for_string", {0xC4, 0x01, 'q'}, Bytes{{'q'}}},
                      DecodingCase{"bad_utf8_str_kept_as_bytes", {0xA2, 'a', 0xFF}, Bytes{{'a', 0xFF}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(MsgpackDecoding, StringReadersAcceptBinAndCheckUtf8) {
    auto bin = from_msgpack(Bytes8{0xC4, 0x02, 0xC3, 0xA9}).value();
    EXPECT_EQ(read_string(bin).value(), "\xC3\xA9");
    auto bad = from_msgpack(Bytes8{0xA2, 'a', 0xFF}).value();
    EXPECT_EQ(read_string(bad).error().message, "invalid utf-8 sequence of 1 bytes from index 1");
}

TEST(MsgpackRoundTrip, EveryKindReadsBackEqual) {
    Value v(Map{
        {"null", Null{}},
        {"bools", Array{true, false}},
        {std::int64_t{-5}, std::numeric_limits<std::int64_t>::min()},
        {std::uint64_t{5}, std::numeric_limits<std::uint64_t>::max()},
        {"double", 0.1},
        {"text", "\xC3\xA9 \x01"},
        {"bytes", Bytes{{0, 255}}},
        {Array{1}, Map{{true, Array{Map{}, Array{}}}}},
    });
    auto bytes = to_msgpack(v);
    ASSERT_TRUE(bytes) << bytes.error().message;
    auto back = from_msgpack(*bytes);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, v);
}

// --- hostile input -------------------------------------------------------

struct HostileCase {
    const char* name;
    Bytes8 bytes;
};

class MsgpackHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(MsgpackHostile, FailsWithoutAllocatingOrCrashing) {
    auto v = from_msgpack(GetParam().bytes);
    ASSERT_FALSE(v);
    EXPECT_FALSE(v.error().message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, MsgpackHostile,
    ::testing::Values(HostileCase{"empty", {}}, HostileCase{"array32_max_without_data", {0xDD, 0xFF, 0xFF, 0xFF, 0xFF}},
                      HostileCase{"map32_max_without_data", {0xDF, 0xFF, 0xFF, 0xFF, 0xFF}},
                      HostileCase{"array_claims_more_than_input", {0xDC, 0x01, 0x00, 0xC0, 0xC0, 0xC0}},
                      HostileCase{"str32_max_without_data", {0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
                      HostileCase{"bin32_max_without_data", {0xC6, 0xFF, 0xFF, 0xFF, 0xFF}},
                      HostileCase{"ext32_max", {0xC9, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}},
                      HostileCase{"fixext", {0xD4, 0x01, 0x00}},
                      HostileCase{"reserved_marker", {0xC1}},
                      HostileCase{"reserved_inside_array", {0x92, 0x01, 0xC1}},
                      HostileCase{"trailing_bytes", {0x01, 0x02}},
                      HostileCase{"truncated_uint32", {0xCE, 0x00, 0x01}},
                      HostileCase{"truncated_map", {0x82, 0xA1, 'a', 0x01}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(MsgpackHostile, MessagesNameTheProblem) {
    EXPECT_EQ(from_msgpack(Bytes8{}).error().message, "unexpected end of MessagePack data");
    EXPECT_EQ(from_msgpack(Bytes8{0xDD, 0xFF, 0xFF, 0xFF, 0xFF}).error().message,
              "length 4294967295 exceeds the limit of 16777216");
    EXPECT_EQ(from_msgpack(Bytes8{0x93, 0x01}).error().message, "length 3 exceeds the remaining input");
    EXPECT_EQ(from_msgpack(Bytes8{0x01, 0x02}).error().message, "trailing bytes after the MessagePack value at offset 1");
    EXPECT_EQ(from_msgpack(Bytes8{0x91, 0xC1}).error().message, "invalid MessagePack marker at offset 1");
}

TEST(MsgpackLimits, NestingStopsAtTheBound) {
    const auto depth = tarnel::util::default_limits.max_document_depth;
    Bytes8 ok(depth, 0x91);
    ok.push_back(0xC0);
    auto deep = from_msgpack(ok);
    ASSERT_TRUE(deep) << deep.error().message;
    EXPECT_EQ(to_msgpack(*deep).value(), ok);

    Bytes8 too_deep(depth + 1, 0x91);
    too_deep.push_back(0xC0);
    EXPECT_EQ(from_msgpack(too_deep).error().message, "recursion limit exceeded");
    Bytes8 maps;
    for (std::size_t k = 0; k <= depth; ++k) maps.insert(maps.end(), {0x81, 0xA1, 'k'});
    maps.push_back(0xC0);
    EXPECT_EQ(from_msgpack(maps).error().message, "recursion limit exceeded");
}

TEST(MsgpackLimits, SizesAreBoundedByLimits) {
    tarnel::util::Limits small;
    small.max_document_elements = 2;
    EXPECT_TRUE(from_msgpack(Bytes8{0x92, 0x01, 0x02}, small));
    EXPECT_FALSE(from_msgpack(Bytes8{0x93, 0x01, 0x02, 0x03}, small));
    EXPECT_FALSE(from_msgpack(Bytes8{0xA3, 'a', 'b', 'c'}, small));
    EXPECT_FALSE(from_msgpack(Bytes8{0xC4, 0x03, 1, 2, 3}, small));
}

TEST(MsgpackLimits, EveryTruncationFailsCleanly) {
    Value v(Map{{"a", Array{1, std::uint64_t{70000}, -1.5, "text", Bytes{{1}}}}, {"b", Map{{"c", Null{}}}}});
    auto bytes = to_msgpack(v).value();
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(from_msgpack(std::span<const std::uint8_t>(bytes.data(), n))) << n;
}

}  // namespace
