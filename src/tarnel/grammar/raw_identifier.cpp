#include "tarnel/grammar/raw_identifier.hpp"

#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::grammar {

const std::string* OptionName::key() const {
    const auto* named = std::get_if<Named>(&v_);
    return named != nullptr ? &named->key : nullptr;
}

std::string OptionName::debug() const {
    const std::string* k = key();
    if (k == nullptr) return "Positional";
    std::string out = "Named(";
    debug_text::append_quoted(out, *k);
    out += ')';
    return out;
}

void OptionName::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    if (const std::string* k = key()) h.write_str(*k);
}

std::string OptionValue::debug() const {
    std::string out = "String(";
    debug_text::append_quoted(out, text());
    out += ')';
    return out;
}

void OptionValue::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    h.write_str(text());
}

std::string RawIdentifier::display() const {
    if (options.empty()) return name;
    std::string out = name;
    out += ":{";
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (i != 0) out += ", ";
        if (const std::string* k = options[i].first.key()) {
            out += *k;
            out += '=';
        }
        out += '"';
        out += options[i].second.text();
        out += '"';
    }
    out += '}';
    return out;
}

std::string RawIdentifier::debug() const { return debug_text::text_of(*this); }

void RawIdentifier::hash_feed(util::SipHasher13& h) const {
    h.write_str(name);
    h.write_index(options.size());
    for (const auto& [option_name, option_value] : options) {
        option_name.hash_feed(h);
        option_value.hash_feed(h);
    }
    h.write_u64(static_cast<std::uint64_t>(position));
}

void debug_text::append(std::string& out, const RawIdentifier& r) {
    out += "RawIdentifier { name: ";
    append_quoted(out, r.name);
    out += ", options: [";
    for (std::size_t i = 0; i < r.options.size(); ++i) {
        if (i != 0) out += ", ";
        out += '(';
        out += r.options[i].first.debug();
        out += ", ";
        out += r.options[i].second.debug();
        out += ')';
    }
    out += "], position: ";
    out += std::to_string(r.position);
    out += " }";
}

}  // namespace tarnel::grammar
