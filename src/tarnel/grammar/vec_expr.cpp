#include "tarnel/grammar/vec_expr.hpp"

#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::grammar {

const grammar::Identifier& VecExpr::identifier() const {
    if (const auto* i = std::get_if<Identifier>(&v_)) return i->identifier;
    return std::get<Call1>(v_).identifier;
}

grammar::Identifier& VecExpr::identifier() {
    if (auto* i = std::get_if<Identifier>(&v_)) return i->identifier;
    return std::get<Call1>(v_).identifier;
}

std::string VecExpr::debug() const { return debug_text::text_of(*this); }

void VecExpr::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    if (const auto* c = std::get_if<Call1>(&v_)) h.write_str(c->name);
    identifier().hash_feed(h);
}

void debug_text::append(std::string& out, const VecExpr& v) {
    if (const auto* c = v.get_if<VecExpr::Call1>()) {
        out += "Call1(";
        append_quoted(out, c->name);
        out += ", ";
    } else {
        out += "Identifier(";
    }
    append(out, v.identifier());
    out += ')';
}

}  // namespace tarnel::grammar
