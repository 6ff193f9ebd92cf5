#include "tarnel/grammar/parser.hpp"

#include <algorithm>
#include <charconv>
#include <optional>
#include <unordered_map>

#include <fmt/format.h>

#include "tarnel/grammar/lexical.hpp"
#include "tarnel/grammar/parse_report.hpp"

namespace tarnel::grammar {

namespace {

namespace lx = lexical;

// A literal token and the name it is reported under.
struct Token {
    std::string_view text;
    std::string_view name;
};

#define TARNEL_TOKEN(ident, literal) constexpr Token ident{literal, "\"" literal "\""}
TARNEL_TOKEN(tok_open_paren, "(");
TARNEL_TOKEN(tok_close_paren, ")");
TARNEL_TOKEN(tok_comma, ",");
TARNEL_TOKEN(tok_open_brace, "{");
TARNEL_TOKEN(tok_close_brace, "}");
TARNEL_TOKEN(tok_semicolon, ";");
TARNEL_TOKEN(tok_eq, "=");
TARNEL_TOKEN(tok_lt, "<");
TARNEL_TOKEN(tok_le, "<=");
TARNEL_TOKEN(tok_gt, ">");
TARNEL_TOKEN(tok_ge, ">=");
TARNEL_TOKEN(tok_plus, "+");
TARNEL_TOKEN(tok_minus, "-");
TARNEL_TOKEN(tok_star, "*");
TARNEL_TOKEN(tok_slash, "/");
TARNEL_TOKEN(tok_star_star, "**");
TARNEL_TOKEN(tok_caret, "^");
TARNEL_TOKEN(tok_if, "if");
TARNEL_TOKEN(tok_else, "else");
TARNEL_TOKEN(tok_return, "return");
TARNEL_TOKEN(tok_function, "function");
TARNEL_TOKEN(tok_not_upper, "NOT");
TARNEL_TOKEN(tok_not_lower, "not");
TARNEL_TOKEN(tok_and_upper, "AND");
TARNEL_TOKEN(tok_and_lower, "and");
TARNEL_TOKEN(tok_or_upper, "OR");
TARNEL_TOKEN(tok_or_lower, "or");
TARNEL_TOKEN(tok_true, "true");
TARNEL_TOKEN(tok_false, "false");
TARNEL_TOKEN(tok_of, "of");
TARNEL_TOKEN(tok_between, "between");
TARNEL_TOKEN(tok_last_update, "last_update");
TARNEL_TOKEN(tok_one_day, "t=t-1/365");
TARNEL_TOKEN(tok_delayed, "t=t-");
TARNEL_TOKEN(tok_exact, "t=");
TARNEL_TOKEN(tok_t, "t");
TARNEL_TOKEN(tok_weeks, "weeks(");
TARNEL_TOKEN(tok_days, "days(");
TARNEL_TOKEN(tok_hours, "hours(");
TARNEL_TOKEN(tok_minutes, "minutes(");
TARNEL_TOKEN(tok_options, ":{");
#undef TARNEL_TOKEN

// A node with the number of tree levels it spans.
template <class T>
struct Parsed {
    T node;
    std::size_t height;
};

// Numeric nodes travel through the parser boxed: the frames of the recursion
// stay small, and a binary node adopts its operands' boxes as they are.
using NumBox = Box<NumExpr>;

template <class Op>
NumBox make_boxed(NumBox left, NumBox right) {
    return NumBox(NumExpr(Op{std::move(left), std::move(right)}));
}
template <class Op>
BoolExpr make_boxed_comparison(NumBox left, NumBox right) {
    return Op{std::move(left), std::move(right)};
}

// Builds the node in a frame of its own, off the recursive path.
template <class Node, class Alternative>
[[gnu::noinline]] Box<Node> boxed(Alternative&& alternative) {
    return Box<Node>(Node(std::forward<Alternative>(alternative)));
}

struct InfixOp {
    Token token;
    NumBox (*make)(NumBox, NumBox);
    bool right_assoc;
};

// Levels from the loosest binding; within a level in the order they are tried.
constexpr InfixOp level0_ops[] = {{tok_plus, &make_boxed<NumExpr::Add>, false},
                                  {tok_minus, &make_boxed<NumExpr::Sub>, false}};
constexpr InfixOp level1_ops[] = {{tok_star, &make_boxed<NumExpr::Mul>, false},
                                  {tok_slash, &make_boxed<NumExpr::Div>, false}};
constexpr InfixOp level2_ops[] = {{tok_star_star, &make_boxed<NumExpr::Pow>, true},
                                  {tok_caret, &make_boxed<NumExpr::Pow>, true}};
constexpr std::span<const InfixOp> infix_levels[] = {level0_ops, level1_ops, level2_ops};

struct ComparisonOp {
    Token token;
    BoolExpr (*make)(NumBox, NumBox);
};
constexpr ComparisonOp comparison_ops[] = {{tok_eq, &make_boxed_comparison<BoolExpr::Eq>},
                                           {tok_lt, &make_boxed_comparison<BoolExpr::Lt>},
                                           {tok_le, &make_boxed_comparison<BoolExpr::Le>},
                                           {tok_gt, &make_boxed_comparison<BoolExpr::Gt>},
                                           {tok_ge, &make_boxed_comparison<BoolExpr::Ge>}};

struct ConnectiveLevel {
    Token upper;
    Token lower;
    BoolExpr (*make)(BoolExpr, BoolExpr);
};
constexpr ConnectiveLevel connective_levels[] = {{tok_or_upper, tok_or_lower, &make_connective<BoolExpr::Or>},
                                                 {tok_and_upper, tok_and_lower, &make_connective<BoolExpr::And>}};

struct DurationUnit {
    Token token;
    TimeExpr (*make)(std::int64_t);
};
constexpr DurationUnit duration_units[] = {
    {tok_weeks, [](std::int64_t n) { return TimeExpr(TimeExpr::Weeks{n}); }},
    {tok_days, [](std::int64_t n) { return TimeExpr(TimeExpr::Days{n}); }},
    {tok_hours, [](std::int64_t n) { return TimeExpr(TimeExpr::Hours{n}); }},
    {tok_minutes, [](std::int64_t n) { return TimeExpr(TimeExpr::Minutes{n}); }},
};

class Parser {
public:
    Parser(std::string_view text, const util::Limits& limits, bool remember) :
        t_(text), limits_(limits), remember_(remember) {}

