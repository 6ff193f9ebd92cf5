#pragma once
// Detection of a regular spacing of timestamps.
#include <optional>
#include <span>

#include "tarnel/timeseries/instant.hpp"

namespace tarnel::timeseries {

// None for fewer than two instants; the common spacing when every
// consecutive difference is exactly equal; none otherwise.
[[nodiscard]] std::optional<Duration> compute_sampling(std::span<const Instant> timestamps);

}  // namespace tarnel::timeseries
