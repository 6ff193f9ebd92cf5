// Parsing cost: typical programs, and the shapes that make a backtracking
// parser work hardest (parentheses inside conditions re-read as numeric
// operands, long operator chains) up to the nesting and tree-depth bounds.
#include <benchmark/benchmark.h>

#include <string>

#include "tarnel/grammar/composed_identifier.hpp"
#include "tarnel/grammar/parser.hpp"

namespace {

namespace g = tarnel::grammar;

std::string repeat(std::string_view s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

template <class... Parts>
std::string cat(const Parts&... parts) {
    std::string out;
    ((out += parts), ...);
    return out;
}

template <class Parse>
void run(benchmark::State& state, const std::string& text, Parse parse) {
    for (auto _ : state) {
        auto r = parse(text);
        benchmark::DoNotOptimize(r);
        if (!r) state.SkipWithError("parse failed");
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}

auto expression = [](const std::string& t) { return g::parse_expression(t); };
auto condition = [](const std::string& t) { return g::parse_condition(t); };
auto plain_condition = [](const std::string& t) { return g::plain_backtracking::parse_condition(t); };

void BM_TypicalExpression(benchmark::State& state) {
    run(state, "mean of pool.dex_spot between t=t-days(7) and t / (pool.total_volume:{\"USDC\"} + 2 * bot.all.pnl)",
        expression);
}

void BM_TypicalCondition(benchmark::State& state) {
    run(state, "pool.dex_spot > 1.05 AND NOT bot.all.pnl < 0 OR common.market_spot:{pair=\"WETH/USDC\"} >= 1800",
        condition);
}

void BM_TypicalFunction(benchmark::State& state) {
    run(state, "function spread(a, b) { d = a - b; if d > 0 { return d } else { return 0 - d } }",
        [](const std::string& t) { return g::parse_function(t); });
}

void BM_ComposedIdentifier(benchmark::State& state) {
    run(state, "bot.pool.token_amount:{token=\"USDC\", position=\"p1\"}",
        [](const std::string& t) { return g::composed_identifier_with_options(t); });
}

void BM_FailingExpression(benchmark::State& state) {
    const std::string text = "mean of pool.dex_spot between t=t-days(7) and t +";
    for (auto _ : state) {
        auto r = g::parse_expression(text);
        benchmark::DoNotOptimize(r);
    }
}

// Every level is first tried as a numeric parenthesis of a comparison.
void BM_ConditionInParentheses(benchmark::State& state) {
    auto n = static_cast<std::size_t>(state.range(0));
    run(state, cat(repeat("(", n), "x > 1", repeat(")", n)), condition);
}

// NOT ( reads as a call of NOT in the numeric attempt at every level.
void BM_NegatedParentheses(benchmark::State& state) {
    auto n = static_cast<std::size_t>(state.range(0));
    run(state, cat(repeat("NOT (", n), "x > 1", repeat(")", n)), condition);
}

// The same two shapes without remembered failures, for comparison.
void BM_PlainConditionInParentheses(benchmark::State& state) {
    auto n = static_cast<std::size_t>(state.range(0));
    run(state, cat(repeat("(", n), "x > 1", repeat(")", n)), plain_condition);
}

void BM_PlainNegatedParentheses(benchmark::State& state) {
    auto n = static_cast<std::size_t>(state.range(0));
    run(state, cat(repeat("NOT (", n), "x > 1", repeat(")", n)), plain_condition);
}

void BM_NumericParenthesesInComparison(benchmark::State& state) {
    auto n = static_cast<std::size_t>(state.range(0));
    run(state, cat(repeat("(", n), "x", repeat(")", n), " > 1"), condition);
}

void BM_NestedCalls(benchmark::State& state) {
    auto n = static_cast<std::size_t>(state.range(0));
    run(state, cat(repeat("f(", n), "1", repeat(")", n)), expression);
}

void BM_SumChain(benchmark::State& state) {
    run(state, cat("1", repeat(" + x", static_cast<std::size_t>(state.range(0)))), expression);
}

void BM_PowerChain(benchmark::State& state) {
    run(state, cat(repeat("2 ^ ", static_cast<std::size_t>(state.range(0))), "2"), expression);
}

void BM_ConjunctionChain(benchmark::State& state) {
    run(state, cat("x > 1", repeat(" AND x > 1", static_cast<std::size_t>(state.range(0)))), condition);
}

// A flat program near the length limit: throughput on long text.
void BM_LongArgumentList(benchmark::State& state) {
    run(state, cat("f(1", repeat(", a.b:{k=v}", static_cast<std::size_t>(state.range(0))), ")"), expression);
}

}  // namespace

BENCHMARK(BM_TypicalExpression);
BENCHMARK(BM_TypicalCondition);
BENCHMARK(BM_TypicalFunction);
BENCHMARK(BM_ComposedIdentifier);
BENCHMARK(BM_FailingExpression);
BENCHMARK(BM_ConditionInParentheses)->Arg(16)->Arg(64)->Arg(256);
BENCHMARK(BM_NegatedParentheses)->Arg(16)->Arg(64)->Arg(128);
BENCHMARK(BM_PlainConditionInParentheses)->Arg(16)->Arg(64)->Arg(256);
BENCHMARK(BM_PlainNegatedParentheses)->Arg(16)->Arg(64)->Arg(128);
BENCHMARK(BM_NumericParenthesesInComparison)->Arg(256);
BENCHMARK(BM_NestedCalls)->Arg(256);
BENCHMARK(BM_SumChain)->Arg(1023);
BENCHMARK(BM_PowerChain)->Arg(1023);
BENCHMARK(BM_ConjunctionChain)->Arg(64)->Arg(1022);
BENCHMARK(BM_LongArgumentList)->Arg(20000)->Arg(80000);