    util::Result<NumExpr> expression_program() {
        if (auto e = check_length()) return util::fail(std::move(*e));
        std::size_t p = lx::skip_ws(t_, 0);
        auto e = inner_expression(p);
        if (!e) return finish(p, std::optional<NumExpr>());
        return finish(p, std::optional<NumExpr>(std::move(*e->node)));
    }

    util::Result<BoolExpr> condition_program() {
        if (auto e = check_length()) return util::fail(std::move(*e));
        std::size_t p = lx::skip_ws(t_, 0);
        auto c = bool_climb(p, 0);
        return finish(p, std::move(c));
    }

    util::Result<FunctionDefinition> function_program() {
        if (auto e = check_length()) return util::fail(std::move(*e));
        std::size_t p = 0;
        auto f = function_definition(p);
        return finish(p, std::move(f));
    }

private:
    // ---- bookkeeping -------------------------------------------------------

    std::optional<util::Error> check_length() const {
        if (t_.size() <= limits_.max_program_length) return std::nullopt;
        return util::Error(fmt::format("program text longer than {} bytes", limits_.max_program_length));
    }

    template <class T>
    util::Result<T> finish(std::size_t p, std::optional<T> result) {
        if (hard_) return util::fail(std::move(*hard_));
        if (!result) return util::fail(report_.error(t_));
        p = lx::skip_ws(t_, p);
        if (p != t_.size()) {
            report_.mark(p, "EOF");
            return util::fail(report_.error(t_));
        }
        return std::move(*result);
    }
    template <class T>
    util::Result<T> finish(std::size_t p, std::optional<Parsed<T>> result) {
        if (!result) return finish<T>(p, std::optional<T>());
        return finish<T>(p, std::optional<T>(std::move(result->node)));
    }

    // Ends the whole parse with `message` located at `pos`.
    void abort(std::size_t pos, std::string_view message) {
        if (!hard_) hard_ = util::Error(error_location(t_, pos) + std::string(message));
    }

    bool lit(std::size_t& p, const Token& tok) {
        if (lx::at(t_, p, tok.text)) {
            p += tok.text.size();
            return true;
        }
        report_.mark(p, tok.name);
        return false;
    }

    std::size_t ws(std::size_t p) const { return lx::skip_ws(t_, p); }

    // A node spanning `height` levels fits below the levels already open.
    bool fits(std::size_t height, std::size_t pos) {
        if (ancestors_ + height <= limits_.max_tree_depth) {
            peak_level_ = std::max(peak_level_, ancestors_ + height);
            return true;
        }
        abort(pos, fmt::format("syntax tree deeper than {} levels", limits_.max_tree_depth));
        return false;
    }

