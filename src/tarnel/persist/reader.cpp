#include "tarnel/persist/reader.hpp"

#include <limits>

#include <fmt/format.h>

#include "tarnel/persist/float_text.hpp"
#include "tarnel/persist/utf8.hpp"

namespace tarnel::persist {
namespace {

// Quotes a string the way messages show it: "a\"b\n".
std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\0': out += "\\0"; break;
            default:
                if (u < 0x20 || u == 0x7F)
                    out += fmt::format("\\u{{{:x}}}", u);
                else
                    out += c;
        }
    }
    out += '"';
    return out;
}

// "struct Window with 2 elements" names the sequence form; a value of the
// wrong kind is reported against "struct Window".
std::string_view without_element_count(std::string_view expected) {
    const auto pos = expected.rfind(" with ");
    if (pos == std::string_view::npos) return expected;
    std::string_view tail = expected.substr(pos + 6);
    std::size_t digits = 0;
    while (digits < tail.size() && tail[digits] >= '0' && tail[digits] <= '9') ++digits;
    if (digits == 0) return expected;
    tail.remove_prefix(digits);
    if (tail == " elements" || tail == " element") return expected.substr(0, pos);
    return expected;
}

std::string bytes_as_text(const Bytes& b) {
    std::string s(b.data.begin(), b.data.end());
    if (!utf8_error(s)) return s;
    // Shown only in messages: replace what is not UTF-8.
    std::string out;
    for (unsigned char c : b.data) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else
            out += "\xEF\xBF\xBD";
    }
    return out;
}

// The text of a name given as a string or bytes; nullopt for other kinds.
std::optional<std::string> name_text(const Value& v) {
    if (const auto* s = v.get_if<std::string>()) return *s;
    if (const auto* b = v.get_if<Bytes>()) return bytes_as_text(*b);
    return std::nullopt;
}

std::optional<std::uint64_t> as_index(const Value& v) {
    if (const auto* u = v.get_if<std::uint64_t>()) return *u;
    if (const auto* i = v.get_if<std::int64_t>())
        if (*i >= 0) return static_cast<std::uint64_t>(*i);
    return std::nullopt;
}

std::optional<std::size_t> find_name(std::span<const std::string_view> names, std::string_view name) {
    for (std::size_t k = 0; k < names.size(); ++k)
        if (names[k] == name) return k;
    return std::nullopt;
}

// Resolves a variant given by name or index.
util::Result<std::size_t> variant_index(const Value& id, std::span<const std::string_view> variants) {
    if (auto name = name_text(id)) {
        if (auto k = find_name(variants, *name)) return *k;
        return util::fail(unknown_variant(id, *name, variants));
    }
    if (id.is<std::uint64_t>() || id.is<std::int64_t>()) {
        auto index = as_index(id);
        if (index && *index < variants.size()) return static_cast<std::size_t>(*index);
        return util::fail(invalid_value(id, fmt::format("variant index 0 <= i < {}", variants.size())));
    }
    return util::fail(invalid_type(id, "variant identifier"));
}

}  // namespace

std::string describe(const Value& v) {
    struct Visitor {
        std::string operator()(const Null&) const { return "unit value"; }
        std::string operator()(bool b) const { return fmt::format("boolean `{}`", b); }
        std::string operator()(std::int64_t i) const { return fmt::format("integer `{}`", i); }
        std::string operator()(std::uint64_t u) const { return fmt::format("integer `{}`", u); }
        std::string operator()(double d) const { return fmt::format("floating point `{}`", float_display(d)); }
        std::string operator()(const std::string& s) const { return "string " + quoted(s); }
        std::string operator()(const Bytes&) const { return "byte array"; }
        std::string operator()(const Array&) const { return "sequence"; }
        std::string operator()(const Map&) const { return "map"; }
    };
    return std::visit(Visitor{}, v.data);
}

util::Error read_error(const Value& at, std::string message) {
    if (at.line != 0) message += fmt::format(" at line {} column {}", at.line, at.column);
    return util::Error(std::move(message));
}

util::Error invalid_type(const Value& at, std::string_view expected) {
    return read_error(at, fmt::format("invalid type: {}, expected {}", describe(at), expected));
}

util::Error invalid_value(const Value& at, std::string_view expected) {
    return read_error(at, fmt::format("invalid value: {}, expected {}", describe(at), expected));
}

util::Error invalid_length(const Value& at, std::size_t length, std::string_view expected) {
    return read_error(at, fmt::format("invalid length {}, expected {}", length, expected));
}

util::Error missing_field(const Value& at, std::string_view field) {
    return read_error(at, fmt::format("missing field `{}`", field));
}

util::Error duplicate_field(const Value& at, std::string_view field) {
    return read_error(at, fmt::format("duplicate field `{}`", field));
}

util::Error unknown_variant(const Value& at, std::string_view variant, std::span<const std::string_view> expected) {
    std::string message = fmt::format("unknown variant `{}`, ", variant);
    if (expected.empty()) {
        message += "there are no variants";
    } else if (expected.size() == 1) {
        message += fmt::format("expected `{}`", expected[0]);
    } else if (expected.size() == 2) {
        message += fmt::format("expected `{}` or `{}`", expected[0], expected[1]);
    } else {
        message += "expected one of ";
        for (std::size_t k = 0; k < expected.size(); ++k) {
            if (k > 0) message += ", ";
            message += fmt::format("`{}`", expected[k]);
        }
    }
    return read_error(at, std::move(message));
}

