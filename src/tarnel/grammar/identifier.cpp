#include "tarnel/grammar/identifier.hpp"

#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::grammar {

std::string Identifier::debug() const { return debug_text::text_of(*this); }

void Identifier::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    if (const auto* u = std::get_if<Unchecked>(&v_)) u->raw.hash_feed(h);
    else if (const auto* f = std::get_if<Field>(&v_)) f->field.hash_feed(h);
    else h.write_str(std::get<Local>(v_).name);
}

void debug_text::append(std::string& out, const Identifier& id) {
    if (const auto* u = id.get_if<Identifier::Unchecked>()) {
        out += "Unchecked(";
        append(out, u->raw);
    } else if (const auto* f = id.get_if<Identifier::Field>()) {
        out += "Field(";
        out += f->field.debug();
    } else {
        out += "Local(";
        append_quoted(out, std::get<Identifier::Local>(id.variant()).name);
    }
    out += ')';
}

}  // namespace tarnel::grammar