    // One level of parentheses, call arguments, NOT operand or statement block.
    class Nesting {
    public:
        Nesting(Parser& parser, std::size_t pos) : p_(parser) {
            ok_ = p_.nesting_ < p_.limits_.max_nesting_depth;
            if (ok_) {
                ++p_.nesting_;
                p_.peak_nesting_ = std::max(p_.peak_nesting_, p_.nesting_);
            } else p_.abort(pos, fmt::format("nesting deeper than {} levels", p_.limits_.max_nesting_depth));
        }
        ~Nesting() {
            if (ok_) --p_.nesting_;
        }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        [[nodiscard]] bool ok() const { return ok_; }

    private:
        Parser& p_;
        bool ok_;
    };

    // While a child of a node about to be built is parsed.
    class Child {
    public:
        explicit Child(Parser& parser) : p_(parser) { ++p_.ancestors_; }
        ~Child() { --p_.ancestors_; }
        Child(const Child&) = delete;
        Child& operator=(const Child&) = delete;

    private:
        Parser& p_;
    };

    // ---- lexical rules reported by name ------------------------------------

    std::optional<std::string_view> identifier(std::size_t& p) {
        std::size_t e = lx::identifier(t_, p);
        if (e == lx::no_match) {
            report_.mark(p, "identifier");
            return std::nullopt;
        }
        std::string_view name = t_.substr(p, e - p);
        p = e;
        return name;
    }

    // Converts the digits of an integer; a literal out of range ends the parse.
    std::optional<std::int64_t> convert(std::size_t begin, std::size_t end, std::string_view rule) {
        std::string_view digits = t_.substr(begin, end - begin);
        std::string_view number = digits;
        if (!number.empty() && number.front() == '+') number.remove_prefix(1);
        std::int64_t value = 0;
        auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (ec != std::errc() || ptr != number.data() + number.size()) {
            abort(begin, fmt::format("number out of range while parsing {} number '{}'", rule, digits));
            return std::nullopt;
        }
        return value;
    }

    std::optional<std::int64_t> integer(std::size_t& p) {
        std::size_t e = lx::integer(t_, p);
        if (e == lx::no_match) {
            report_.mark(p, "integer");
            return std::nullopt;
        }
        auto v = convert(p, e, "integer");
        if (v) p = e;
        return v;
    }

    // Sign, then the integer converted on its own first.
    bool convert_relative_integer(std::size_t begin, std::size_t end) {
        std::size_t digits = begin < end && (t_[begin] == '+' || t_[begin] == '-') ? begin + 1 : begin;
        return convert(digits, end, "integer") && convert(begin, end, "relative integer");
    }

    std::optional<decimal::Decimal> float_literal(std::size_t& p) {
        std::size_t integer_end = lx::relative_integer(t_, p);
        if (integer_end == lx::no_match) {
            report_.mark(p, "float");
            return std::nullopt;
        }
        if (!convert_relative_integer(p, integer_end)) return std::nullopt;
        std::size_t fraction_end = lx::fraction(t_, integer_end);
        std::size_t end = lx::exponent(t_, fraction_end);
        if (end != fraction_end && !convert_relative_integer(fraction_end + 1, end)) return std::nullopt;
        std::string_view text = t_.substr(p, end - p);
        auto value = decimal::Decimal::from_str(text);
        if (!value) {
            abort(p, fmt::format("number out of range while parsing float number '{}'", text));
            return std::nullopt;
        }
        p = end;
        return *value;
    }

    // ---- composed identifiers ----------------------------------------------

    std::optional<RawIdentifier> composed_identifier(std::size_t& p) {
        std::size_t start = lx::at(t_, p, "@") ? p + 1 : p;
        std::size_t q = lx::component(t_, start);
        std::size_t components = 0;
        if (q != lx::no_match) {
            components = 1;
            std::size_t e = 0;
            while (lx::at(t_, q, ".") && (e = lx::component(t_, q + 1)) != lx::no_match) {
                q = e;
                ++components;
            }
        }
        if (components < 2) {
            report_.mark(start, "composed identifier");
            return std::nullopt;
        }
        RawIdentifier raw{std::string(t_.substr(start, q - start)), {}, start};
        option_block(q, raw.options);
        p = q;
        return raw;
    }

