// MessagePack encoder and decoder. The decoder drives the library's
// event parser (which keeps its own explicit stack) and builds values itself,
// so that sizes are checked before anything is allocated for them.
#include <msgpack.hpp>

#include <cstring>

#include <fmt/format.h>

#include "tarnel/persist/codecs.hpp"
#include "tarnel/persist/utf8.hpp"

namespace tarnel::persist {
namespace {

class Builder : public msgpack::null_visitor {
public:
    Builder(std::size_t input_size, const util::Limits& limits) : input_size_(input_size), limits_(limits) {}

    bool visit_nil() { return emit(Value(Null{})); }
    bool visit_boolean(bool v) { return emit(Value(v)); }
    bool visit_positive_integer(std::uint64_t v) { return emit(Value(v)); }
    bool visit_negative_integer(std::int64_t v) { return emit(Value(v)); }
    bool visit_float32(float v) { return emit(Value(static_cast<double>(v))); }
    bool visit_float64(double v) { return emit(Value(v)); }
    bool visit_str(const char* v, std::uint32_t size) {
        if (!size_ok(size)) return false;
        std::string_view text(v == nullptr ? "" : v, v == nullptr ? 0 : size);
        // Text that is not UTF-8 is kept as bytes; string readers report it.
        if (utf8_error(text)) return emit(Value(bytes_of(v, size)));
        return emit(Value(std::string(text)));
    }
    bool visit_bin(const char* v, std::uint32_t size) {
        if (!size_ok(size)) return false;
        return emit(Value(bytes_of(v, size)));
    }
    bool visit_ext(const char*, std::uint32_t) { return stop("MessagePack extension types are not supported"); }
    bool start_array(std::uint32_t n) { return open(Value(Array{}), n, n); }
    bool end_array() { return close(); }
    bool start_map(std::uint32_t n) { return open(Value(Map{}), n, 2 * static_cast<std::uint64_t>(n)); }
    bool end_map() { return close(); }
    void parse_error(std::size_t, std::size_t error_offset) {
        stop(fmt::format("invalid MessagePack marker at offset {}", error_offset));
    }
    void insufficient_bytes(std::size_t, std::size_t) { stop("unexpected end of MessagePack data"); }

    util::Result<Value> result() {
        if (!error_.empty()) return util::fail(error_);
        if (!done_) return util::fail("unexpected end of MessagePack data");
        return std::move(root_);
    }
    bool failed() const { return !error_.empty(); }
    bool stop(std::string message) {
        if (error_.empty()) error_ = std::move(message);
        return false;
    }

private:
    struct Frame {
        Value node;
        Value key;
        bool have_key = false;
    };
    std::size_t input_size_;
    const util::Limits& limits_;
    std::vector<Frame> stack_;
    std::uint64_t claimed_ = 0;  // elements announced by all headers so far
    Value root_;
    bool done_ = false;
    std::string error_;

    static Bytes bytes_of(const char* v, std::uint32_t size) {
        Bytes b;
        if (v != nullptr) b.data.assign(v, v + size);
        return b;
    }

    bool size_ok(std::uint64_t size) {
        if (size > limits_.max_document_elements)
            return stop(fmt::format("length {} exceeds the limit of {}", size, limits_.max_document_elements));
        return true;
    }

    bool open(Value node, std::uint32_t n, std::uint64_t elements) {
        if (stack_.size() >= limits_.max_document_depth) return stop("recursion limit exceeded");
        if (!size_ok(n)) return false;
        // Every announced element takes at least one byte of input, so a header
        // cannot make us reserve more than the input could fill.
        claimed_ += elements;
        if (claimed_ > input_size_) return stop(fmt::format("length {} exceeds the remaining input", n));
        if (auto* a = node.get_if<Array>())
            a->reserve(n);
        else if (auto* m = node.get_if<Map>())
            m->reserve(n);
        stack_.push_back(Frame{std::move(node), Value(), false});
        return true;
    }

    bool close() {
        Value node = std::move(stack_.back().node);
        stack_.pop_back();
        return emit(std::move(node));
    }

