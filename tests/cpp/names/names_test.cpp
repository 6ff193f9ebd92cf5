#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnel/names/names.hpp"
#include "tarnel/names/persisted.hpp"
#include "tarnel/persist/codecs.hpp"

using namespace tarnel;
using names::EthAddress;
using names::Identifier;
using names::IdentifierOrAddr;
using names::TokenSymbol;
using names::TokenSymbolPair;

namespace {

const std::string identifier_report = "0: does not match pattern /^[a-zA-Z_][a-zA-Z0-9_]*$/\n";
const std::string token_report = "0: does not match pattern /^[^/]+$/\n";
const std::string mixed_address = "0xAbCdEf0123456789abcdef0123456789ABCDEF01";

std::string address_message(const std::string& text) {
    return "The address " + text + " should be a valid crypto address (^0x[0-9a-fA-F]{40}$)";
}

std::uint64_t hash_of(const IdentifierOrAddr& v) { return std::hash<IdentifierOrAddr>{}(v); }

// ---- identifiers -------------------------------------------------------------

struct TextCase {
    std::string text;
    bool valid;
};
void PrintTo(const TextCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class IdentifierParse : public ::testing::TestWithParam<TextCase> {};

TEST_P(IdentifierParse, AcceptsExactlyThePattern) {
    auto r = Identifier::parse(GetParam().text);
    ASSERT_EQ(r.has_value(), GetParam().valid);
    if (r) {
        EXPECT_EQ(r->text(), GetParam().text);
    } else {
        EXPECT_EQ(r.error().message(), identifier_report);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, IdentifierParse,
                         ::testing::Values(TextCase{"_", true}, TextCase{"a1", true}, TextCase{"A_b_2", true},
                                           TextCase{"", false}, TextCase{"1a", false}, TextCase{"a-b", false},
                                           TextCase{"a.b", false}, TextCase{"\xC3\xA9", false},
                                           TextCase{"a ", false}, TextCase{"0", false}));

// ---- addresses ---------------------------------------------------------------

class AddressParse : public ::testing::TestWithParam<TextCase> {};

TEST_P(AddressParse, FortyHexDigitsAfterLowerCaseX) {
    auto r = EthAddress::parse(GetParam().text);
    ASSERT_EQ(r.has_value(), GetParam().valid);
    if (r) {
        EXPECT_EQ(r->text(), GetParam().text);
    } else {
        EXPECT_EQ(r.error().message(), address_message(GetParam().text));
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, AddressParse,
                         ::testing::Values(TextCase{mixed_address, true},
                                           TextCase{"0x" + std::string(39, 'a'), false},
                                           TextCase{"0x" + std::string(41, 'a'), false},
                                           TextCase{"0X" + std::string(40, 'a'), false},
                                           TextCase{"0x" + std::string(39, 'a') + "g", false},
                                           TextCase{"0x", false}, TextCase{"", false}));

TEST(Address, BytesDecodeTheDigits) {
    auto a = EthAddress::parse(mixed_address);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->to_bytes()[0], 0xAB);
    EXPECT_EQ(a->to_bytes()[2], 0xEF);
    EXPECT_EQ(a->to_bytes()[19], 0x01);
}

// ---- protocol names ----------------------------------------------------------

struct ProtocolNameCase {
    std::string text;
    std::string error;  // empty: valid
};
void PrintTo(const ProtocolNameCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ProtocolNameParse : public ::testing::TestWithParam<ProtocolNameCase> {};

TEST_P(ProtocolNameParse, AddressPathOnlyForLowerCasePrefix) {
    auto r = IdentifierOrAddr::parse(GetParam().text);
    if (GetParam().error.empty()) {
        ASSERT_TRUE(r) << r.error().message();
        EXPECT_EQ(r->text(), GetParam().text);
    } else {
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().message(), GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ProtocolNameParse,
    ::testing::Values(ProtocolNameCase{"pool", ""}, ProtocolNameCase{mixed_address, ""},
                      ProtocolNameCase{"0", identifier_report}, ProtocolNameCase{"0x", address_message("0x")},
                      ProtocolNameCase{"0x12", address_message("0x12")},
                      ProtocolNameCase{"0X" + std::string(40, 'a'), identifier_report},
                      ProtocolNameCase{"1pool", identifier_report}, ProtocolNameCase{"", identifier_report}));

TEST(ProtocolName, AddressesCompareByBytesButDisplayAsWritten) {
    auto lower = IdentifierOrAddr::parse("0xabcdef0123456789abcdef0123456789abcdef01");
    auto upper = IdentifierOrAddr::parse("0xABCDEF0123456789ABCDEF0123456789ABCDEF01");
    ASSERT_TRUE(lower && upper);
    EXPECT_EQ(*lower, *upper);
    EXPECT_EQ(hash_of(*lower), hash_of(*upper));
    EXPECT_EQ(lower->text(), "0xabcdef0123456789abcdef0123456789abcdef01");
    EXPECT_EQ(upper->text(), "0xABCDEF0123456789ABCDEF0123456789ABCDEF01");
}

TEST(ProtocolName, IdentifiersAreCaseSensitive) {
    auto a = IdentifierOrAddr::parse("Pool");
    auto b = IdentifierOrAddr::parse("pool");
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
}

// ---- token symbols and pairs ---------------------------------------------------

class TokenSymbolParse : public ::testing::TestWithParam<TextCase> {};

TEST_P(TokenSymbolParse, AnythingButASlash) {
    auto r = TokenSymbol::parse(GetParam().text);
    ASSERT_EQ(r.has_value(), GetParam().valid);
    if (!r) {
        EXPECT_EQ(r.error().message(), token_report);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, TokenSymbolParse,
                         ::testing::Values(TextCase{"WETH", true}, TextCase{" ", true}, TextCase{"W ETH.e", true},
                                           TextCase{"", false}, TextCase{"A/B", false}, TextCase{"/", false}));

struct PairCase {
    std::string text;
    std::string error;  // empty: valid
};
void PrintTo(const PairCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class PairParse : public ::testing::TestWithParam<PairCase> {};

TEST_P(PairParse, SplitsAtTheFirstSlash) {
    auto r = TokenSymbolPair::parse(GetParam().text);
    if (GetParam().error.empty()) {
        ASSERT_TRUE(r) << r.error().message();
        EXPECT_EQ(r->text(), GetParam().text);
    } else {
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().message(), GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PairParse,
    ::testing::Values(PairCase{"WETH/USDC", ""}, PairCase{"usdc/USDC", ""},
                      PairCase{"WETH", "\"WETH\" is not a valid token pair"},
                      PairCase{"a\"b", "\"a\\\"b\" is not a valid token pair"},
                      PairCase{"/USDC", token_report}, PairCase{"WETH/", token_report},
                      PairCase{"A/B/C", token_report},
                      PairCase{"WETH/WETH", "Tokens in token pair WETH/WETH cannot be the same"}));

TEST(Pair, KeepsBaseThenQuote) {
    auto r = TokenSymbolPair::parse("WETH/USDC");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->base().text(), "WETH");
    EXPECT_EQ(r->quote().text(), "USDC");
}

// ---- diagnostic forms ----------------------------------------------------------

TEST(Debug, TypeNameAroundTheSharedString) {
    EXPECT_EQ(Identifier::parse("pool")->debug(), "Identifier(SharedString(\"pool\"))");
    EXPECT_EQ(IdentifierOrAddr::parse("pool")->debug(), "Identifier(Identifier(SharedString(\"pool\")))");
    EXPECT_EQ(IdentifierOrAddr::parse(mixed_address)->debug(),
              "Address(EthAddress(SharedString(\"" + mixed_address + "\")))");
    EXPECT_EQ(TokenSymbol::parse("a\"b")->debug(), "TokenSymbol(SharedString(\"a\\\"b\"))");
}

// ---- persisted form ------------------------------------------------------------

TEST(Persisted, PlainStringsThatReadBackEqual) {
    auto id = *Identifier::parse("pool");
    auto addr = *IdentifierOrAddr::parse(mixed_address);
    auto pair = *TokenSymbolPair::parse("WETH/USDC");
    EXPECT_EQ(names::to_persisted(id), persist::Value("pool"));
    EXPECT_EQ(names::to_persisted(pair), persist::Value("WETH/USDC"));
    EXPECT_EQ(*names::read_identifier(names::to_persisted(id)), id);
    EXPECT_EQ(*names::read_identifier_or_addr(names::to_persisted(addr)), addr);
    EXPECT_EQ(*names::read_token_symbol_pair(names::to_persisted(pair)), pair);
    EXPECT_EQ(names::read_eth_address(persist::Value(mixed_address))->text(), mixed_address);
}

TEST(Persisted, BytesAcceptedWhenUtf8) {
    persist::Bytes ok{{'p', 'o', 'o', 'l'}};
    EXPECT_EQ(names::read_identifier(persist::Value(ok))->text(), "pool");
    persist::Bytes symbol{{0xC3, 0xA9}};
    EXPECT_EQ(names::read_token_symbol(persist::Value(symbol))->text(), "\xC3\xA9");
    persist::Bytes bad{{0xFF, 'a'}};
    EXPECT_FALSE(names::read_token_symbol(persist::Value(bad)));
}

struct ReadErrorCase {
    std::string label;
    std::string json;
    std::string message;
};
void PrintTo(const ReadErrorCase& c, std::ostream* os) { *os << c.label; }

class PersistedReadError : public ::testing::TestWithParam<ReadErrorCase> {};

TEST_P(PersistedReadError, ParseFailureIsTheReadErrorText) {
    auto v = persist::from_json(GetParam().json);
    ASSERT_TRUE(v) << v.error().message;
    util::Error error;
    if (GetParam().label.starts_with("pair")) {
        error = names::read_token_symbol_pair(*v).error();
    } else if (GetParam().label.starts_with("protocol")) {
        error = names::read_identifier_or_addr(*v).error();
    } else {
        error = names::read_identifier(*v).error();
    }
    EXPECT_EQ(error.message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PersistedReadError,
    ::testing::Values(
        ReadErrorCase{"identifier_report", "\"1a\"", identifier_report + " at line 1 column 4"},
        ReadErrorCase{"identifier_not_a_string", "5", "invalid type: integer `5`, expected a string at line 1 column 1"},
        ReadErrorCase{"protocol_short_address", "\"0x1\"", address_message("0x1") + " at line 1 column 5"},
        ReadErrorCase{"pair_same", "\"A/A\"", "Tokens in token pair A/A cannot be the same at line 1 column 5"}),
    [](const ::testing::TestParamInfo<ReadErrorCase>& p) { return p.param.label; });

TEST(Persisted, MessagePackCarriesNoPosition) {
    auto bytes = persist::to_msgpack(persist::Value("1a"));
    ASSERT_TRUE(bytes);
    auto v = persist::from_msgpack(*bytes);
    ASSERT_TRUE(v);
    EXPECT_EQ(names::read_identifier(*v).error().message, identifier_report);
}

}  // namespace