    // Optional; when absent or malformed the identifier ends before ":{".
    void option_block(std::size_t& p, std::vector<IdentifierOption>& out) {
        std::size_t q = p;
        std::vector<IdentifierOption> options;
        if (option_block_body(q, options)) {
            p = q;
            out = std::move(options);
            return;
        }
        report_.mark(p, "metric options");
    }

    bool option_block_body(std::size_t& q, std::vector<IdentifierOption>& options) {
        if (!lit(q, tok_options)) return false;
        q = ws(q);
        if (option(q, options)) {
            for (;;) {
                std::size_t r = ws(q);
                if (!lx::at(t_, r, ",")) {
                    report_.mark(r, "option separator ','");
                    break;
                }
                r = ws(r + 1);
                if (!option(r, options)) break;
                q = r;
            }
        }
        q = ws(q);
        if (!lx::at(t_, q, "}")) {
            report_.mark(q, "end of option '}'");
            return false;
        }
        ++q;
        return true;
    }

    bool option(std::size_t& p, std::vector<IdentifierOption>& out) {
        std::size_t key_end = lx::identifier(t_, p);
        if (key_end != lx::no_match) {
            std::size_t q = ws(key_end);
            if (lx::at(t_, q, "=")) {
                q = ws(q + 1);
                if (auto value = option_value(q)) {
                    out.emplace_back(OptionName::named(std::string(t_.substr(p, key_end - p))),
                                     OptionValue::string(std::string(*value)));
                    p = q;
                    return true;
                }
            }
        }
        if (auto value = option_value(p)) {
            out.emplace_back(OptionName::positional(), OptionValue::string(std::string(*value)));
            return true;
        }
        report_.mark(p, "metric option");
        return false;
    }

    // Quoted text or a bare word; numbers must be quoted.
    std::optional<std::string_view> option_value(std::size_t& p) {
        std::size_t e = lx::quoted(t_, p);
        if (e != lx::no_match) {
            std::string_view v = t_.substr(p + 1, e - p - 2);
            p = e;
            return v;
        }
        e = lx::identifier(t_, p);
        if (e == lx::no_match) return std::nullopt;
        std::string_view v = t_.substr(p, e - p);
        p = e;
        return v;
    }

    // ---- numeric expressions -----------------------------------------------

    std::optional<Parsed<NumBox>> inner_expression(std::size_t& p) {
        std::size_t start = p;
        if (known_failure(Memo::expression, start)) return std::nullopt;
        Extent extent(*this);
        auto e = climb(p, 0);
        if (!e && !hard_) {
            report_.mark(start, "expression");
            remember_failure(Memo::expression, start, extent);
        }
        return e;
    }

    // Conditions re-read the same text as numeric operands at every level of
    // parentheses; remembering which expressions and calls failed where keeps
    // that linear. Only the limits depend on the depth a sub-parse starts at,
    // so a failure repeats wherever the levels it reached beyond its start
    // stay within them; the names it recorded are already in the report, so
    // skipping it changes neither result nor report.
    enum class Memo : std::size_t { expression = 0, call = 1 };

    struct Reach {
        std::size_t nesting;  // levels opened beyond the start
        std::size_t level;    // tree levels used beyond the start
    };

    // Measures how far a sub-parse reaches beyond the levels it starts at.
    class Extent {
    public:
        explicit Extent(Parser& parser)
            : p_(parser), outer_nesting_(parser.peak_nesting_), outer_level_(parser.peak_level_) {
            p_.peak_nesting_ = p_.nesting_;
            p_.peak_level_ = p_.ancestors_;
        }
        ~Extent() {
            p_.peak_nesting_ = std::max(p_.peak_nesting_, outer_nesting_);
            p_.peak_level_ = std::max(p_.peak_level_, outer_level_);
        }
        Extent(const Extent&) = delete;
        Extent& operator=(const Extent&) = delete;
        [[nodiscard]] Reach reach() const {
            return {p_.peak_nesting_ - p_.nesting_, p_.peak_level_ - p_.ancestors_};
        }

    private:
        Parser& p_;
        std::size_t outer_nesting_;
        std::size_t outer_level_;
    };

