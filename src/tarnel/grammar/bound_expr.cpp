#include "tarnel/grammar/bound_expr.hpp"

#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::grammar {

std::string BoundExpr::debug() const { return debug_text::text_of(*this); }

void BoundExpr::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    if (const auto* d = std::get_if<DelayedCurrentTime>(&v_)) d->delay.hash_feed(h);
    else if (const auto* e = std::get_if<ExactTime>(&v_)) e->time.hash_feed(h);
}

void debug_text::append(std::string& out, const BoundExpr& b) {
    if (b.get_if<BoundExpr::LastUpdate>() != nullptr) {
        out += "LastUpdate";
    } else if (b.get_if<BoundExpr::CurrentTime>() != nullptr) {
        out += "CurrentTime";
    } else if (const auto* d = b.get_if<BoundExpr::DelayedCurrentTime>()) {
        out += "DelayedCurrentTime(";
        append(out, d->delay);
        out += ')';
    } else {
        out += "ExactTime(";
        append(out, std::get<BoundExpr::ExactTime>(b.variant()).time);
        out += ')';
    }
}

}  // namespace tarnel::grammar
