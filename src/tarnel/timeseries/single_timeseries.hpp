#pragma once
// A series of doubles on strictly increasing UTC instants, with an optional
// regular sampling. Every constructor and `push` keep the integrity rules, so
// a series that exists is always consistent; `check_integrity` states them.
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <span>
#include <vector>

#include "tarnel/timeseries/instant.hpp"
#include "tarnel/timeseries/sampling.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::timeseries {

class ReturnTimeseries;

struct TimeValue {
    Instant time;
    double value;
    bool operator==(const TimeValue&) const = default;
};

// The (instant, value) pairs of two parallel arrays, as many as the shorter.
class TimeValueView {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = TimeValue;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        iterator(const Instant* t, const double* v) : t_(t), v_(v) {}
        TimeValue operator*() const { return {*t_, *v_}; }
        iterator& operator++() {
            ++t_, ++v_;
            return *this;
        }
        iterator operator++(int) {
            auto old = *this;
            ++*this;
            return old;
        }
        bool operator==(const iterator& o) const { return t_ == o.t_; }

    private:
        const Instant* t_ = nullptr;
        const double* v_ = nullptr;
    };

    TimeValueView(std::span<const Instant> t, std::span<const double> v)
        : t_(t.first(std::min(t.size(), v.size()))), v_(v.first(t_.size())) {}
    [[nodiscard]] std::size_t size() const { return t_.size(); }
    [[nodiscard]] TimeValue operator[](std::size_t i) const { return {t_[i], v_[i]}; }
    [[nodiscard]] iterator begin() const { return {t_.data(), v_.data()}; }
    [[nodiscard]] iterator end() const { return {t_.data() + t_.size(), v_.data() + v_.size()}; }

private:
    std::span<const Instant> t_;
    std::span<const double> v_;
};

// One run of consecutive points.
struct TimeValueWindow {
    std::span<const Instant> timestamps;
    std::span<const double> values;
};

// Every run of `width` consecutive points, sliding by one point.
class TimeValueWindows {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = TimeValueWindow;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        iterator(const TimeValueWindows* owner, std::size_t i) : owner_(owner), i_(i) {}
        TimeValueWindow operator*() const { return (*owner_)[i_]; }
        iterator& operator++() {
            ++i_;
            return *this;
        }
        iterator operator++(int) {
            auto old = *this;
            ++*this;
            return old;
        }
        bool operator==(const iterator& o) const { return i_ == o.i_; }

    private:
        const TimeValueWindows* owner_ = nullptr;
        std::size_t i_ = 0;
    };

    TimeValueWindows(std::span<const Instant> t, std::span<const double> v, std::size_t width);
    [[nodiscard]] std::size_t size() const { return count_; }
    [[nodiscard]] TimeValueWindow operator[](std::size_t i) const {
        return {t_.subspan(i, width_), v_.subspan(i, width_)};
    }
    [[nodiscard]] iterator begin() const { return {this, 0}; }
    [[nodiscard]] iterator end() const { return {this, count_}; }

private:
    std::span<const Instant> t_;
    std::span<const double> v_;
    std::size_t width_;
    std::size_t count_;
};

class SingleTimeseries {
public:
    SingleTimeseries() = default;  // empty, no sampling

    // Fails with "Invalid negative sampling" for a sampling <= 0, then with
    // the first integrity rule the parts break.
    static util::Result<SingleTimeseries> from_components(std::vector<Instant> timestamps, std::vector<double> values,
                                                          std::optional<Duration> sampling);
    static util::Result<SingleTimeseries> from_components(std::span<const Instant> timestamps,
                                                          std::span<const double> values,
                                                          std::optional<Duration> sampling);
    static util::Result<SingleTimeseries> new_with_capacity(std::optional<Duration> sampling, std::size_t capacity);

    // Appends a point later than the last one; with a sampling, exactly one
    // sampling period after it.
    util::Status push(Instant time, double value);

    [[nodiscard]] const std::optional<Duration>& sampling() const { return sampling_; }
    [[nodiscard]] std::span<const Instant> timestamps() const { return timestamps_; }
    [[nodiscard]] std::span<const double> values() const { return values_; }
    [[nodiscard]] std::size_t len() const { return values_.size(); }
    [[nodiscard]] bool is_empty() const { return values_.empty(); }

    // Lengths, then strictly increasing timestamps, then the declared
    // sampling against the computed one (from two points on).
    [[nodiscard]] util::Status check_integrity() const;
    // Succeeds only when a sampling is set and equals `sampling`.
    [[nodiscard]] util::Status ensure_same_sampling(Duration sampling) const;

    [[nodiscard]] SingleTimeseries to_mark_to_market() const { return *this; }
    // Simple returns x(i+1)/x(i) - 1, stamped at the end of each period.
    [[nodiscard]] util::Result<ReturnTimeseries> to_return() const;

    [[nodiscard]] TimeValueView time_value_iter() const { return {timestamps_, values_}; }
    [[nodiscard]] TimeValueWindows time_value_windows(std::size_t width) const {
        return {timestamps_, values_, width};
    }

    // Hands the arrays over without copying.
    [[nodiscard]] std::vector<Instant> take_timestamps() && { return std::move(timestamps_); }
    [[nodiscard]] std::vector<double> take_values() && { return std::move(values_); }

    // Exact comparison (NaN values compare unequal, as doubles do).
    bool operator==(const SingleTimeseries&) const = default;

private:
    std::optional<Duration> sampling_;
    std::vector<Instant> timestamps_;
    std::vector<double> values_;
};

// A series whose values are simple returns.
class ReturnTimeseries {
public:
    ReturnTimeseries() = default;
    explicit ReturnTimeseries(SingleTimeseries returns) : series_(std::move(returns)) {}

    [[nodiscard]] const SingleTimeseries& series() const { return series_; }
    [[nodiscard]] const std::optional<Duration>& sampling() const { return series_.sampling(); }
    [[nodiscard]] std::span<const Instant> timestamps() const { return series_.timestamps(); }
    [[nodiscard]] std::span<const double> values() const { return series_.values(); }
    [[nodiscard]] std::size_t len() const { return series_.len(); }
    [[nodiscard]] bool is_empty() const { return series_.is_empty(); }
    [[nodiscard]] util::Status check_integrity() const { return series_.check_integrity(); }
    [[nodiscard]] util::Status ensure_same_sampling(Duration sampling) const {
        return series_.ensure_same_sampling(sampling);
    }
    // Already returns: the series itself.
    [[nodiscard]] util::Result<ReturnTimeseries> to_return() const { return *this; }

    bool operator==(const ReturnTimeseries&) const = default;

private:
    SingleTimeseries series_;
};

}  // namespace tarnel::timeseries
