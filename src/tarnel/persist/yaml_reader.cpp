// YAML documents into the data model. Plain scalars are resolved by the
// YAML 1.2 core schema; quoted ones stay strings. The node graph is walked
// with an explicit stack: aliases may repeat (or even contain) a node, so the
// walk bounds both depth and the number of values it produces.
#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/yaml.h>

#include <charconv>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "tarnel/persist/codecs.hpp"
#include "tarnel/persist/utf8.hpp"

namespace tarnel::persist {
namespace {

bool all_of(std::string_view s, bool (*pred)(char)) {
    if (s.empty()) return false;
    for (char c : s)
        if (!pred(c)) return false;
    return true;
}
bool is_dec(char c) { return c >= '0' && c <= '9'; }
bool is_oct(char c) { return c >= '0' && c <= '7'; }
bool is_hex(char c) { return is_dec(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// [-+]?(\.[0-9]+|[0-9]+(\.[0-9]*)?)([eE][-+]?[0-9]+)?
bool is_float_text(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t int_digits = 0;
    while (i < s.size() && is_dec(s[i])) ++i, ++int_digits;
    std::size_t frac_digits = 0;
    bool point = false;
    if (i < s.size() && s[i] == '.') {
        point = true;
        ++i;
        while (i < s.size() && is_dec(s[i])) ++i, ++frac_digits;
    }
    if (int_digits == 0 && (!point || frac_digits == 0)) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t exp_digits = 0;
        while (i < s.size() && is_dec(s[i])) ++i, ++exp_digits;
        if (exp_digits == 0) return false;
    }
    return i == s.size();
}

std::optional<Value> integer(std::string_view digits, bool negative, int base) {
    std::uint64_t magnitude = 0;
    auto res = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (res.ec != std::errc{} || res.ptr != digits.data() + digits.size()) return std::nullopt;
    if (!negative) return Value(magnitude);
    constexpr auto min_magnitude = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1;
    if (magnitude > min_magnitude) return std::nullopt;
    if (magnitude == min_magnitude) return Value(std::numeric_limits<std::int64_t>::min());
    return Value(-static_cast<std::int64_t>(magnitude));
}

std::optional<Value> float_value(std::string_view s) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    double d = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), d);
    if (res.ptr != s.data() + s.size()) return std::nullopt;
    if (res.ec == std::errc::result_out_of_range) {
        // Overflow becomes an infinity, underflow zero.
        const bool negative = !s.empty() && s[0] == '-';
        const auto e = s.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && s.find('-', e) != std::string_view::npos;
        d = tiny ? (negative ? -0.0 : 0.0)
                 : (negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity());
    } else if (res.ec != std::errc{}) {
        return std::nullopt;
    }
    return Value(d);
}

Value resolve_plain(const std::string& s) {
    if (s.empty() || s == "~" || s == "null" || s == "Null" || s == "NULL") return Value(Null{});
    if (s == "true" || s == "True" || s == "TRUE") return Value(true);
    if (s == "false" || s == "False" || s == "FALSE") return Value(false);
    std::string_view v = s;
    if (v.size() > 2 && v.starts_with("0o") && all_of(v.substr(2), is_oct))
        if (auto i = integer(v.substr(2), false, 8)) return *i;
    if (v.size() > 2 && v.starts_with("0x") && all_of(v.substr(2), is_hex))
        if (auto i = integer(v.substr(2), false, 16)) return *i;
    {
        const bool negative = v[0] == '-';
        std::string_view digits = (v[0] == '-' || v[0] == '+') ? v.substr(1) : v;
        if (all_of(digits, is_dec)) {
            if (auto i = integer(digits, negative, 10)) return *i;
            // Too wide for 64 bits: still a number.
            if (auto f = float_value(v)) return *f;
        }
    }
    if (is_float_text(v))
        if (auto f = float_value(v)) return *f;
    std::string_view body = v;
    const bool negative = body[0] == '-';
    if (body[0] == '-' || body[0] == '+') body.remove_prefix(1);
    if (body == ".inf" || body == ".Inf" || body == ".INF")
        return Value(negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity());
    if (v == ".nan" || v == ".NaN" || v == ".NAN") return Value(std::numeric_limits<double>::quiet_NaN());
    return Value(s);
}

