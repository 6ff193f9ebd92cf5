#pragma once
// One end of an aggregation window.
#include <string>
#include <variant>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/grammar/time_expr.hpp"
#include "tarnel/grammar/tree_hash.hpp"

namespace tarnel::grammar {

class BoundExpr {
public:
    struct LastUpdate {
        bool operator==(const LastUpdate&) const = default;
    };
    struct CurrentTime {
        bool operator==(const CurrentTime&) const = default;
    };
    // How far before the current time.
    struct DelayedCurrentTime {
        TimeExpr delay;
        bool operator==(const DelayedCurrentTime&) const = default;
    };
    // An absolute time.
    struct ExactTime {
        decimal::Decimal time;
        bool operator==(const ExactTime&) const = default;
    };
    using Variant = std::variant<LastUpdate, CurrentTime, DelayedCurrentTime, ExactTime>;

    BoundExpr() = default;
    BoundExpr(LastUpdate b) : v_(b) {}          // NOLINT(google-explicit-constructor)
    BoundExpr(CurrentTime b) : v_(b) {}         // NOLINT(google-explicit-constructor)
    BoundExpr(DelayedCurrentTime b) : v_(b) {}  // NOLINT(google-explicit-constructor)
    BoundExpr(ExactTime b) : v_(b) {}           // NOLINT(google-explicit-constructor)

    [[nodiscard]] std::size_t index() const { return v_.index(); }
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] Variant& variant() { return v_; }
    template <class A>
    [[nodiscard]] const A* get_if() const { return std::get_if<A>(&v_); }

    // LastUpdate, CurrentTime, DelayedCurrentTime(Days(7)), ExactTime(Normal(5))
    [[nodiscard]] std::string debug() const;
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const BoundExpr&) const = default;

private:
    Variant v_;
};

}  // namespace tarnel::grammar

TARNEL_GRAMMAR_STD_HASH(BoundExpr);