    bool known_failure(Memo rule, std::size_t pos) {
        if (!remember_) return false;
        auto it = failed_.find(memo_key(rule, pos));
        if (it == failed_.end()) return false;
        const Reach& r = it->second;
        if (nesting_ + r.nesting > limits_.max_nesting_depth || ancestors_ + r.level > limits_.max_tree_depth)
            return false;
        // The skipped parse would have reached this far.
        peak_nesting_ = std::max(peak_nesting_, nesting_ + r.nesting);
        peak_level_ = std::max(peak_level_, ancestors_ + r.level);
        return true;
    }
    void remember_failure(Memo rule, std::size_t pos, const Extent& extent) {
        if (remember_) failed_[memo_key(rule, pos)] = extent.reach();
    }
    static std::size_t memo_key(Memo rule, std::size_t pos) { return pos * 2 + static_cast<std::size_t>(rule); }

    std::optional<Parsed<NumBox>> climb(std::size_t& p, std::size_t min_level) {
        auto left = atom(p);
        if (!left) return std::nullopt;
        for (;;) {
            bool applied = false;
            for (std::size_t level = min_level; level < std::size(infix_levels) && !applied; ++level) {
                for (const InfixOp& op : infix_levels[level]) {
                    std::size_t q = ws(p);
                    std::size_t op_pos = q;
                    if (!lit(q, op.token)) continue;
                    q = ws(q);
                    std::optional<Parsed<NumBox>> right;
                    {
                        Child child(*this);
                        right = climb(q, op.right_assoc ? level : level + 1);
                    }
                    if (hard_) return std::nullopt;
                    if (!right) continue;
                    std::size_t height = 1 + std::max(left->height, right->height);
                    if (!fits(height, op_pos)) return std::nullopt;
                    left->node = op.make(std::move(left->node), std::move(right->node));
                    left->height = height;
                    p = q;
                    applied = true;
                    break;
                }
            }
            if (!applied) return left;
        }
    }

    // The alternatives are kept out of line so that the frames on the
    // recursive path hold no locals of the alternatives not taken.
    std::optional<Parsed<NumBox>> atom(std::size_t& p) {
        if (!fits(1, p)) return std::nullopt;
        if (auto e = parenthesised(p); e || hard_) return e;
        if (auto e = aggregation(p); e || hard_) return e;
        if (auto e = call(p); e || hard_) return e;
        return leaf(p);
    }

    // Composed identifier, plain identifier or number.
    [[gnu::noinline]] std::optional<Parsed<NumBox>> leaf(std::size_t& p) {
        std::size_t q = p;
        if (auto raw = composed_identifier(q)) {
            p = q;
            return Parsed<NumBox>{NumBox(NumExpr::identifier(Identifier::unchecked(std::move(*raw)))), 1};
        }
        q = p;
        if (auto name = identifier(q)) {
            NumExpr e = NumExpr::unchecked(std::string(*name), p);
            p = q;
            return Parsed<NumBox>{NumBox(std::move(e)), 1};
        }
        q = p;
        if (auto value = float_literal(q)) {
            p = q;
            return Parsed<NumBox>{NumBox(NumExpr::literal(*value)), 1};
        }
        return std::nullopt;
    }

    [[gnu::noinline]] std::optional<Parsed<NumBox>> parenthesised(std::size_t& p) {
        std::size_t q = p;
        if (!lit(q, tok_open_paren)) return std::nullopt;
        Nesting nesting(*this, p);
        if (!nesting.ok()) return std::nullopt;
        q = ws(q);
        auto e = inner_expression(q);
        if (!e) return std::nullopt;
        q = ws(q);
        if (!lit(q, tok_close_paren)) return std::nullopt;
        p = q;
        return e;
    }

    [[gnu::noinline]] std::optional<Parsed<NumBox>> aggregation(std::size_t& p) {
        std::size_t q = p;
        auto name = identifier(q);
        if (!name) return std::nullopt;
        q = ws(q);
        if (!lit(q, tok_of)) return std::nullopt;
        q = ws(q);
        auto series = composed_identifier(q);
        if (!series) return std::nullopt;
        q = ws(q);
        if (!lit(q, tok_between)) return std::nullopt;
        q = ws(q);
        auto begin = bound(q);
        if (!begin) return std::nullopt;
        q = ws(q);
        if (!lit(q, tok_and_lower)) return std::nullopt;
        q = ws(q);
        auto end = bound(q);
        if (!end) return std::nullopt;
        p = q;
        NumExpr::Aggregation node{std::string(*name), VecExpr::Identifier{Identifier::unchecked(std::move(*series))},
                                  Window{std::move(*begin), std::move(*end)}};
        return Parsed<NumBox>{boxed<NumExpr>(std::move(node)), 1};
    }

