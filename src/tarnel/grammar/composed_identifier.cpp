#include "tarnel/grammar/composed_identifier.hpp"

#include <algorithm>

#include "tarnel/grammar/lexical.hpp"
#include "tarnel/grammar/parse_report.hpp"

namespace tarnel::grammar {

namespace {

namespace lx = lexical;

class ComposedIdentifierParser {
public:
    explicit ComposedIdentifierParser(std::string_view text) : t_(text) {}

    util::Result<ComposedIdentifierRef> run() {
        std::size_t p = lx::at(t_, 0, "@") ? 1 : 0;
        std::vector<std::string_view> components;
        if (!parse_components(p, components)) return util::fail(report_.error(t_));
        std::vector<ComposedIdentifierRef::Option> options;
        parse_option_block(p, options);
        if (p != t_.size()) {
            report_.mark(p, "EOF");
            return util::fail(report_.error(t_));
        }
        return ComposedIdentifierRef::make(std::move(components), options);
    }

private:
    bool parse_components(std::size_t& p, std::vector<std::string_view>& out) {
        std::size_t e = lx::component(t_, p);
        if (e == lx::no_match) {
            report_.mark(p, "composed identifier");
            return false;
        }
        out.push_back(t_.substr(p, e - p));
        p = e;
        // A dot not followed by a component stays unconsumed.
        while (lx::at(t_, p, ".") && (e = lx::component(t_, p + 1)) != lx::no_match) {
            out.push_back(t_.substr(p + 1, e - p - 1));
            p = e;
        }
        return true;
    }

    // On failure the identifier ends before ":{".
    void parse_option_block(std::size_t& p, std::vector<ComposedIdentifierRef::Option>& out) {
        std::vector<ComposedIdentifierRef::Option> options;
        std::size_t q = p;
        if (try_block(q, options)) {
            p = q;
            out = std::move(options);
            return;
        }
        report_.mark(p, "metric options");
    }

    bool try_block(std::size_t& q, std::vector<ComposedIdentifierRef::Option>& options) {
        if (!lx::at(t_, q, ":{")) {
            report_.mark(q, "\":{\"");
            return false;
        }
        q = lx::skip_ws(t_, q + 2);
        if (parse_option(q, options)) {
            for (;;) {
                std::size_t r = lx::skip_ws(t_, q);
                if (!lx::at(t_, r, ",")) {
                    report_.mark(r, "option separator ','");
                    break;
                }
                r = lx::skip_ws(t_, r + 1);
                if (!parse_option(r, options)) break;
                q = r;
            }
        }
        q = lx::skip_ws(t_, q);
        if (!lx::at(t_, q, "}")) {
            report_.mark(q, "end of option '}'");
            return false;
        }
        ++q;
        return true;
    }

    bool parse_option(std::size_t& p, std::vector<ComposedIdentifierRef::Option>& out) {
        std::size_t key_end = lx::identifier(t_, p);
        if (key_end != lx::no_match) {
            std::size_t q = lx::skip_ws(t_, key_end);
            if (lx::at(t_, q, "=")) {
                q = lx::skip_ws(t_, q + 1);
                std::string_view value;
                if (parse_value(q, value)) {
                    out.emplace_back(t_.substr(p, key_end - p), value);
                    p = q;
                    return true;
                }
            }
        }
        std::string_view value;
        if (parse_value(p, value)) {
            out.emplace_back(std::nullopt, value);
            return true;
        }
        report_.mark(p, "metric option");
        return false;
    }

    // Quoted text, bare word, or a number kept as text.
    bool parse_value(std::size_t& p, std::string_view& value) {
        std::size_t e = lx::quoted(t_, p);
        if (e != lx::no_match) {
            value = t_.substr(p + 1, e - p - 2);
            p = e;
            return true;
        }
        e = lx::identifier(t_, p);
        if (e == lx::no_match) e = lx::float_number(t_, p);
        if (e == lx::no_match) return false;
        value = t_.substr(p, e - p);
        p = e;
        return true;
    }

    std::string_view t_;
    ParseReport report_;
};

}  // namespace

util::Result<ComposedIdentifierRef> composed_identifier_with_options(std::string_view text) {
    return ComposedIdentifierParser(text).run();
}

std::string ComposedIdentifierRef::canonical_text() const {
    std::string out;
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i != 0) out += '.';
        out += components[i];
    }
    if (positional.empty() && named.empty()) return out;
    auto sorted = named;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    out += ":{";
    bool first = true;
    auto separate = [&] {
        if (!first) out += ", ";
        first = false;
    };
    for (std::string_view v : positional) {
        separate();
        out += '"';
        out += v;
        out += '"';
    }
    for (const auto& [key, value] : sorted) {
        separate();
        out += key;
        out += "=\"";
        out += value;
        out += '"';
    }
    out += '}';
    return out;
}

}  // namespace tarnel::grammar
