#include "tarnel/eval/data_dict.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

#include "tarnel/eval/global_time.hpp"
#include "tarnel/timeseries/filter.hpp"

namespace tarnel::eval {

namespace {

using timeseries::Duration;
using timeseries::Instant;

util::Error out_of_range(const grammar::BoundExpr& bound) {
    return util::Error("Window bound " + bound.debug() + " is out of the representable time range");
}

// Truncation toward zero, saturating at the ends of the 64-bit range; NaN is 0.
std::int64_t saturating_milliseconds(double ms) {
    if (std::isnan(ms)) return 0;
    constexpr double upper = 9223372036854775808.0;  // 2^63
    if (ms >= upper) return std::numeric_limits<std::int64_t>::max();
    if (ms < -upper) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(ms);
}

util::Result<Instant> delayed(const SplitTime& times, const grammar::TimeExpr& delay) {
    std::int64_t seconds = 0;
    if (__builtin_mul_overflow(delay.count(), delay.unit_seconds(), &seconds)) return util::fail("overflow");
    auto d = timeseries::checked_mul(Duration(1'000'000'000), seconds);
    if (!d) return util::fail(std::move(d.error()));
    return timeseries::checked_sub(times.current_time, *d);
}

util::Result<Instant> exact(const SplitTime& times, const decimal::Decimal& years) {
    const double x = years.present() ? years->to_double() : 0.0;
    const std::int64_t ms = saturating_milliseconds(x * milliseconds_per_year);
    auto d = timeseries::checked_mul(Duration(1'000'000), ms);
    if (!d) return util::fail(std::move(d.error()));
    return timeseries::checked_add(times.start_date, *d);
}

}  // namespace

std::optional<decimal::DecimalValue> years_since(Instant start, Instant t) {
    const auto ms = timeseries::whole_milliseconds_between(start, t);
    return decimal::DecimalValue::from_double(static_cast<double>(ms) / milliseconds_per_year);
}

util::Result<Instant> materialize_time(const SplitTime& times, const grammar::BoundExpr& bound) {
    using B = grammar::BoundExpr;
    util::Result<Instant> r = std::visit(
        [&](const auto& b) -> util::Result<Instant> {
            using T = std::decay_t<decltype(b)>;
            if constexpr (std::is_same_v<T, B::LastUpdate>) return times.last_update_or_start();
            else if constexpr (std::is_same_v<T, B::CurrentTime>) return times.current_time;
            else if constexpr (std::is_same_v<T, B::DelayedCurrentTime>) return delayed(times, b.delay);
            else return exact(times, b.time);
        },
        bound.variant());
    if (!r) return util::fail(out_of_range(bound));
    return r;
}

util::Result<std::pair<Instant, Instant>> DataDict::materialize_window(const grammar::Window& window) {
    auto begin = materialize_time(window.begin);
    if (!begin) return util::fail(std::move(begin.error()));
    auto end = materialize_time(window.end);
    if (!end) return util::fail(std::move(end.error()));
    return std::pair{*begin, *end};
}

util::Result<timeseries::SingleTimeseries> DataDict::get_timeseries_window(const fields::SimulationField& field,
                                                                           const grammar::Window& window) {
    auto series = get_timeseries(field);
    if (!series) return series;
    return window_of(*series, window);
}

util::Result<timeseries::SingleTimeseries> DataDict::window_of(const timeseries::SingleTimeseries& series,
                                                               const grammar::Window& window) {
    auto bounds = materialize_window(window);
    if (!bounds) return util::fail(std::move(bounds.error()));
    return timeseries::filter_timeseries(series, bounds->first, bounds->second);
}

util::Result<std::optional<decimal::DecimalValue>> SplitTimeDataDict::get_scalar(const fields::SimulationField& field) {
    switch (global_time_of(field)) {
        case GlobalTime::CurrentTime: return years_since(times_.start_date, times_.current_time);
        case GlobalTime::LastUpdate: return years_since(times_.start_date, times_.last_update_or_start());
        case GlobalTime::None: break;
    }
    return read_scalar(field);
}

util::Result<timeseries::SingleTimeseries> SplitTimeDataDict::get_timeseries(const fields::SimulationField& field) {
    return read_timeseries(field);
}

util::Result<Instant> SplitTimeDataDict::materialize_time(const grammar::BoundExpr& bound) {
    return eval::materialize_time(times_, bound);
}

}  // namespace tarnel::eval
