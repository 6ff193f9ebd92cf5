#include "tarnel/grammar/time_expr.hpp"

#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::grammar {

namespace {
constexpr std::string_view unit_names[] = {"Weeks", "Days", "Hours", "Minutes"};
constexpr std::int64_t unit_lengths[] = {604800, 86400, 3600, 60};
}  // namespace

std::int64_t TimeExpr::count() const {
    return std::visit([](const auto& unit) { return unit.count; }, v_);
}

std::int64_t TimeExpr::unit_seconds() const { return unit_lengths[v_.index()]; }

std::string TimeExpr::debug() const { return debug_text::text_of(*this); }

void TimeExpr::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    h.write_i64(count());
}

void debug_text::append(std::string& out, const TimeExpr& t) {
    out += unit_names[t.index()];
    out += '(';
    out += std::to_string(t.count());
    out += ')';
}

}  // namespace tarnel::grammar