    [[gnu::noinline]] std::optional<Parsed<NumBox>> call(std::size_t& p) {
        if (known_failure(Memo::call, p)) return std::nullopt;
        Extent extent(*this);
        auto c = call_uncached(p);
        if (!c && !hard_) remember_failure(Memo::call, p, extent);
        return c;
    }

    std::optional<Parsed<NumBox>> call_uncached(std::size_t& p) {
        std::size_t q = p;
        auto name = identifier(q);
        if (!name) return std::nullopt;
        q = ws(q);
        std::size_t open = q;
        if (!lit(q, tok_open_paren)) return std::nullopt;
        Nesting nesting(*this, open);
        if (!nesting.ok()) return std::nullopt;
        std::vector<NumExpr> args;
        std::size_t height = 0;
        {
            Child child(*this);
            std::size_t r = ws(q);
            if (auto first = inner_expression(r)) {
                height = first->height;
                args.push_back(std::move(*first->node));
                q = ws(r);
                for (;;) {
                    r = q;
                    if (!lit(r, tok_comma)) break;
                    r = ws(r);
                    auto next = inner_expression(r);
                    if (!next) break;
                    height = std::max(height, next->height);
                    args.push_back(std::move(*next->node));
                    q = ws(r);
                }
            }
        }
        if (hard_ || !lit(q, tok_close_paren)) return std::nullopt;
        if (!fits(height + 1, p)) return std::nullopt;
        p = q;
        return Parsed<NumBox>{boxed<NumExpr>(NumExpr::Call{std::string(*name), std::move(args)}), height + 1};
    }

    // ---- window ends and durations -----------------------------------------

    std::optional<BoundExpr> bound(std::size_t& p) {
        std::size_t q = p;
        if (lit(q, tok_last_update)) {
            p = q;
            return BoundExpr::LastUpdate{};
        }
        if (lit(q, tok_one_day)) {
            p = q;
            return BoundExpr::DelayedCurrentTime{TimeExpr::Days{1}};
        }
        if (lit(q, tok_delayed)) {
            q = ws(q);
            if (auto d = duration(q)) {
                p = q;
                return BoundExpr::DelayedCurrentTime{*d};
            }
            if (hard_) return std::nullopt;
            q = p;
        }
        if (lit(q, tok_exact)) {
            q = ws(q);
            if (auto v = float_literal(q)) {
                p = q;
                return BoundExpr::ExactTime{*v};
            }
            if (hard_) return std::nullopt;
            q = p;
        }
        if (lit(q, tok_t)) {
            p = q;
            return BoundExpr::CurrentTime{};
        }
        return std::nullopt;
    }

    std::optional<TimeExpr> duration(std::size_t& p) {
        for (const DurationUnit& unit : duration_units) {
            std::size_t q = p;
            if (!lit(q, unit.token)) continue;
            q = ws(q);
            auto n = integer(q);
            if (hard_) return std::nullopt;
            if (!n) continue;
            q = ws(q);
            if (!lit(q, tok_close_paren)) continue;
            p = q;
            return unit.make(*n);
        }
        return std::nullopt;
    }

    // ---- conditions ---------------------------------------------------------

    // Level 0 is OR, level 1 AND; both left-associative.
    std::optional<Parsed<BoolExpr>> bool_climb(std::size_t& p, std::size_t min_level) {
        auto left = bool_operand(p);
        if (!left) return std::nullopt;
        for (;;) {
            bool applied = false;
            for (std::size_t level = min_level; level < std::size(connective_levels) && !applied; ++level) {
                const ConnectiveLevel& c = connective_levels[level];
                for (const Token* tok : {&c.upper, &c.lower}) {
                    std::size_t q = ws(p);
                    std::size_t op_pos = q;
                    if (!lit(q, *tok)) continue;
                    q = ws(q);
                    std::optional<Parsed<BoolExpr>> right;
                    {
                        Child child(*this);
                        right = bool_climb(q, level + 1);
                    }
                    if (hard_) return std::nullopt;
                    if (!right) continue;
                    std::size_t height = 1 + std::max(left->height, right->height);
                    if (!fits(height, op_pos)) return std::nullopt;
                    left = Parsed<BoolExpr>{c.make(std::move(left->node), std::move(right->node)), height};
                    p = q;
                    applied = true;
                    break;
                }
            }
            if (!applied) return left;
        }
    }

