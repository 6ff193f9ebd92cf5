#pragma once
// UTC instants with nanosecond precision and signed durations, with checked
// arithmetic (the representable range is about 1677-09-21 to 2262-04-11) and
// the RFC 3339 text form.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/util/error.hpp"

namespace tarnel::timeseries {

using Duration = std::chrono::nanoseconds;
using Instant = std::chrono::sys_time<Duration>;

// Conversions truncate toward zero (-1.5 s gives -1 s and -1500 ms).
[[nodiscard]] constexpr std::int64_t whole_milliseconds(Duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}
[[nodiscard]] constexpr std::int64_t whole_seconds(Duration d) {
    return std::chrono::duration_cast<std::chrono::seconds>(d).count();
}

// Seconds and nanoseconds 0..999 999 999 (seconds rounded toward minus infinity).
struct DurationParts {
    std::int64_t seconds = 0;
    std::int32_t nanoseconds = 0;
    bool operator==(const DurationParts&) const = default;
};
[[nodiscard]] DurationParts split_duration(Duration d);

// Whole milliseconds from `from` to `to`, truncated toward zero. Never
// overflows: the span of two instants always fits in milliseconds.
[[nodiscard]] std::int64_t whole_milliseconds_between(Instant from, Instant to);

// Checked arithmetic: an error instead of leaving the representable range.
util::Result<Instant> checked_add(Instant t, Duration d);
util::Result<Instant> checked_sub(Instant t, Duration d);
util::Result<Duration> checked_difference(Instant to, Instant from);  // to - from
util::Result<Duration> checked_add(Duration a, Duration b);
util::Result<Duration> checked_mul(Duration d, std::int64_t factor);

// Debug notation of an optional duration: "none", "86400s", "0.500000000s",
// "-1.250000000s" (nine fractional digits whenever nanoseconds are present).
[[nodiscard]] std::string debug_duration(std::optional<Duration> d);

// Unsigned 32-bit epoch seconds to instants, in order; every value maps.
[[nodiscard]] std::vector<Instant> generate_datetimes_from_epoch(std::span<const std::uint32_t> seconds);

// RFC 3339 in UTC with suffix Z; a fraction only when nanoseconds are
// non-zero, with the fewest of 3, 6 or 9 digits that is exact.
[[nodiscard]] std::string format_rfc3339(Instant t);

// Any RFC 3339 date-time: 'T', 't' or ' ' between date and time, fraction of
// any length (digits beyond nanoseconds are dropped), offset Z, z or +-hh:mm,
// converted to UTC. A leap second (:60) counts as the next second's start.
util::Result<Instant> parse_rfc3339(std::string_view text);

}  // namespace tarnel::timeseries
