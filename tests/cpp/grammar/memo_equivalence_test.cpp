// Remembering failed sub-parses must not change any result or report: compare
// with plain backtracking on random programs, broken ones and tight limits.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tarnel/grammar/parser.hpp"

namespace tarnel::grammar {
namespace {

class ProgramGenerator {
public:
    explicit ProgramGenerator(unsigned seed) : rng_(seed) {}

    std::string condition() { return boolean(0); }
    std::string expression() { return number(0); }
    std::string function() { return "function f(a, b) {" + ws() + statements(0) + ws() + "}"; }

    // Truncates, drops or inserts a token at a random place (or leaves the text).
    std::string mutate(std::string text) {
        static const std::vector<std::string> tokens{"(", ")", "NOT ", "not", ",", ">", "=", "<=", " AND ", "or",
                                                     "x", "1", "{", "}", ";", "f(", ".", ":{", "\"", "t=t-"};
        if (text.empty()) return text;
        std::size_t at = pick(text.size());
        switch (pick(4)) {
            case 0: return text.substr(0, at);
            case 1: return text.erase(at, 1);
            case 2: return text.insert(at, tokens[pick(tokens.size())]);
            default: return text;
        }
    }

private:
    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
    std::string ws() { return pick(3) == 0 ? " " : ""; }
    std::string sp() { return pick(4) == 0 ? "\n" : " "; }

    std::string number(int depth) {
        std::size_t choice = depth > 5 ? pick(3) : pick(9);
        switch (choice) {
            case 0: {
                static const char* literals[] = {"1", "2.5", "-3", "0", "1e2", "7."};
                return literals[pick(std::size(literals))];
            }
            case 1: {
                static const char* names[] = {"x", "NOT", "not", "a.b", "@p.q:{k=v}", "true", "of", "t"};
                return names[pick(std::size(names))];
            }
            case 2: return "m of a.b between t=t-days(1) and t";
            case 3:
            case 4: return "(" + ws() + number(depth + 1) + ws() + ")";
            case 5: {
                std::string out = pick(2) ? "f(" : "NOT (";
                std::size_t n = pick(3);
                for (std::size_t i = 0; i < n; ++i) out += (i ? "," + ws() : "") + number(depth + 1);
                return out + ")";
            }
            default: {
                static const char* ops[] = {"+", "-", "*", "/", "**", "^"};
                return number(depth + 1) + ws() + ops[pick(std::size(ops))] + ws() + number(depth + 1);
            }
        }
    }

    std::string boolean(int depth) {
        std::size_t choice = depth > 5 ? pick(2) : pick(8);
        switch (choice) {
            case 0: {
                static const char* ops[] = {"=", "<", "<=", ">", ">="};
                return number(depth + 1) + ws() + ops[pick(std::size(ops))] + ws() + number(depth + 1);
            }
            case 1: return pick(2) ? "true" : "false";
            case 2:
            case 3: return (pick(2) ? "NOT" : "not") + sp() + "(" + boolean(depth + 1) + ")";
            case 4: return "NOT " + boolean(depth + 1);
            case 5:
            case 6: return "(" + ws() + boolean(depth + 1) + ws() + ")";
            default: {
                static const char* ops[] = {"AND", "and", "OR", "or"};
                return boolean(depth + 1) + sp() + ops[pick(std::size(ops))] + sp() + boolean(depth + 1);
            }
        }
    }

    std::string statements(int depth) {
        std::string out;
        std::size_t n = pick(3);
        for (std::size_t i = 0; i < n; ++i) {
            if (i) out += ";" + ws();
            switch (depth > 3 ? pick(2) : pick(3)) {
                case 0: out += "v = " + number(depth + 1); break;
                case 1: out += "return " + number(depth + 1); break;
                default:
                    out += "if " + boolean(depth + 1) + " {" + statements(depth + 1) + "} else {" + statements(depth + 1) + "}";
            }
        }
        return out;
    }

    std::mt19937 rng_;
};

template <class R>
std::string outcome(const R& r) {
    if (!r) return "error: " + r.error().message;
    if constexpr (std::is_same_v<std::decay_t<decltype(*r)>, FunctionDefinition>) {
        return r->name + debug_statements(r->statements);
    } else {
        return r->debug();
    }
}

util::Limits limits_of(std::size_t nesting, std::size_t tree) {
    util::Limits l;
    l.max_nesting_depth = nesting;
    l.max_tree_depth = tree;
    return l;
}

TEST(RememberedFailures, ChangeNoResultAndNoReport) {
    const util::Limits limit_sets[] = {util::default_limits, limits_of(3, 6), limits_of(5, 9), limits_of(8, 30)};
    ProgramGenerator gen(7);
    for (int i = 0; i < 3000; ++i) {
        std::string c = gen.mutate(gen.condition());
        std::string e = gen.mutate(gen.expression());
        std::string f = gen.mutate(gen.function());
        for (const auto& limits : limit_sets) {
            ASSERT_EQ(outcome(parse_condition(c, limits)), outcome(plain_backtracking::parse_condition(c, limits))) << c;
            ASSERT_EQ(outcome(parse_expression(e, limits)), outcome(plain_backtracking::parse_expression(e, limits))) << e;
            ASSERT_EQ(outcome(parse_function(f, limits)), outcome(plain_backtracking::parse_function(f, limits))) << f;
        }
    }
}

}  // namespace
}  // namespace tarnel::grammar
