// Evaluation cost of compiled programs: arithmetic, field reads, custom
// function calls, conditions and aggregations; and the one-off costs of
// compiling and of listing the expected data.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <unordered_map>
#include <vector>

#include "tarnel/binding/compile.hpp"
#include "tarnel/eval/data_dict.hpp"
#include "tarnel/eval/traverse_eval.hpp"
#include "tarnel/parameters/custom_function_ops.hpp"
#include "tarnel/parameters/parameters.hpp"
#include "tarnel/parameters/sealed_parameters.hpp"

namespace {

using tarnel::timeseries::Instant;
using tarnel::timeseries::SingleTimeseries;

const Instant start = Instant(std::chrono::sys_days(std::chrono::year(2024) / 1 / 1));
const Instant now = start + std::chrono::days(30);

tarnel::parameters::SealedParameters sample() {
    tarnel::parameters::Parameters p(start);
    const std::vector<std::string> agents{"bot"};
    (void)p.add_uniswap_v3_protocol("pool", "WETH", "USDC");
    (void)p.add_agents(agents);
    (void)tarnel::parameters::add_custom_function(
        p, "function spread(a, b) { d = a - b; if d > 0 { return d } else { return 0 - d } }");
    return tarnel::parameters::seal(p);
}

// Keys computed once per field, as the Python data source caches them; the
// values sit in a hash map like the caller's dict.
class CachedData final : public tarnel::eval::SplitTimeDataDict {
public:
    explicit CachedData(const tarnel::parameters::SealedParameters& sealed)
        : SplitTimeDataDict({start, now, std::nullopt}), sealed_(sealed) {
        std::vector<Instant> t;
        std::vector<double> v;
        for (int i = 0; i < 30 * 24 * 60; ++i) {
            t.push_back(start + std::chrono::minutes(i));
            v.push_back(1000.0 + (i % 97));
        }
        series_["pool.dex_spot"] = SingleTimeseries::from_components(std::move(t), std::move(v), std::nullopt).value();
        scalars_["pool.dex_spot"] = tarnel::decimal::DecimalValue::from_int_scaled(15, 1).value();
        scalars_["bot.all.pnl"] = tarnel::decimal::DecimalValue::from_int_scaled(-25, 2).value();
    }

protected:
    tarnel::util::Result<std::optional<tarnel::decimal::DecimalValue>> read_scalar(
        const tarnel::fields::SimulationField& field) override {
        const std::string& k = key(field);
        return scalars_.at(k);
    }
    tarnel::util::Result<SingleTimeseries> read_timeseries(const tarnel::fields::SimulationField& field) override {
        return series_.at(key(field));
    }

private:
    const std::string& key(const tarnel::fields::SimulationField& field) {
        auto it = keys_.find(&field);
        if (it == keys_.end()) it = keys_.emplace(&field, sealed_.stringify_identifier(field).value()).first;
        return it->second;
    }
    const tarnel::parameters::SealedParameters& sealed_;
    std::unordered_map<const tarnel::fields::SimulationField*, std::string> keys_;
    std::unordered_map<std::string, tarnel::decimal::DecimalValue> scalars_;
    std::unordered_map<std::string, SingleTimeseries> series_;
};

void expression(benchmark::State& state, const char* text) {
    const auto sealed = sample();
    const auto program = tarnel::binding::compile_expression(text, sealed).value();
    CachedData data(sealed);
    for (auto _ : state) {
        auto r = tarnel::eval::evaluate(program, sealed.custom_functions(), data);
        benchmark::DoNotOptimize(r);
        if (!r) state.SkipWithError(r.error().message.c_str());
    }
}

void condition(benchmark::State& state, const char* text) {
    const auto sealed = sample();
    const auto program = tarnel::binding::compile_condition(text, sealed).value();
    CachedData data(sealed);
    for (auto _ : state) {
        auto r = tarnel::eval::evaluate(program, sealed.custom_functions(), data);
        benchmark::DoNotOptimize(r);
        if (!r) state.SkipWithError(r.error().message.c_str());
    }
}

void BM_LiteralArithmetic(benchmark::State& s) { expression(s, "(1.5 + 2.25) * 3 - 4 / 7"); }
void BM_FieldArithmetic(benchmark::State& s) { expression(s, "pool.dex_spot * 2 + bot.all.pnl / 3 - current_time"); }
void BM_CustomFunctionCalls(benchmark::State& s) { expression(s, "spread(pool.dex_spot, 1) + spread(1, 3)"); }
void BM_Condition(benchmark::State& s) { condition(s, "pool.dex_spot > 1 and not (bot.all.pnl > 0) or false"); }
void BM_MeanOverDay(benchmark::State& s) { expression(s, "mean of pool.dex_spot between t=t-days(1) and t"); }
void BM_VolatilityOverWeek(benchmark::State& s) {
    expression(s, "volatility of pool.dex_spot between t=t-days(7) and t");
}

void BM_CompileTypical(benchmark::State& state) {
    const auto sealed = sample();
    const std::string text = "mean of pool.dex_spot between t=t-days(7) and t / (bot.pool.net_position + 1)";
    for (auto _ : state) {
        auto r = tarnel::binding::compile_expression(text, sealed);
        benchmark::DoNotOptimize(r);
        if (!r) state.SkipWithError(r.error().message.c_str());
    }
}

void BM_ExpectedData(benchmark::State& state) {
    const auto sealed = sample();
    const auto program = tarnel::binding::compile_expression(
                             "mean of pool.dex_spot between t=t-days(7) and t / spread(bot.pool.net_position, 1)",
                             sealed)
                             .value();
    for (auto _ : state) {
        auto r = tarnel::binding::expected_data(program, sealed);
        benchmark::DoNotOptimize(r);
    }
}

}  // namespace

BENCHMARK(BM_LiteralArithmetic);
BENCHMARK(BM_FieldArithmetic);
BENCHMARK(BM_CustomFunctionCalls);
BENCHMARK(BM_Condition);
BENCHMARK(BM_MeanOverDay);
BENCHMARK(BM_VolatilityOverWeek);
BENCHMARK(BM_CompileTypical);
BENCHMARK(BM_ExpectedData);
