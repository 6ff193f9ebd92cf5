#include "tarnel/timeseries/single_timeseries.hpp"

#include <fmt/format.h>

namespace tarnel::timeseries {

namespace {

util::Status check_sampling_positive(const std::optional<Duration>& sampling) {
    if (sampling && sampling->count() <= 0) return util::fail("Invalid negative sampling");
    return {};
}

}  // namespace

TimeValueWindows::TimeValueWindows(std::span<const Instant> t, std::span<const double> v, std::size_t width)
    : t_(t), v_(v), width_(width) {
    auto runs = [&](std::size_t len) { return len >= width ? len - width + 1 : 0; };
    count_ = std::min(runs(t.size()), runs(v.size()));
}

util::Result<SingleTimeseries> SingleTimeseries::from_components(std::vector<Instant> timestamps,
                                                                 std::vector<double> values,
                                                                 std::optional<Duration> sampling) {
    if (auto ok = check_sampling_positive(sampling); !ok) return util::fail(std::move(ok.error()));
    SingleTimeseries s;
    s.sampling_ = sampling;
    s.timestamps_ = std::move(timestamps);
    s.values_ = std::move(values);
    if (auto ok = s.check_integrity(); !ok) return util::fail(std::move(ok.error()));
    return s;
}

util::Result<SingleTimeseries> SingleTimeseries::from_components(std::span<const Instant> timestamps,
                                                                 std::span<const double> values,
                                                                 std::optional<Duration> sampling) {
    if (auto ok = check_sampling_positive(sampling); !ok) return util::fail(std::move(ok.error()));
    return from_components(std::vector<Instant>(timestamps.begin(), timestamps.end()),
                           std::vector<double>(values.begin(), values.end()), sampling);
}

util::Result<SingleTimeseries> SingleTimeseries::new_with_capacity(std::optional<Duration> sampling,
                                                                   std::size_t capacity) {
    if (auto ok = check_sampling_positive(sampling); !ok) return util::fail(std::move(ok.error()));
    SingleTimeseries s;
    s.sampling_ = sampling;
    s.timestamps_.reserve(capacity);
    s.values_.reserve(capacity);
    return s;
}

util::Status SingleTimeseries::push(Instant time, double value) {
    if (!timestamps_.empty()) {
        const Instant last = timestamps_.back();
        if (sampling_) {
            auto expected = checked_add(last, *sampling_);
            if (!expected) return util::fail(std::move(expected.error()));
            if (time != *expected) {
                return util::fail(fmt::format("Pushed instant {} is not one sampling period ({}) after the last instant {}",
                                              format_rfc3339(time), debug_duration(sampling_), format_rfc3339(last)));
            }
        } else if (time <= last) {
            return util::fail("Timestamps should be in increasing order");
        }
    }
    timestamps_.push_back(time);
    values_.push_back(value);
    return {};
}

util::Status SingleTimeseries::check_integrity() const {
    if (values_.size() != timestamps_.size()) {
        return util::fail(fmt::format("Length integrity failed, values: {}, timestamps: {}", values_.size(),
                                      timestamps_.size()));
    }
    for (std::size_t i = 1; i < timestamps_.size(); ++i) {
        if (timestamps_[i] <= timestamps_[i - 1]) return util::fail("Timestamps should be in increasing order");
    }
    if (sampling_ && timestamps_.size() >= 2) {
        auto computed = compute_sampling(timestamps_);
        if (computed != sampling_) {
            return util::fail(fmt::format("Cheating sampling in timeseries; described as {} but computed as {}",
                                          debug_duration(sampling_), debug_duration(computed)));
        }
    }
    return {};
}

util::Status SingleTimeseries::ensure_same_sampling(Duration sampling) const {
    if (!sampling_ || *sampling_ != sampling) return util::fail("Incompatible sampling");
    return {};
}

util::Result<ReturnTimeseries> SingleTimeseries::to_return() const {
    if (auto ok = check_integrity(); !ok) return util::fail(std::move(ok.error()));
    const std::size_t n = values_.size();
    if (n < 2) {
        auto empty = from_components(std::vector<Instant>{}, std::vector<double>{}, sampling_);
        if (!empty) return util::fail(std::move(empty.error()));
        return ReturnTimeseries(std::move(*empty));
    }
    // The last n - 1 points of a consistent series are consistent too.
    SingleTimeseries out;
    out.sampling_ = sampling_;
    out.timestamps_.assign(timestamps_.begin() + 1, timestamps_.end());
    out.values_.resize(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) out.values_[i] = values_[i + 1] / values_[i] - 1.0;
    return ReturnTimeseries(std::move(out));
}

}  // namespace tarnel::timeseries