    std::optional<Parsed<BoolExpr>> bool_operand(std::size_t& p) {
        if (!fits(1, p)) return std::nullopt;
        if (auto c = comparison(p); c || hard_) return c;
        if (auto n = negation(p); n || hard_) return n;
        if (auto c = bool_parenthesised(p); c || hard_) return c;
        std::size_t q = p;
        if (lit(q, tok_true)) {
            p = q;
            return Parsed<BoolExpr>{BoolExpr::literal(true), 1};
        }
        if (lit(q, tok_false)) {
            p = q;
            return Parsed<BoolExpr>{BoolExpr::literal(false), 1};
        }
        return std::nullopt;
    }

    // Each operator is an alternative of its own over the same left operand;
    // parsing that operand once gives the same tree and the same recorded
    // failures as parsing it again for every operator.
    [[gnu::noinline]] std::optional<Parsed<BoolExpr>> comparison(std::size_t& p) {
        Child child(*this);  // both operands; their own checks bound the comparison too
        std::size_t q = p;
        auto left = inner_expression(q);
        if (!left) return std::nullopt;
        q = ws(q);
        for (const ComparisonOp& op : comparison_ops) {
            std::size_t r = q;
            if (!lit(r, op.token)) continue;
            r = ws(r);
            auto right = inner_expression(r);
            if (hard_) return std::nullopt;
            if (!right) continue;
            p = r;
            return Parsed<BoolExpr>{op.make(std::move(left->node), std::move(right->node)),
                                    1 + std::max(left->height, right->height)};
        }
        return std::nullopt;
    }

    [[gnu::noinline]] std::optional<Parsed<BoolExpr>> negation(std::size_t& p) {
        std::size_t q = p;
        if (!lit(q, tok_not_upper) && !lit(q, tok_not_lower)) return std::nullopt;
        Nesting nesting(*this, p);
        if (!nesting.ok()) return std::nullopt;
        q = ws(q);
        std::optional<Parsed<BoolExpr>> operand;
        {
            Child child(*this);
            operand = bool_operand(q);
        }
        if (!operand) return std::nullopt;
        std::size_t height = operand->height + 1;
        if (!fits(height, p)) return std::nullopt;
        p = q;
        return Parsed<BoolExpr>{BoolExpr::negation(std::move(operand->node)), height};
    }

    [[gnu::noinline]] std::optional<Parsed<BoolExpr>> bool_parenthesised(std::size_t& p) {
        std::size_t q = p;
        if (!lit(q, tok_open_paren)) return std::nullopt;
        Nesting nesting(*this, p);
        if (!nesting.ok()) return std::nullopt;
        q = ws(q);
        auto c = bool_climb(q, 0);
        if (!c) return std::nullopt;
        q = ws(q);
        if (!lit(q, tok_close_paren)) return std::nullopt;
        p = q;
        return c;
    }

    // ---- statements -----------------------------------------------------------

    // statement ** ";" then an optional ";". Fails only when the parse ends.
    std::optional<Parsed<std::vector<Statement>>> statements(std::size_t& p) {
        Parsed<std::vector<Statement>> out{{}, 0};
        if (auto first = statement(p)) {
            out.height = first->height;
            out.node.push_back(std::move(*first->node));
            for (;;) {
                std::size_t q = p;
                if (!lit(q, tok_semicolon)) break;
                auto next = statement(q);
                if (!next) break;
                out.height = std::max(out.height, next->height);
                out.node.push_back(std::move(*next->node));
                p = q;
            }
        }
        if (hard_) return std::nullopt;
        std::size_t q = p;
        if (lit(q, tok_semicolon)) p = q;
        return out;
    }

    [[gnu::noinline]] std::optional<Parsed<Box<Statement>>> statement(std::size_t& p) {
        if (!fits(1, p)) return std::nullopt;
        if (auto s = assignment(p); s || hard_) return s;
        if (auto s = conditional(p); s || hard_) return s;
        return return_statement(p);
    }

    [[gnu::noinline]] std::optional<Parsed<Box<Statement>>> assignment(std::size_t& p) {
        std::size_t q = ws(p);
        auto name = identifier(q);
        if (!name) return std::nullopt;
        q = ws(q);
        if (!lit(q, tok_eq)) return std::nullopt;
        q = ws(q);
        std::optional<Parsed<NumBox>> value;
        {
            Child child(*this);
            value = inner_expression(q);
        }
        if (!value) return std::nullopt;
        p = ws(q);
        return Parsed<Box<Statement>>{boxed<Statement>(Statement::Assign{std::string(*name), std::move(*value->node)}),
                                      value->height + 1};
    }

