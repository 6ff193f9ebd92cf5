#pragma once
// The one data model every persisted structure is written against. JSON and
// MessagePack codecs encode it; YAML documents are read into it.
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tarnel::persist {

struct Value;
struct Bytes {
    std::vector<std::uint8_t> data;
    bool operator==(const Bytes&) const = default;
};
using Array = std::vector<Value>;
// Maps keep their entries in written order; keys may be of any kind.
using Map = std::vector<std::pair<Value, Value>>;

struct Null {
    bool operator==(const Null&) const = default;
};

struct Value {
    using Storage = std::variant<Null, bool, std::int64_t, std::uint64_t, double, std::string, Bytes, Array, Map>;
    Storage data;
    // Line and column (1-based) of the node's last character when read from
    // JSON; 0 when unknown. Not part of equality.
    std::uint32_t line = 0;
    std::uint32_t column = 0;

    Value() = default;
    // Copies, moves and comparisons recurse; destruction does not, so that a
    // value at the decoders' depth bound can always be released.
    Value(const Value&) = default;
    Value(Value&&) noexcept = default;
    Value& operator=(const Value&) = default;
    Value& operator=(Value&&) noexcept = default;
    ~Value();
    Value(Null) {}                                   // NOLINT
    Value(bool b) : data(b) {}                       // NOLINT
    Value(std::int64_t i) : data(i) {}               // NOLINT
    Value(std::uint64_t u) : data(u) {}              // NOLINT
    Value(int i) : data(static_cast<std::int64_t>(i)) {}  // NOLINT
    Value(double d) : data(d) {}                     // NOLINT
    Value(std::string s) : data(std::move(s)) {}     // NOLINT
    Value(const char* s) : data(std::string(s)) {}   // NOLINT
    Value(Bytes b) : data(std::move(b)) {}           // NOLINT
    Value(Array a) : data(std::move(a)) {}           // NOLINT
    Value(Map m) : data(std::move(m)) {}             // NOLINT

    template <class T>
    [[nodiscard]] bool is() const { return std::holds_alternative<T>(data); }
    template <class T>
    [[nodiscard]] const T* get_if() const { return std::get_if<T>(&data); }
    template <class T>
    [[nodiscard]] T* get_if() { return std::get_if<T>(&data); }

    // Integers compare by value whichever width holds them (codecs store
    // non-negative integers as unsigned).
    bool operator==(const Value& o) const;
};

}  // namespace tarnel::persist
