// JSON decoder. Iterative (an explicit stack of open containers), so the
// depth bound rather than the thread's stack limits nesting. Every node
// records the line and column of its last character.
#include <charconv>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "tarnel/persist/codecs.hpp"
#include "tarnel/persist/utf8.hpp"

namespace tarnel::persist {
namespace {

class JsonReader {
public:
    JsonReader(std::string_view text, const util::Limits& limits) : s_(text), limits_(limits) {}

    util::Result<Value> document();

private:
    struct Frame {
        Value node;  // Array or Map under construction
        Value key;   // pending key of a map
    };

    std::string_view s_;
    const util::Limits& limits_;
    std::size_t i_ = 0;
    std::uint32_t line_ = 1;
    std::size_t line_start_ = 0;
    std::vector<Frame> stack_;

    bool eof() const { return i_ >= s_.size(); }
    char peek() const { return s_[i_]; }
    void advance() { ++i_; }

    void skip_ws() {
        while (!eof()) {
            const char c = peek();
            if (c == '\n') {
                ++i_;
                if (line_ < std::numeric_limits<std::uint32_t>::max()) ++line_;
                line_start_ = i_;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++i_;
            } else {
                break;
            }
        }
    }

    std::uint32_t column_after(std::size_t index) const {
        const std::size_t c = index - line_start_;
        return c > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                             : static_cast<std::uint32_t>(c);
    }
    // Error at the character about to be read (or at the end of input).
    util::Error error_here(std::string_view what) const {
        const std::size_t end = eof() ? i_ : i_ + 1;
        return util::Error(fmt::format("{} at line {} column {}", what, line_, column_after(end)));
    }
    // Error at the last character read.
    util::Error error_last(std::string_view what) const {
        return util::Error(fmt::format("{} at line {} column {}", what, line_, column_after(i_)));
    }
    // Marks `v` as ending at the last character read.
    Value ended(Value v) const {
        v.line = line_;
        v.column = column_after(i_);
        return v;
    }

