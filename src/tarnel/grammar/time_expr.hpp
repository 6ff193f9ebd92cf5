#pragma once
// A duration: a signed count of weeks, days, hours or minutes.
#include <cstdint>
#include <string>
#include <variant>

#include "tarnel/grammar/tree_hash.hpp"

namespace tarnel::grammar {

class TimeExpr {
public:
    struct Weeks {
        std::int64_t count = 0;
        bool operator==(const Weeks&) const = default;
    };
    struct Days {
        std::int64_t count = 0;
        bool operator==(const Days&) const = default;
    };
    struct Hours {
        std::int64_t count = 0;
        bool operator==(const Hours&) const = default;
    };
    struct Minutes {
        std::int64_t count = 0;
        bool operator==(const Minutes&) const = default;
    };
    using Variant = std::variant<Weeks, Days, Hours, Minutes>;

    TimeExpr() = default;
    TimeExpr(Weeks w) : v_(w) {}    // NOLINT(google-explicit-constructor)
    TimeExpr(Days d) : v_(d) {}     // NOLINT(google-explicit-constructor)
    TimeExpr(Hours h) : v_(h) {}    // NOLINT(google-explicit-constructor)
    TimeExpr(Minutes m) : v_(m) {}  // NOLINT(google-explicit-constructor)

    [[nodiscard]] std::size_t index() const { return v_.index(); }
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] Variant& variant() { return v_; }
    [[nodiscard]] std::int64_t count() const;
    // Length of one unit in seconds (604800, 86400, 3600, 60).
    [[nodiscard]] std::int64_t unit_seconds() const;

    [[nodiscard]] std::string debug() const;  // Days(7)
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const TimeExpr&) const = default;

private:
    Variant v_;
};

}  // namespace tarnel::grammar

TARNEL_GRAMMAR_STD_HASH(TimeExpr);
