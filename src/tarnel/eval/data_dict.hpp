#pragma once
// Everything evaluation reads: the current scalar of a field, the whole series
// of a field, and the instant a window bound stands for.
#include <optional>
#include <utility>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/fields/simulation_field.hpp"
#include "tarnel/grammar/bound_expr.hpp"
#include "tarnel/grammar/window.hpp"
#include "tarnel/timeseries/instant.hpp"
#include "tarnel/timeseries/single_timeseries.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::eval {

// The evaluator hands over fields by reference into the program's tree or
// the bodies of the custom functions, so an implementation may cache work per
// field (its data key) by address for as long as those live.
class DataDict {
public:
    DataDict() = default;
    DataDict(const DataDict&) = default;
    DataDict& operator=(const DataDict&) = default;
    virtual ~DataDict() = default;

    // Absent when the value cannot be represented.
    virtual util::Result<std::optional<decimal::DecimalValue>> get_scalar(const fields::SimulationField& field) = 0;
    // The whole series, without sampling; windowing happens afterwards.
    virtual util::Result<timeseries::SingleTimeseries> get_timeseries(const fields::SimulationField& field) = 0;
    virtual util::Result<timeseries::Instant> materialize_time(const grammar::BoundExpr& bound) = 0;
    // The points of the series inside the window (both ends included), as
    // the whole series windowed afterwards: errors of the read come before
    // those of the bounds. A source may skip converting the points outside.
    virtual util::Result<timeseries::SingleTimeseries> get_timeseries_window(const fields::SimulationField& field,
                                                                             const grammar::Window& window);

    // The instants of the window's two bounds, begin first.
    util::Result<std::pair<timeseries::Instant, timeseries::Instant>> materialize_window(const grammar::Window& window);
    // The points of `series` inside the window.
    util::Result<timeseries::SingleTimeseries> window_of(const timeseries::SingleTimeseries& series,
                                                         const grammar::Window& window);
};

// The three instants of one evaluation. Times in the language are years of
// 365 days since `start_date`.
struct SplitTime {
    timeseries::Instant start_date;
    timeseries::Instant current_time;
    std::optional<timeseries::Instant> last_update_time;  // none: the start date

    [[nodiscard]] timeseries::Instant last_update_or_start() const { return last_update_time.value_or(start_date); }
};

// Milliseconds in a 365-day year.
inline constexpr double milliseconds_per_year = 3.1536e10;

// Years from `start` to `t` (whole milliseconds truncated toward zero);
// absent when the quotient is not finite.
[[nodiscard]] std::optional<decimal::DecimalValue> years_since(timeseries::Instant start, timeseries::Instant t);

// The instant of a window bound; an error when it falls outside the
// representable range.
util::Result<timeseries::Instant> materialize_time(const SplitTime& times, const grammar::BoundExpr& bound);

// The global time fields are computed from the split time; every other read
// goes to the two raw lookups an implementation supplies.
class SplitTimeDataDict : public DataDict {
public:
    explicit SplitTimeDataDict(SplitTime times) : times_(times) {}

    util::Result<std::optional<decimal::DecimalValue>> get_scalar(const fields::SimulationField& field) final;
    util::Result<timeseries::SingleTimeseries> get_timeseries(const fields::SimulationField& field) final;
    util::Result<timeseries::Instant> materialize_time(const grammar::BoundExpr& bound) final;

    [[nodiscard]] const SplitTime& times() const { return times_; }

protected:
    // A field that is not a global time field.
    virtual util::Result<std::optional<decimal::DecimalValue>> read_scalar(const fields::SimulationField& field) = 0;
    virtual util::Result<timeseries::SingleTimeseries> read_timeseries(const fields::SimulationField& field) = 0;

private:
    SplitTime times_;
};

}  // namespace tarnel::eval