    util::Result<Value> scalar();
    util::Result<Value> literal(std::string_view word, Value v);
    util::Result<Value> number();
    util::Result<Value> string();
    util::Status read_hex4(std::uint32_t& out);
    util::Status key();
    util::Status open(char bracket);
    Value close();
    util::Result<bool> deliver(Value& v);
};

util::Result<Value> JsonReader::literal(std::string_view word, Value v) {
    for (char expected : word) {
        if (eof()) return util::fail(error_here("EOF while parsing a value"));
        if (peek() != expected) return util::fail(error_here("expected ident"));
        advance();
    }
    return ended(std::move(v));
}

util::Result<Value> JsonReader::number() {
    const std::size_t start = i_;
    bool negative = false;
    if (peek() == '-') {
        negative = true;
        advance();
    }
    auto digit = [this] { return !eof() && peek() >= '0' && peek() <= '9'; };
    auto need_digit = [&]() -> util::Status {
        if (eof()) return util::fail(error_here("EOF while parsing a value"));
        if (!digit()) return util::fail(error_here("invalid number"));
        return {};
    };
    if (auto st = need_digit(); !st) return util::fail(st.error());
    std::size_t int_digits = 0;  // significant digits before the point
    if (peek() == '0') {
        advance();
        if (digit()) return util::fail(error_here("invalid number"));
    } else {
        while (digit()) {
            advance();
            ++int_digits;
        }
    }
    bool is_float = false;
    std::size_t leading_frac_zeros = 0;
    bool frac_nonzero_seen = false;
    if (!eof() && peek() == '.') {
        is_float = true;
        advance();
        if (auto st = need_digit(); !st) return util::fail(st.error());
        while (digit()) {
            if (peek() != '0') frac_nonzero_seen = true;
            if (!frac_nonzero_seen) ++leading_frac_zeros;
            advance();
        }
    }
    long long exponent = 0;
    if (!eof() && (peek() == 'e' || peek() == 'E')) {
        is_float = true;
        advance();
        bool exp_negative = false;
        if (!eof() && (peek() == '+' || peek() == '-')) {
            exp_negative = peek() == '-';
            advance();
        }
        if (auto st = need_digit(); !st) return util::fail(st.error());
        while (digit()) {
            if (exponent < 1'000'000'000) exponent = exponent * 10 + (peek() - '0');
            advance();
        }
        if (exp_negative) exponent = -exponent;
    }
    const char* first = s_.data() + start;
    const char* last = s_.data() + i_;
    if (!is_float) {
        if (negative) {
            std::int64_t v = 0;
            if (std::from_chars(first, last, v).ec == std::errc{}) return ended(Value(v));
        } else {
            std::uint64_t v = 0;
            if (std::from_chars(first, last, v).ec == std::errc{}) return ended(Value(v));
        }
    }
    // Integers beyond 64 bits are read as doubles too.
    double d = 0;
    auto res = std::from_chars(first, last, d);
    if (res.ec == std::errc::result_out_of_range) {
        const long long magnitude =
            int_digits > 0 ? exponent + static_cast<long long>(int_digits) : exponent - static_cast<long long>(leading_frac_zeros);
        if (magnitude > 0) return util::fail(error_last("number out of range"));
        d = negative ? -0.0 : 0.0;
    } else if (res.ec != std::errc{}) {
        return util::fail(error_last("invalid number"));
    }
    if (!std::isfinite(d)) return util::fail(error_last("number out of range"));
    return ended(Value(d));
}

util::Status JsonReader::read_hex4(std::uint32_t& out) {
    out = 0;
    for (int k = 0; k < 4; ++k) {
        if (eof()) return util::fail(error_here("EOF while parsing a string"));
        const char c = peek();
        std::uint32_t d = 0;
        if (c >= '0' && c <= '9')
            d = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return util::fail(error_here("invalid escape"));
        out = out * 16 + d;
        advance();
    }
    return {};
}

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

util::Result<Value> JsonReader::string() {
    advance();  // opening quote
    std::string out;
    for (;;) {
        // Copy the run of plain characters in one go.
        const std::size_t run = i_;
        while (!eof() && peek() != '"' && peek() != '\\' && static_cast<unsigned char>(peek()) >= 0x20) advance();
        if (i_ > run) {
            std::string_view chunk = s_.substr(run, i_ - run);
            if (utf8_error(chunk)) return util::fail(error_last("invalid unicode code point"));
            out.append(chunk);
        }
        if (out.size() > limits_.max_document_elements) return util::fail(error_last("string exceeds the size limit"));
        if (eof()) return util::fail(error_here("EOF while parsing a string"));
        const char c = peek();
        if (c == '"') {
            advance();
            return ended(Value(std::move(out)));
        }
        if (c != '\\') return util::fail(error_here("control character (\\u0000-\\u001F) found while parsing a string"));
        advance();
        if (eof()) return util::fail(error_here("EOF while parsing a string"));
        const char e = peek();
        advance();
        switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                std::uint32_t cp = 0;
                if (auto st = read_hex4(cp); !st) return util::fail(st.error());
                if (cp >= 0xDC00 && cp <= 0xDFFF) return util::fail(error_last("lone leading surrogate in hex escape"));
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (eof()) return util::fail(error_here("EOF while parsing a string"));
                    if (peek() != '\\') return util::fail(error_here("unexpected end of hex escape"));
                    advance();
                    if (eof()) return util::fail(error_here("EOF while parsing a string"));
                    if (peek() != 'u') return util::fail(error_here("unexpected end of hex escape"));
                    advance();
                    std::uint32_t low = 0;
                    if (auto st = read_hex4(low); !st) return util::fail(st.error());
                    if (low < 0xDC00 || low > 0xDFFF) return util::fail(error_last("lone leading surrogate in hex escape"));
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                append_utf8(out, cp);
                break;
            }
            default:
                return util::fail(error_last("invalid escape"));
        }
    }
}

util::Result<Value> JsonReader::scalar() {
    const char c = peek();
    switch (c) {
        case '"': return string();
        case 't': return literal("true", Value(true));
        case 'f': return literal("false", Value(false));
        case 'n': return literal("null", Value(Null{}));
        default:
            if (c == '-' || (c >= '0' && c <= '9')) return number();
            return util::fail(error_here("expected value"));
    }
}

// Reads a map key and the colon after it.
util::Status JsonReader::key() {
    if (eof()) return util::fail(error_here("EOF while parsing an object"));
    if (peek() != '"') return util::fail(error_here("key must be a string"));
    auto k = string();
    if (!k) return util::fail(std::move(k.error()));
    stack_.back().key = std::move(*k);
    skip_ws();
    if (eof()) return util::fail(error_here("EOF while parsing an object"));
    if (peek() != ':') return util::fail(error_here("expected `:`"));
    advance();
    return {};
}

util::Status JsonReader::open(char bracket) {
    if (stack_.size() >= limits_.max_document_depth) return util::fail(error_here("recursion limit exceeded"));
    advance();
    stack_.push_back(Frame{bracket == '[' ? Value(Array{}) : Value(Map{}), Value()});
    return {};
}

Value JsonReader::close() {
    advance();  // closing bracket
    Value node = std::move(stack_.back().node);
    stack_.pop_back();
    return ended(std::move(node));
}

// Adds a finished value to the innermost container and reads what follows it.
// True when another value is expected next; false when `v` now holds the
// finished container one level up.
util::Result<bool> JsonReader::deliver(Value& v) {
    Frame& f = stack_.back();
    std::size_t count = 0;
    if (auto* arr = f.node.get_if<Array>()) {
        arr->push_back(std::move(v));
        count = arr->size();
    } else if (auto* map = f.node.get_if<Map>()) {
        map->emplace_back(std::move(f.key), std::move(v));
        count = map->size();
    }
    if (count > limits_.max_document_elements) return util::fail(error_last("container exceeds the element limit"));
    const bool is_array = f.node.is<Array>();
    skip_ws();
    if (eof()) return util::fail(error_here(is_array ? "EOF while parsing a list" : "EOF while parsing an object"));
    const char c = peek();
    if (c == ',') {
        advance();
        skip_ws();
        if (!eof() && peek() == (is_array ? ']' : '}')) return util::fail(error_here("trailing comma"));
        if (!is_array) {
            if (auto st = key(); !st) return util::fail(st.error());
        }
        return true;
    }
    if (c == (is_array ? ']' : '}')) {
        v = close();
        return false;
    }
    return util::fail(error_here(is_array ? "expected `,` or `]`" : "expected `,` or `}`"));
}

util::Result<Value> JsonReader::document() {
    for (;;) {
        // A value starts here.
        skip_ws();
        if (eof()) return util::fail(error_here("EOF while parsing a value"));
        Value v;
        const char c = peek();
        if (c == '[' || c == '{') {
            if (auto st = open(c); !st) return util::fail(st.error());
            skip_ws();
            const char closing = c == '[' ? ']' : '}';
            if (eof()) return util::fail(error_here(c == '[' ? "EOF while parsing a list" : "EOF while parsing an object"));
            if (peek() != closing) {
                if (c == '{') {
                    if (auto st = key(); !st) return util::fail(st.error());
                }
                continue;
            }
            v = close();
        } else {
            auto sc = scalar();
            if (!sc) return util::fail(std::move(sc.error()));
            v = std::move(*sc);
        }
        // Finished values travel up until a container wants another one.
        for (;;) {
            if (stack_.empty()) {
                skip_ws();
                if (!eof()) return util::fail(error_here("trailing characters"));
                return v;
            }
            auto more = deliver(v);
            if (!more) return util::fail(std::move(more.error()));
            if (*more) break;
        }
    }
}

}  // namespace

util::Result<Value> from_json(std::string_view text, const util::Limits& limits) {
    return JsonReader(text, limits).document();
}

}  // namespace tarnel::persist
