#include "tarnel/grammar/composed_identifier.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tarnel/grammar/parser.hpp"

namespace tarnel::grammar {
namespace {

// Components joined by "|", then "P:" positional values, then "N:" key=value pairs.
std::string summary(const ComposedIdentifierRef& c) {
    std::string out;
    for (std::size_t i = 0; i < c.components.size(); ++i) {
        if (i) out += '|';
        out += c.components[i];
    }
    out += " P:";
    for (auto v : c.positional) {
        out += '[';
        out += v;
        out += ']';
    }
    out += " N:";
    for (auto [k, v] : c.named) {
        out += '[';
        out += k;
        out += '=';
        out += v;
        out += ']';
    }
    return out;
}

std::string outcome(std::string_view text) {
    auto r = composed_identifier_with_options(text);
    return r ? summary(*r) : "error: " + r.error().message;
}

struct Case {
    std::string text;
    std::string expected;
};
void PrintTo(const Case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ComposedIdentifierParse : public ::testing::TestWithParam<Case> {};

TEST_P(ComposedIdentifierParse, GivesComponentsAndOptionsOrMessage) {
    EXPECT_EQ(outcome(GetParam().text), GetParam().expected);
}

const std::string address = "0x" + std::string(10, 'a') + std::string(10, 'B') + std::string(20, '7');

INSTANTIATE_TEST_SUITE_P(
    Accepted, ComposedIdentifierParse,
    ::testing::Values(Case{"pool.dex_spot", "pool|dex_spot P: N:"},
                      Case{"last_update", "last_update P: N:"},
                      Case{"@pool.dex_spot", "pool|dex_spot P: N:"},
                      Case{address + ".net_position", address + "|net_position P: N:"},
                      Case{"a." + address + ".b", "a|" + address + "|b P: N:"},
                      Case{R"(pool.total_volume:{"USDC"})", "pool|total_volume P:[USDC] N:"},
                      Case{R"(bot.pool.token_amount:{token="USDC", position="p1"})",
                           "bot|pool|token_amount P: N:[token=USDC][position=p1]"},
                      Case{R"(a.b:{"x", k="y", "z"})", "a|b P:[x][z] N:[k=y]"},
                      Case{"a.b:{}", "a|b P: N:"},
                      Case{"a.b:{ }", "a|b P: N:"},
                      Case{"a.b:{k=-1.5e3}", "a|b P: N:[k=-1.5e3]"},
                      Case{"a.b:{ k = v ,\n\t7 }", "a|b P:[7] N:[k=v]"},
                      Case{R"(a.b:{k="", ""})", "a|b P:[] N:[k=]"},
                      Case{R"(a.b:{k="1", k="2"})", "a|b P: N:[k=1][k=2]"},
                      Case{R"(a.b:{"x, y}"})", "a|b P:[x, y}] N:"}));

INSTANTIATE_TEST_SUITE_P(
    Rejected, ComposedIdentifierParse,
    ::testing::Values(
        Case{"a.b:{k=007}", "error: error at 1:9: expected one of end of option '}', option separator ','"},
        Case{"a.b ", R"(error: error at 1:4: expected one of ":{", EOF, metric options)"},
        Case{"a..b", R"(error: error at 1:2: expected one of ":{", EOF, metric options)"},
        Case{"", "error: error at 1:1: expected composed identifier"},
        Case{"@", "error: error at 1:2: expected composed identifier"},
        Case{" a.b", "error: error at 1:1: expected composed identifier"},
        Case{"1a", "error: error at 1:1: expected composed identifier"},
        Case{"a.b:{x", "error: error at 1:7: expected one of end of option '}', option separator ','"},
        Case{R"(a.b:{"x" y})", "error: error at 1:10: expected one of end of option '}', option separator ','"},
        Case{R"(a.b:{"x", })", "error: error at 1:11: expected metric option"},
        Case{"a.b:{=}", "error: error at 1:6: expected one of end of option '}', metric option"},
        Case{R"(a.b:{"open})", "error: error at 1:6: expected one of end of option '}', metric option"},
        Case{"a.b:{k=v}x", R"(error: error at 1:10: expected EOF)"},
        Case{"a.b\n:{k=v}", "error: error at 1:4: expected one of \":{\", EOF, metric options"},
        Case{"a." + address + "f", "error: error at 1:45: expected one of \":{\", EOF, metric options"}));

struct CanonicalCase {
    std::string text;
    std::string canonical;
};
void PrintTo(const CanonicalCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class CanonicalText : public ::testing::TestWithParam<CanonicalCase> {};

TEST_P(CanonicalText, PutsPositionalFirstAndSortsNamedStably) {
    auto r = composed_identifier_with_options(GetParam().text);
    ASSERT_TRUE(r.has_value()) << r.error().message;
    EXPECT_EQ(r->canonical_text(), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CanonicalText,
    ::testing::Values(CanonicalCase{"a.b.c.d", "a.b.c.d"},
                      CanonicalCase{"a.b.c.d:{}", "a.b.c.d"},
                      CanonicalCase{R"(a.b.c.d:{z="1", "p", a="2", "q"})", R"(a.b.c.d:{"p", "q", a="2", z="1"})"},
                      CanonicalCase{R"(a.b.c.d:{k="2", k="1"})", R"(a.b.c.d:{k="2", k="1"})"},
                      CanonicalCase{R"(@x.y:{ab=1, a=2, b=3, A=4})", R"(x.y:{A="4", a="2", ab="1", b="3"})"},
                      CanonicalCase{"x.y:{v}", R"(x.y:{"v"})"}));

TEST(ComposedIdentifierRef, MakeSplitsOptionsByKey) {
    std::vector<ComposedIdentifierRef::Option> options{{std::nullopt, "p"}, {"k", "v"}, {std::nullopt, "q"}};
    auto r = ComposedIdentifierRef::make({"a", "b"}, options);
    EXPECT_EQ(summary(r), "a|b P:[p][q] N:[k=v]");
    EXPECT_EQ(summary(ComposedIdentifierRef::make({"a"})), summary(ComposedIdentifierRef::make({"a"}, {})));
}

// ---------------------------------------------------------------------------
// Every identifier the program parser accepts re-parses from its display text
// to the same components and values.

class IdentifierGenerator {
public:
    explicit IdentifierGenerator(unsigned seed) : rng_(seed) {}

    std::string identifier_text() {
        std::string out = pick(4) == 0 ? "@" : "";
        std::size_t n = 2 + pick(3);
        for (std::size_t i = 0; i < n; ++i) {
            if (i) out += '.';
            out += component();
        }
        if (pick(3) == 0) return out;
        out += ":{" + spaces();
        std::size_t options = pick(4);
        for (std::size_t i = 0; i < options; ++i) {
            if (i) out += spaces() + "," + spaces();
            if (pick(2) == 0) out += word() + spaces() + "=" + spaces();
            out += value();
        }
        return out + spaces() + "}";
    }

private:
    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

    std::string word() {
        static const std::string first = "abcxyzABCXYZ_";
        static const std::string rest = "abcxyzABCXYZ_0189";
        std::string w(1, first[pick(first.size())]);
        for (std::size_t i = pick(6); i > 0; --i) w += rest[pick(rest.size())];
        return w;
    }

    std::string component() {
        if (pick(5) != 0) return word();
        static const std::string hex = "0123456789abcdefABCDEF";
        std::string a = "0x";
        for (int i = 0; i < 40; ++i) a += hex[pick(hex.size())];
        return a;
    }

    std::string value() {
        if (pick(3) == 0) return word();
        // Anything but a double quote, including separators, braces, CR and UTF-8.
        static const std::vector<std::string> pieces{"a", " ", ",", "}", "{", "=", ":", "\r", "\n", "\\", "1.5",
                                                     "'", "\xc3\xa9", "\xe2\x82\xac", "@", "."};
        std::string v = "\"";
        for (std::size_t i = pick(6); i > 0; --i) v += pieces[pick(pieces.size())];
        return v + "\"";
    }

    std::string spaces() {
        static const std::string ws[] = {"", "", " ", "\t", "\n "};
        return ws[pick(std::size(ws))];
    }

    std::mt19937 rng_;
};

TEST(ComposedIdentifierRoundTrip, DisplayTextOfEveryParsedIdentifierReparsesToTheSameParts) {
    IdentifierGenerator gen(20240611);
    for (int i = 0; i < 2000; ++i) {
        std::string text = gen.identifier_text();
        auto parsed = parse_expression(text);
        ASSERT_TRUE(parsed.has_value()) << text << ": " << parsed.error().message;
        const auto* id = parsed->get_if<NumExpr::Identifier>();
        ASSERT_NE(id, nullptr) << text;
        const RawIdentifier& raw = std::get<Identifier::Unchecked>(id->identifier.variant()).raw;

        std::string display = raw.display();
        auto again = composed_identifier_with_options(display);
        ASSERT_TRUE(again.has_value()) << display << ": " << again.error().message;

        std::string joined;
        for (std::size_t k = 0; k < again->components.size(); ++k) {
            if (k) joined += '.';
            joined += again->components[k];
        }
        EXPECT_EQ(joined, raw.name) << display;
        std::vector<std::string> positional;
        std::vector<std::pair<std::string, std::string>> named;
        for (const auto& [name, value] : raw.options) {
            if (const std::string* key = name.key()) named.emplace_back(*key, value.text());
            else positional.push_back(value.text());
        }
        EXPECT_EQ(std::vector<std::string>(again->positional.begin(), again->positional.end()), positional) << display;
        ASSERT_EQ(again->named.size(), named.size()) << display;
        for (std::size_t k = 0; k < named.size(); ++k) {
            EXPECT_EQ(again->named[k].first, named[k].first) << display;
            EXPECT_EQ(again->named[k].second, named[k].second) << display;
        }
    }
}

}  // namespace
}  // namespace tarnel::grammar