    [[gnu::noinline]] std::optional<Parsed<Box<Statement>>> return_statement(std::size_t& p) {
        std::size_t q = ws(p);
        if (!lit(q, tok_return)) return std::nullopt;
        q = ws(q);
        std::optional<Parsed<NumBox>> value;
        {
            Child child(*this);
            value = inner_expression(q);
        }
        if (!value) return std::nullopt;
        p = ws(q);
        return Parsed<Box<Statement>>{boxed<Statement>(Statement::Return{std::move(*value->node)}), value->height + 1};
    }

    // "{" statements "}" with the whitespace inside.
    [[gnu::noinline]] std::optional<Parsed<std::vector<Statement>>> block(std::size_t& p) {
        std::size_t q = p;
        if (!lit(q, tok_open_brace)) return std::nullopt;
        Nesting nesting(*this, p);
        if (!nesting.ok()) return std::nullopt;
        q = ws(q);
        auto body = statements(q);
        if (!body) return std::nullopt;
        q = ws(q);
        if (!lit(q, tok_close_brace)) return std::nullopt;
        p = q;
        return body;
    }

    [[gnu::noinline]] std::optional<Parsed<Box<Statement>>> conditional(std::size_t& p) {
        Child child(*this);
        std::size_t q = ws(p);
        if (!lit(q, tok_if)) return std::nullopt;
        q = ws(q);
        auto condition = bool_climb(q, 0);
        if (!condition) return std::nullopt;
        q = ws(q);
        auto then_branch = block(q);
        if (!then_branch) return std::nullopt;
        q = ws(q);
        if (!lit(q, tok_else)) return std::nullopt;
        q = ws(q);
        auto else_branch = block(q);
        if (!else_branch) return std::nullopt;
        std::size_t height = 1 + std::max({condition->height, then_branch->height, else_branch->height});
        p = ws(q);
        return Parsed<Box<Statement>>{boxed<Statement>(Statement::IfElse{std::move(condition->node),
                                                                         std::move(then_branch->node),
                                                                         std::move(else_branch->node)}),
                                      height};
    }

    std::optional<FunctionDefinition> function_definition(std::size_t& p) {
        std::size_t q = ws(p);
        if (!lit(q, tok_function)) return std::nullopt;
        q = ws(q);
        auto name = identifier(q);
        if (!name) return std::nullopt;
        q = ws(q);
        if (!lit(q, tok_open_paren)) return std::nullopt;
        FunctionDefinition f{std::string(*name), {}, {}};
        std::size_t r = ws(q);
        if (auto first = identifier(r)) {
            f.args.emplace_back(*first);
            q = ws(r);
            for (;;) {
                r = q;
                if (!lit(r, tok_comma)) break;
                r = ws(r);
                auto next = identifier(r);
                if (!next) break;
                f.args.emplace_back(*next);
                q = ws(r);
            }
        }
        if (!lit(q, tok_close_paren)) return std::nullopt;
        q = ws(q);
        auto body = block(q);
        if (!body) return std::nullopt;
        f.statements = std::move(body->node);
        p = q;
        return f;
    }


    std::string_view t_;
    const util::Limits& limits_;
    bool remember_;
    ParseReport report_;
    std::optional<util::Error> hard_;
    std::size_t nesting_ = 0;
    std::size_t ancestors_ = 0;
    std::size_t peak_nesting_ = 0;
    std::size_t peak_level_ = 0;
    std::unordered_map<std::size_t, Reach> failed_;
};

}  // namespace

util::Result<NumExpr> parse_expression(std::string_view text, const util::Limits& limits) {
    return Parser(text, limits, true).expression_program();
}

util::Result<BoolExpr> parse_condition(std::string_view text, const util::Limits& limits) {
    return Parser(text, limits, true).condition_program();
}

util::Result<FunctionDefinition> parse_function(std::string_view text, const util::Limits& limits) {
    return Parser(text, limits, true).function_program();
}

namespace plain_backtracking {

util::Result<NumExpr> parse_expression(std::string_view text, const util::Limits& limits) {
    return Parser(text, limits, false).expression_program();
}

util::Result<BoolExpr> parse_condition(std::string_view text, const util::Limits& limits) {
    return Parser(text, limits, false).condition_program();
}

util::Result<FunctionDefinition> parse_function(std::string_view text, const util::Limits& limits) {
    return Parser(text, limits, false).function_program();
}

}  // namespace plain_backtracking

}  // namespace tarnel::grammar
