#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnel/fields/token_whitelist.hpp"

using namespace tarnel;
using fields::TokenIdPair;
using fields::TokenWhitelist;
using fields::WhitelistIndex;

namespace {

const std::string token_report = "0: does not match pattern /^[^/]+$/\n";

std::vector<std::string> texts(const TokenWhitelist& w) {
    std::vector<std::string> out;
    for (const auto& s : w.symbols()) out.emplace_back(s.text());
    return out;
}

TokenWhitelist make(std::vector<std::string> symbols) {
    TokenWhitelist w;
    EXPECT_TRUE(w.register_all_str(std::span<const std::string>(symbols)));
    return w;
}

TEST(Whitelist, KeepsFirstOccurrenceInOrder) {
    TokenWhitelist w = make({"WETH", "USDC", "WETH"});
    EXPECT_EQ(texts(w), (std::vector<std::string>{"WETH", "USDC"}));
    std::vector<std::string> again{"USDC"};
    ASSERT_TRUE(w.register_all_str(std::span<const std::string>(again)));
    EXPECT_EQ(texts(w), (std::vector<std::string>{"WETH", "USDC"}));
}

TEST(Whitelist, OneInvalidTextAddsNothing) {
    TokenWhitelist w = make({"WETH"});
    std::vector<std::string> batch{"USDC", "", "DAI"};
    auto r = w.register_all_str(std::span<const std::string>(batch));
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().message(), token_report);
    EXPECT_EQ(texts(w), (std::vector<std::string>{"WETH"}));
}

struct ConvertCase {
    std::string label;
    std::string text;
    std::string expected;  // "base,quote" / "index", or the error message
};
void PrintTo(const ConvertCase& c, std::ostream* os) { *os << c.label; }

class TokenConversion : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(TokenConversion, FindsOrRefuses) {
    const TokenWhitelist w = make({"USDC", "WETH"});
    const auto& c = GetParam();
    std::string got;
    if (c.label.starts_with("pair")) {
        auto r = TokenIdPair::from_required(c.text, w);
        got = r ? std::to_string(r->base.index) + "," + std::to_string(r->quote.index) : r.error().message();
    } else {
        auto r = WhitelistIndex::from_required(c.text, w);
        got = r ? std::to_string(r->index) : r.error().message();
    }
    EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenConversion,
    ::testing::Values(ConvertCase{"token_found", "WETH", "1"},
                      ConvertCase{"token_case_sensitive", "usdc", "Symbol usdc is not allowed here"},
                      ConvertCase{"token_invalid", "A/B", token_report},
                      ConvertCase{"pair_found", "WETH/USDC", "1,0"},
                      ConvertCase{"pair_both_unknown_names_base", "DAI/BTC", "Symbol DAI is not allowed here"},
                      ConvertCase{"pair_quote_unknown", "WETH/DAI", "Symbol DAI is not allowed here"},
                      ConvertCase{"pair_same", "WETH/WETH", "Tokens in token pair WETH/WETH cannot be the same"},
                      ConvertCase{"pair_no_slash", "WETH", "\"WETH\" is not a valid token pair"}),
    [](const ::testing::TestParamInfo<ConvertCase>& p) { return p.param.label; });

TEST(Whitelist, EmptyRefusesEverySymbol) {
    const TokenWhitelist w;
    EXPECT_EQ(WhitelistIndex::from_required("WETH", w).error().message(), "Symbol WETH is not allowed here");
}

TEST(Whitelist, IndexesSurviveGrowth) {
    TokenWhitelist w = make({"USDC"});
    auto before = WhitelistIndex::from_required("USDC", w);
    ASSERT_TRUE(before);
    std::vector<std::string> more{"WETH", "DAI"};
    ASSERT_TRUE(w.register_all_str(std::span<const std::string>(more)));
    EXPECT_EQ(*fields::symbol_text(w, *before), "USDC");
}

TEST(Whitelist, IndexBeyondTheListIsAnErrorNotACrash) {
    const TokenWhitelist w = make({"USDC"});
    EXPECT_FALSE(fields::symbol_text(w, WhitelistIndex{1}));
    EXPECT_EQ(w.symbol(7), nullptr);
}

TEST(WhitelistPersisted, Forms) {
    const TokenWhitelist w = make({"WETH", "USDC"});
    EXPECT_EQ(w.to_persisted(), persist::Value(persist::Array{"WETH", "USDC"}));
    EXPECT_EQ(WhitelistIndex{3}.to_persisted(), persist::Value(persist::Array{3, persist::Null{}}));
    EXPECT_EQ((TokenIdPair{WhitelistIndex{0}, WhitelistIndex{1}}.to_persisted()),
              persist::Value(persist::Map{{"base", persist::Array{0, persist::Null{}}},
                                          {"quote", persist::Array{1, persist::Null{}}}}));
    EXPECT_EQ(*TokenWhitelist::from_persisted(w.to_persisted()), w);
}

struct ReadCase {
    std::string label;
    persist::Value value;
    std::string error;
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }

class IndexRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IndexRead, Refuses) {
    const auto& c = GetParam();
    std::string got;
    if (c.label.starts_with("pair")) {
        auto r = TokenIdPair::from_persisted(c.value);
        got = r ? "ok" : r.error().message;
    } else if (c.label.starts_with("whitelist")) {
        auto r = TokenWhitelist::from_persisted(c.value);
        got = r ? "ok" : r.error().message;
    } else {
        auto r = WhitelistIndex::from_persisted(c.value);
        got = r ? "ok" : r.error().message;
    }
    EXPECT_EQ(got, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IndexRead,
    ::testing::Values(
        ReadCase{"index_too_short", persist::Array{1}, "invalid length 1, expected tuple struct WhitelistIndex with 2 elements"},
        ReadCase{"index_negative", persist::Array{-1, persist::Null{}}, "invalid value: integer `-1`, expected u64"},
        ReadCase{"index_bare_integer", persist::Value(1), "invalid type: integer `1`, expected tuple struct WhitelistIndex"},
        ReadCase{"pair_missing_quote", persist::Map{{"base", persist::Array{0, persist::Null{}}}}, "missing field `quote`"},
        ReadCase{"pair_as_sequence", persist::Array{persist::Array{0, persist::Null{}}, persist::Array{1, persist::Null{}}}, "ok"},
        ReadCase{"whitelist_bad_symbol", persist::Array{"A/B"}, token_report}),
    [](const ::testing::TestParamInfo<ReadCase>& p) { return p.param.label; });

}  // namespace
