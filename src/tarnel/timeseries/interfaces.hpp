#pragma once
// The operation groups a series offers, as concepts: generic code is
// instantiated per series type, so no call goes through a virtual table.
#include <concepts>
#include <cstddef>
#include <span>

#include "tarnel/timeseries/single_timeseries.hpp"

namespace tarnel::timeseries {

template <class T>
concept BasicTimeseries = requires(const T& s, Duration d) {
    { s.len() } -> std::same_as<std::size_t>;
    { s.is_empty() } -> std::same_as<bool>;
    { s.timestamps() } -> std::convertible_to<std::span<const Instant>>;
    { s.check_integrity() } -> std::same_as<util::Status>;
    { s.ensure_same_sampling(d) } -> std::same_as<util::Status>;
};

template <class T>
concept ToMarkToMarket = BasicTimeseries<T> && requires(const T& s) {
    { s.to_mark_to_market() } -> std::same_as<SingleTimeseries>;
};

template <class T>
concept ToReturn = requires(const T& s) {
    { s.to_return() } -> std::same_as<util::Result<ReturnTimeseries>>;
};

static_assert(ToMarkToMarket<SingleTimeseries> && ToReturn<SingleTimeseries>);
static_assert(BasicTimeseries<ReturnTimeseries> && ToReturn<ReturnTimeseries>);

}  // namespace tarnel::timeseries
