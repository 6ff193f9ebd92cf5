#pragma once
// Built-in metric functions: a series of doubles in, one double out. The
// financial ones work on daily data over the whole window, with a 365-day
// year and no risk-free rate.
#include <chrono>
#include <span>
#include <string_view>

#include "tarnel/timeseries/single_timeseries.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::eval {

// Sampling the evaluator resamples to for functions that need daily data.
inline constexpr timeseries::Duration daily_sampling = std::chrono::seconds(86'400);

struct MetricFunction {
    std::string_view name;
    bool daily;  // the series must be resampled to one day first
    util::Result<double> (*impl)(const timeseries::SingleTimeseries&);
};

struct MetricsFunctions {
    // "Undefined metric function '<name>'" when the name is not built in.
    static util::Result<const MetricFunction*> build(std::string_view name);
    static std::span<const MetricFunction> table();
};

}  // namespace tarnel::eval
