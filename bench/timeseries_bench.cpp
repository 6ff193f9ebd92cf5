// One-pass series operations: resampling minute data to days, a financial
// ratio on the daily result, a mean, and decimal-to-double conversion.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/eval/metric_functions.hpp"
#include "tarnel/timeseries/resample.hpp"

namespace {

using namespace std::chrono_literals;
namespace ts = tarnel::timeseries;

constexpr std::size_t minutes_per_year = 525'600;
constexpr std::size_t million = 1'000'000;

// A deterministic wandering price.
std::vector<double> prices(std::size_t n) {
    std::vector<double> out(n);
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    double p = 1000.0;
    for (auto& v : out) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        p *= 1.0 + (static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5) * 0.002;
        v = p;
    }
    return out;
}

ts::SingleTimeseries minute_year() {
    const ts::Instant t0 = ts::Instant(std::chrono::sys_days(std::chrono::year(2024) / 1 / 1));
    std::vector<ts::Instant> t(minutes_per_year);
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = t0 + std::chrono::minutes(i);
    return ts::SingleTimeseries::from_components(std::move(t), prices(minutes_per_year), std::nullopt).value();
}

void per_point(benchmark::State& state, std::size_t points) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * points));
    state.counters["time_per_point"] = benchmark::Counter(static_cast<double>(points),
                                                          benchmark::Counter::kIsIterationInvariantRate |
                                                              benchmark::Counter::kInvert);
}

void BM_ResampleMinuteYearToDays(benchmark::State& state) {
    const auto series = minute_year();
    for (auto _ : state) {
        auto daily = ts::resample_timeseries(series, tarnel::eval::daily_sampling);
        benchmark::DoNotOptimize(daily);
    }
    per_point(state, minutes_per_year);
}
BENCHMARK(BM_ResampleMinuteYearToDays);

void BM_SharpeRatioOnDailyResult(benchmark::State& state) {
    const auto daily = ts::resample_timeseries(minute_year(), tarnel::eval::daily_sampling).value();
    const auto* sharpe = tarnel::eval::MetricsFunctions::build("sharpe_ratio").value();
    for (auto _ : state) {
        auto r = sharpe->impl(daily);
        benchmark::DoNotOptimize(r);
    }
    per_point(state, daily.len());
}
BENCHMARK(BM_SharpeRatioOnDailyResult);

void BM_MeanOverMillionPoints(benchmark::State& state) {
    const ts::Instant t0 = ts::Instant(std::chrono::sys_days(std::chrono::year(2024) / 1 / 1));
    std::vector<ts::Instant> t(million);
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = t0 + std::chrono::seconds(i);
    const auto series = ts::SingleTimeseries::from_components(std::move(t), prices(million), std::nullopt).value();
    const auto* mean = tarnel::eval::MetricsFunctions::build("mean").value();
    for (auto _ : state) {
        auto r = mean->impl(series);
        benchmark::DoNotOptimize(r);
    }
    per_point(state, million);
}
BENCHMARK(BM_MeanOverMillionPoints);

void BM_DecimalToDoubleMillion(benchmark::State& state) {
    // Input-shaped decimals: 18 fractional digits, as token amounts arrive.
    std::vector<tarnel::decimal::DecimalValue> decimals;
    decimals.reserve(million);
    for (double p : prices(million)) {
        auto v = tarnel::decimal::DecimalValue::from_int_scaled(static_cast<__int128>(p * 1e6) * 1'000'000'000'000, 18);
        decimals.push_back(v.value_or(tarnel::decimal::DecimalValue{}));
    }
    std::vector<double> out(million);
    for (auto _ : state) {
        for (std::size_t i = 0; i < million; ++i) out[i] = decimals[i].to_double();
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    per_point(state, million);
}
BENCHMARK(BM_DecimalToDoubleMillion);

}  // namespace
