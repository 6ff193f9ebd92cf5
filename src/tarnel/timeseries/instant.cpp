#include "tarnel/timeseries/instant.hpp"

#include <fmt/format.h>

namespace tarnel::timeseries {

namespace {

constexpr std::int64_t nanos_per_second = 1'000'000'000;
constexpr std::int64_t nanos_per_milli = 1'000'000;

util::Result<Instant> instant_from_count(bool overflowed, std::int64_t count) {
    if (overflowed) return util::fail("Instant out of the representable range");
    return Instant(Duration(count));
}

util::Result<Duration> duration_from_count(bool overflowed, std::int64_t count) {
    if (overflowed) return util::fail("Duration out of the representable range");
    return Duration(count);
}

}  // namespace

DurationParts split_duration(Duration d) {
    auto n = d.count();
    auto seconds = n / nanos_per_second;
    auto nanos = n % nanos_per_second;
    if (nanos < 0) {
        nanos += nanos_per_second;
        seconds -= 1;
    }
    return {seconds, static_cast<std::int32_t>(nanos)};
}

std::int64_t whole_milliseconds_between(Instant from, Instant to) {
    auto diff = static_cast<__int128>(to.time_since_epoch().count()) - from.time_since_epoch().count();
    return static_cast<std::int64_t>(diff / nanos_per_milli);  // |diff| < 2^64 ns, so it fits
}

util::Result<Instant> checked_add(Instant t, Duration d) {
    std::int64_t out = 0;
    bool o = __builtin_add_overflow(t.time_since_epoch().count(), d.count(), &out);
    return instant_from_count(o, out);
}

util::Result<Instant> checked_sub(Instant t, Duration d) {
    std::int64_t out = 0;
    bool o = __builtin_sub_overflow(t.time_since_epoch().count(), d.count(), &out);
    return instant_from_count(o, out);
}

util::Result<Duration> checked_difference(Instant to, Instant from) {
    std::int64_t out = 0;
    bool o = __builtin_sub_overflow(to.time_since_epoch().count(), from.time_since_epoch().count(), &out);
    return duration_from_count(o, out);
}

util::Result<Duration> checked_add(Duration a, Duration b) {
    std::int64_t out = 0;
    bool o = __builtin_add_overflow(a.count(), b.count(), &out);
    return duration_from_count(o, out);
}

util::Result<Duration> checked_mul(Duration d, std::int64_t factor) {
    std::int64_t out = 0;
    bool o = __builtin_mul_overflow(d.count(), factor, &out);
    return duration_from_count(o, out);
}

std::string debug_duration(std::optional<Duration> d) {
    if (!d) return "none";
    auto n = d->count();
    auto magnitude = n < 0 ? -static_cast<unsigned __int128>(n) : static_cast<unsigned __int128>(n);
    auto seconds = static_cast<std::uint64_t>(magnitude / nanos_per_second);
    auto nanos = static_cast<std::uint64_t>(magnitude % nanos_per_second);
    const char* sign = n < 0 ? "-" : "";
    if (nanos == 0) return fmt::format("{}{}s", sign, seconds);
    return fmt::format("{}{}.{:09}s", sign, seconds, nanos);
}

std::vector<Instant> generate_datetimes_from_epoch(std::span<const std::uint32_t> seconds) {
    // Sized up front: a plain indexed loop vectorizes, growth checks do not.
    std::vector<Instant> out(seconds.size());
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        out[i] = Instant(std::chrono::nanoseconds(std::int64_t{seconds[i]} * 1'000'000'000));
    }
    return out;
}

}  // namespace tarnel::timeseries
