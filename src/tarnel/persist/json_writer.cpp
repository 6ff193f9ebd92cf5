// Compact JSON encoder.
#include <cmath>

#include <fmt/format.h>

#include "tarnel/persist/codecs.hpp"
#include "tarnel/persist/float_text.hpp"
#include "tarnel/persist/utf8.hpp"

namespace tarnel::persist {
namespace {

class JsonWriter {
public:
    util::Status write(const Value& v, std::size_t depth);
    std::string out;

private:
    util::Status string(const std::string& s);
};

util::Status JsonWriter::string(const std::string& s) {
    if (auto bad = utf8_error(s)) return util::fail(std::move(*bad));
    out += '"';
    for (char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20)
                    out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
                else
                    out += c;
        }
    }
    out += '"';
    return {};
}

util::Status JsonWriter::write(const Value& v, std::size_t depth) {
    // `depth` counts the enclosing containers, as the decoders do.
    if ((v.is<Array>() || v.is<Map>()) && depth >= util::default_limits.max_document_depth)
        return util::fail("recursion limit exceeded");
    if (v.is<Null>()) {
        out += "null";
    } else if (const auto* b = v.get_if<bool>()) {
        out += *b ? "true" : "false";
    } else if (const auto* i = v.get_if<std::int64_t>()) {
        out += fmt::format("{}", *i);
    } else if (const auto* u = v.get_if<std::uint64_t>()) {
        out += fmt::format("{}", *u);
    } else if (const auto* d = v.get_if<double>()) {
        // JSON has no NaN or infinities.
        out += std::isfinite(*d) ? float_json(*d) : "null";
    } else if (const auto* s = v.get_if<std::string>()) {
        return string(*s);
    } else if (const auto* bytes = v.get_if<Bytes>()) {
        out += '[';
        for (std::size_t k = 0; k < bytes->data.size(); ++k) {
            if (k > 0) out += ',';
            out += fmt::format("{}", bytes->data[k]);
        }
        out += ']';
    } else if (const auto* arr = v.get_if<Array>()) {
        out += '[';
        for (std::size_t k = 0; k < arr->size(); ++k) {
            if (k > 0) out += ',';
            if (auto st = write((*arr)[k], depth + 1); !st) return st;
        }
        out += ']';
    } else if (const auto* map = v.get_if<Map>()) {
        out += '{';
        for (std::size_t k = 0; k < map->size(); ++k) {
            if (k > 0) out += ',';
            const auto& [key, value] = (*map)[k];
            const auto* text = key.get_if<std::string>();
            if (text == nullptr) return util::fail("key must be a string");
            if (auto st = string(*text); !st) return st;
            out += ':';
            if (auto st = write(value, depth + 1); !st) return st;
        }
        out += '}';
    }
    return {};
}

}  // namespace

util::Result<std::string> to_json(const Value& v) {
    JsonWriter w;
    if (auto st = w.write(v, 0); !st) return util::fail(std::move(st.error()));
    return std::move(w.out);
}

}  // namespace tarnel::persist