    bool emit(Value v) {
        if (stack_.empty()) {
            root_ = std::move(v);
            done_ = true;
            return true;
        }
        Frame& f = stack_.back();
        if (auto* a = f.node.get_if<Array>()) {
            a->push_back(std::move(v));
        } else if (!f.have_key) {
            f.key = std::move(v);
            f.have_key = true;
        } else if (auto* m = f.node.get_if<Map>()) {
            m->emplace_back(std::move(f.key), std::move(v));
            f.key = Value();
            f.have_key = false;
        }
        return true;
    }
};

struct VectorStream {
    std::vector<std::uint8_t>& out;
    void write(const char* p, std::size_t n) {
        if (n == 0) return;
        const std::size_t old = out.size();
        out.resize(old + n);
        std::memcpy(out.data() + old, p, n);
    }
};

using Packer = msgpack::packer<VectorStream>;

util::Status pack(Packer& p, const Value& v, std::size_t depth);

util::Status pack_length(std::size_t n) {
    if (n > 0xFFFFFFFFu) return util::fail(fmt::format("length {} does not fit MessagePack", n));
    return {};
}

util::Status pack(Packer& p, const Value& v, std::size_t depth) {
    if ((v.is<Array>() || v.is<Map>()) && depth >= util::default_limits.max_document_depth)
        return util::fail("recursion limit exceeded");
    if (v.is<Null>()) {
        p.pack_nil();
    } else if (const auto* b = v.get_if<bool>()) {
        if (*b)
            p.pack_true();
        else
            p.pack_false();
    } else if (const auto* i = v.get_if<std::int64_t>()) {
        p.pack_int64(*i);
    } else if (const auto* u = v.get_if<std::uint64_t>()) {
        p.pack_uint64(*u);
    } else if (const auto* d = v.get_if<double>()) {
        p.pack_double(*d);
    } else if (const auto* s = v.get_if<std::string>()) {
        if (auto st = pack_length(s->size()); !st) return st;
        p.pack_str(static_cast<std::uint32_t>(s->size()));
        p.pack_str_body(s->data(), static_cast<std::uint32_t>(s->size()));
    } else if (const auto* bytes = v.get_if<Bytes>()) {
        if (auto st = pack_length(bytes->data.size()); !st) return st;
        const auto n = static_cast<std::uint32_t>(bytes->data.size());
        p.pack_bin(n);
        p.pack_bin_body(reinterpret_cast<const char*>(bytes->data.data()), n);
    } else if (const auto* arr = v.get_if<Array>()) {
        if (auto st = pack_length(arr->size()); !st) return st;
        p.pack_array(static_cast<std::uint32_t>(arr->size()));
        for (const auto& e : *arr)
            if (auto st = pack(p, e, depth + 1); !st) return st;
    } else if (const auto* map = v.get_if<Map>()) {
        if (auto st = pack_length(map->size()); !st) return st;
        p.pack_map(static_cast<std::uint32_t>(map->size()));
        for (const auto& [key, value] : *map) {
            if (auto st = pack(p, key, depth + 1); !st) return st;
            if (auto st = pack(p, value, depth + 1); !st) return st;
        }
    }
    return {};
}

}  // namespace

util::Result<std::vector<std::uint8_t>> to_msgpack(const Value& v) {
    std::vector<std::uint8_t> out;
    VectorStream stream{out};
    Packer p(stream);
    if (auto st = pack(p, v, 0); !st) return util::fail(std::move(st.error()));
    return out;
}

util::Result<Value> from_msgpack(std::span<const std::uint8_t> bytes, const util::Limits& limits) {
    Builder builder(bytes.size(), limits);
    std::size_t offset = 0;
    bool ok = false;
    try {
        ok = msgpack::parse(reinterpret_cast<const char*>(bytes.data()), bytes.size(), offset, builder);
    } catch (const std::exception& e) {
        builder.stop(fmt::format("invalid MessagePack data: {}", e.what()));
    }
    if (builder.failed() || !ok) return builder.result();
    if (offset < bytes.size()) return util::fail(fmt::format("trailing bytes after the MessagePack value at offset {}", offset));
    return builder.result();
}

}  // namespace tarnel::persist
