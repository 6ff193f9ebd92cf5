#include "tarnel/timeseries/sampling.hpp"

#include <cstdint>

namespace tarnel::timeseries {

std::optional<Duration> compute_sampling(std::span<const Instant> timestamps) {
    if (timestamps.size() < 2) return std::nullopt;
    // Differences are taken in 128 bits so that instants far apart cannot
    // wrap into a false match.
    auto diff = [&](std::size_t i) {
        return static_cast<__int128>(timestamps[i].time_since_epoch().count()) -
               timestamps[i - 1].time_since_epoch().count();
    };
    const auto first = diff(1);
    for (std::size_t i = 2; i < timestamps.size(); ++i)
        if (diff(i) != first) return std::nullopt;
    if (first > INT64_MAX || first < INT64_MIN) return std::nullopt;
    return Duration(static_cast<std::int64_t>(first));
}

}  // namespace tarnel::timeseries
