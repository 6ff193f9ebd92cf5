#include "tarnel/grammar/debug_text.hpp"

#include "tarnel/util/shared_string.hpp"

namespace tarnel::grammar::debug_text {

void append(std::string& out, const decimal::Decimal& d) {
    if (d.is_absent()) {
        out += "NaN";
        return;
    }
    out += "Normal(";
    out += d->to_string();
    out += ')';
}

void append_quoted(std::string& out, std::string_view s) { out += util::debug_quote(s); }

}  // namespace tarnel::grammar::debug_text
