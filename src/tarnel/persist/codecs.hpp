#pragma once
// Encodings of the data model. Decoders treat input as untrusted: nesting
// depth and sizes are bounded by util::Limits, and nothing can crash.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/limits.hpp"

namespace tarnel::persist {

// Compact JSON (no spaces); unsigned integers written in full.
util::Result<std::string> to_json(const Value& v);
// Every node records the line and column of its last character.
util::Result<Value> from_json(std::string_view text, const util::Limits& limits = util::default_limits);

// Shortest integer and string forms.
util::Result<std::vector<std::uint8_t>> to_msgpack(const Value& v);
util::Result<Value> from_msgpack(std::span<const std::uint8_t> bytes, const util::Limits& limits = util::default_limits);

// One YAML document, scalars resolved by the YAML 1.2 core schema.
util::Result<Value> from_yaml(std::string_view text, const util::Limits& limits = util::default_limits);

}  // namespace tarnel::persist