util::Result<RecordReader> RecordReader::open(const Value& v, std::string_view expected,
                                              std::span<const std::string_view> fields) {
    RecordReader r;
    r.node_ = &v;
    r.fields_.assign(fields.begin(), fields.end());
    r.values_.assign(fields.size(), nullptr);
    if (const auto* arr = v.get_if<Array>()) {
        if (arr->size() != fields.size()) return util::fail(invalid_length(v, arr->size(), expected));
        for (std::size_t k = 0; k < fields.size(); ++k) r.values_[k] = &(*arr)[k];
        return r;
    }
    const auto* map = v.get_if<Map>();
    if (map == nullptr) return util::fail(invalid_type(v, without_element_count(expected)));
    for (const auto& [key, value] : *map) {
        std::optional<std::size_t> slot;
        if (auto name = name_text(key)) {
            slot = find_name(fields, *name);
        } else if (auto index = as_index(key)) {
            if (*index < fields.size()) slot = static_cast<std::size_t>(*index);
        } else {
            return util::fail(invalid_type(key, "field identifier"));
        }
        if (!slot) continue;
        if (r.values_[*slot] != nullptr) return util::fail(duplicate_field(key, fields[*slot]));
        r.values_[*slot] = &value;
    }
    return r;
}

util::Result<const Value*> RecordReader::required(std::string_view name) const {
    if (const Value* v = optional(name)) return v;
    return util::fail(missing_field(*node_, name));
}

const Value* RecordReader::optional(std::string_view name) const {
    for (std::size_t k = 0; k < fields_.size(); ++k)
        if (fields_[k] == name) return values_[k];
    return nullptr;
}

util::Result<EnumValue> read_enum(const Value& v, std::string_view enum_name,
                                  std::span<const std::string_view> variants) {
    if (const auto* map = v.get_if<Map>()) {
        if (map->size() != 1) return util::fail(invalid_length(v, map->size(), "map with a single key"));
        const auto& [key, payload] = map->front();
        auto index = variant_index(key, variants);
        if (!index) return util::fail(std::move(index.error()));
        return EnumValue{*index, &payload, &v};
    }
    if (v.is<std::string>() || v.is<Bytes>() || v.is<std::uint64_t>() || v.is<std::int64_t>()) {
        auto index = variant_index(v, variants);
        if (!index) return util::fail(std::move(index.error()));
        return EnumValue{*index, nullptr, &v};
    }
    return util::fail(invalid_type(v, fmt::format("enum {}", enum_name)));
}

util::Result<const Value*> require_payload(const EnumValue& e, std::string_view kind) {
    if (e.payload != nullptr) return e.payload;
    return util::fail(read_error(*e.node, fmt::format("invalid type: unit variant, expected {}", kind)));
}

util::Status require_unit(const EnumValue& e) {
    if (e.payload == nullptr || e.payload->is<Null>()) return {};
    return util::fail(invalid_type(*e.payload, "unit"));
}

util::Result<std::span<const Value>> read_tuple(const Value& v, std::size_t n, std::string_view expected) {
    const auto* arr = v.get_if<Array>();
    if (arr == nullptr) return util::fail(invalid_type(v, without_element_count(expected)));
    if (arr->size() != n) return util::fail(invalid_length(v, arr->size(), expected));
    return std::span<const Value>(*arr);
}

util::Result<std::string> read_string(const Value& v, std::string_view expected) {
    if (const auto* s = v.get_if<std::string>()) return *s;
    if (const auto* b = v.get_if<Bytes>()) {
        std::string s(b->data.begin(), b->data.end());
        if (auto bad = utf8_error(s)) return util::fail(read_error(v, std::move(*bad)));
        return s;
    }
    return util::fail(invalid_type(v, expected));
}

util::Result<std::uint64_t> read_u64(const Value& v, std::string_view expected) {
    if (const auto* u = v.get_if<std::uint64_t>()) return *u;
    if (const auto* i = v.get_if<std::int64_t>()) {
        if (*i >= 0) return static_cast<std::uint64_t>(*i);
        return util::fail(invalid_value(v, expected));
    }
    return util::fail(invalid_type(v, expected));
}

util::Result<std::int64_t> read_i64(const Value& v, std::string_view expected) {
    if (const auto* i = v.get_if<std::int64_t>()) return *i;
    if (const auto* u = v.get_if<std::uint64_t>()) {
        if (*u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(*u);
        return util::fail(invalid_value(v, expected));
    }
    return util::fail(invalid_type(v, expected));
}

util::Result<bool> read_bool(const Value& v, std::string_view expected) {
    if (const auto* b = v.get_if<bool>()) return *b;
    return util::fail(invalid_type(v, expected));
}

util::Result<std::span<const Value>> read_array(const Value& v, std::string_view expected) {
    if (const auto* a = v.get_if<Array>()) return std::span<const Value>(*a);
    return util::fail(invalid_type(v, expected));
}

util::Result<const Map*> read_map(const Value& v, std::string_view expected) {
    if (const auto* m = v.get_if<Map>()) return m;
    return util::fail(invalid_type(v, expected));
}

}  // namespace tarnel::persist
