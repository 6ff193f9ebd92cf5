#pragma once
// Helpers that every persisted type's reader uses, so that all read errors
// share one wording:
//   missing field `end`
//   duplicate field `tree`
//   unknown variant `Foo`, expected one of `Literal`, `Identifier`
//   invalid length 1, expected struct Window with 2 elements
//   invalid type: boolean `true`, expected a string
//   invalid value: string "x", expected a Decimal type representing a fixed-point number
//   variant index 0 <= i < 9
// A node read from JSON carries its position; errors raised at that node end
// with " at line L column C".
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::persist {

// "boolean `true`", "integer `5`", "floating point `1.5`", "string \"x\"",
// "byte array", "unit value", "sequence", "map".
std::string describe(const Value& v);

// An error about node `at` (position appended when the node has one).
util::Error read_error(const Value& at, std::string message);
util::Error invalid_type(const Value& at, std::string_view expected);
util::Error invalid_value(const Value& at, std::string_view expected);
util::Error invalid_length(const Value& at, std::size_t length, std::string_view expected);
util::Error missing_field(const Value& at, std::string_view field);
util::Error duplicate_field(const Value& at, std::string_view field);
util::Error unknown_variant(const Value& at, std::string_view variant, std::span<const std::string_view> expected);

// A record: a map keyed by field name (unknown keys skipped, duplicates an
// error; in MessagePack a key may also be the field's index) or an array of
// the field values in order (another count: invalid length naming `expected`,
// e.g. "struct Window with 2 elements"). `v` and the field names must outlive
// the reader.
class RecordReader {
public:
    static util::Result<RecordReader> open(const Value& v, std::string_view expected,
                                           std::span<const std::string_view> fields);
    // The field's value, or "missing field `name`".
    util::Result<const Value*> required(std::string_view name) const;
    // The field's value or nullptr when absent.
    const Value* optional(std::string_view name) const;

private:
    const Value* node_ = nullptr;
    std::vector<std::string_view> fields_;
    std::vector<const Value*> values_;  // parallel to fields_
};

// An externally tagged enumeration value: a bare variant name (string, or
// bytes; in MessagePack also an integer index) or a one-entry map from the
// name/index to the payload. `payload` is nullptr for a bare name.
struct EnumValue {
    std::size_t index;
    const Value* payload;
    const Value* node;
};
// `enum_name` is the type name: a value of the wrong kind reads "invalid
// type: ..., expected enum NumExpr".
util::Result<EnumValue> read_enum(const Value& v, std::string_view enum_name, std::span<const std::string_view> variants);
// The payload of a variant that needs one; a bare name fails with "invalid
// type: unit variant, expected newtype variant" (or `kind`, e.g. "tuple variant").
util::Result<const Value*> require_payload(const EnumValue& e, std::string_view kind = "newtype variant");
// A variant without payload: a bare name, or a map to null.
util::Status require_unit(const EnumValue& e);

// A tuple payload of exactly `n` elements (another count: invalid length
// naming `expected`, e.g. "tuple variant NumExpr::Add with 2 elements"; not a
// sequence: invalid type naming the expectation without " with n elements").
util::Result<std::span<const Value>> read_tuple(const Value& v, std::size_t n, std::string_view expected);

util::Result<std::string> read_string(const Value& v, std::string_view expected = "a string");
util::Result<std::uint64_t> read_u64(const Value& v, std::string_view expected = "u64");
util::Result<std::int64_t> read_i64(const Value& v, std::string_view expected = "i64");
util::Result<bool> read_bool(const Value& v, std::string_view expected = "a boolean");
util::Result<std::span<const Value>> read_array(const Value& v, std::string_view expected = "a sequence");
util::Result<const Map*> read_map(const Value& v, std::string_view expected = "a map");

}  // namespace tarnel::persist