class YamlWalker {
public:
    explicit YamlWalker(const util::Limits& limits) : limits_(limits) {}
    util::Result<Value> walk(const YAML::Node& root);

private:
    struct Frame {
        YAML::Node node;
        YAML::const_iterator it;
        Value built;
        Value key;
        bool in_value = false;  // maps: the key of *it is done, its value is next
    };
    const util::Limits& limits_;
    std::size_t produced_ = 0;
    std::vector<Frame> stack_;

    util::Status count(std::size_t cost) {
        produced_ += cost;
        if (produced_ > limits_.max_document_elements) return util::fail("YAML document exceeds the element limit");
        return {};
    }
    util::Result<Value> scalar(const YAML::Node& n);
    // A finished value for the innermost frame, or the document when none.
    void deliver(Value v);
    // The next child node of the innermost frame, or none when it is complete.
    std::optional<YAML::Node> next_child();
    Value result_;
};

util::Result<Value> YamlWalker::scalar(const YAML::Node& n) {
    if (n.IsNull()) return Value(Null{});
    const std::string& text = n.Scalar();
    if (text.size() > limits_.max_document_elements) return util::fail("YAML scalar exceeds the size limit");
    if (auto bad = utf8_error(text)) return util::fail(std::move(*bad));
    if (auto st = count(text.size()); !st) return util::fail(std::move(st.error()));
    const std::string& tag = n.Tag();
    // "!" marks a quoted scalar.
    if (tag == "!" || tag == "tag:yaml.org,2002:str") return Value(text);
    return resolve_plain(text);
}

void YamlWalker::deliver(Value v) {
    if (stack_.empty()) {
        result_ = std::move(v);
        return;
    }
    Frame& f = stack_.back();
    if (auto* a = f.built.get_if<Array>()) {
        a->push_back(std::move(v));
    } else if (!f.in_value) {
        f.key = std::move(v);
        f.in_value = true;
    } else if (auto* m = f.built.get_if<Map>()) {
        m->emplace_back(std::move(f.key), std::move(v));
        f.key = Value();
        f.in_value = false;
        ++f.it;
    }
}

std::optional<YAML::Node> YamlWalker::next_child() {
    Frame& f = stack_.back();
    if (f.it == f.node.end()) return std::nullopt;
    if (f.built.is<Array>()) {
        YAML::Node child = *f.it;
        ++f.it;
        return child;
    }
    return f.in_value ? f.it->second : f.it->first;
}

util::Result<Value> YamlWalker::walk(const YAML::Node& root) {
    std::optional<YAML::Node> pending = root;
    for (;;) {
        if (pending) {
            const YAML::Node n = *pending;
            pending.reset();
            if (auto st = count(1); !st) return util::fail(std::move(st.error()));
            if (n.IsSequence() || n.IsMap()) {
                if (stack_.size() >= limits_.max_document_depth) return util::fail("recursion limit exceeded");
                stack_.push_back(Frame{n, n.begin(), n.IsSequence() ? Value(Array{}) : Value(Map{}), Value(), false});
            } else {
                auto v = scalar(n);
                if (!v) return util::fail(std::move(v.error()));
                deliver(std::move(*v));
            }
        }
        if (stack_.empty()) return std::move(result_);
        pending = next_child();
        if (!pending) {
            Value done = std::move(stack_.back().built);
            stack_.pop_back();
            deliver(std::move(done));
            if (stack_.empty()) return std::move(result_);
        }
    }
}

}  // namespace

util::Result<Value> from_yaml(std::string_view text, const util::Limits& limits) {
    try {
        const YAML::Node root = YAML::Load(std::string(text));
        return YamlWalker(limits).walk(root);
    } catch (const YAML::DeepRecursion&) {
        return util::fail("recursion limit exceeded");
    } catch (const YAML::Exception& e) {
        if (e.mark.is_null()) return util::fail(e.msg);
        return util::fail(fmt::format("{} at line {} column {}", e.msg, e.mark.line + 1, e.mark.column + 1));
    } catch (const std::exception& e) {
        return util::fail(fmt::format("invalid YAML document: {}", e.what()));
    }
}

}  // namespace tarnel::persist
