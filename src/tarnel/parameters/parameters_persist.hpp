#pragma once
// Persisted forms of parameters: records as maps of their fields in
// declaration order (arrays accepted on reading), the start date as RFC 3339
// text in UTC, custom function bodies as persisted statements, the registry
// in its own form. The Python holder of sealed parameters is written as
// {"internal": null | sealed} in JSON and as nil | sealed in MessagePack.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/parameters/custom_function.hpp"
#include "tarnel/parameters/parameters.hpp"
#include "tarnel/parameters/sealed_parameters.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/limits.hpp"

namespace tarnel::parameters {

[[nodiscard]] persist::Value to_persisted(const CustomFunction& f);
[[nodiscard]] persist::Value to_persisted(const Parameters& p);
// {"internal": parameters, "signature": the digest as an unsigned integer}
[[nodiscard]] persist::Value to_persisted(const SealedParameters& s);

// Unknown keys are skipped, missing and repeated ones are errors; bodies are
// bounded by limits.max_tree_depth. The signature is taken as stored.
util::Result<CustomFunction> custom_function_from_persisted(const persist::Value& v,
                                                            const util::Limits& limits = util::default_limits);
util::Result<Parameters> parameters_from_persisted(const persist::Value& v,
                                                   const util::Limits& limits = util::default_limits);
util::Result<SealedParameters> sealed_from_persisted(const persist::Value& v,
                                                     const util::Limits& limits = util::default_limits);

// Compact JSON of the holder; "start_date" with a 0, 3, 6 or 9 digit fraction.
util::Result<std::string> sealed_to_json(const std::optional<SealedParameters>& holder);
// {} and {"internal": null} are an uninitialised holder; any UTC offset of
// the start date is converted to UTC.
util::Result<std::optional<SealedParameters>> sealed_from_json(std::string_view text,
                                                               const util::Limits& limits = util::default_limits);

// Nil for the uninitialised holder, otherwise the sealed record itself.
util::Result<std::vector<std::uint8_t>> sealed_to_msgpack(const std::optional<SealedParameters>& holder);
util::Result<std::optional<SealedParameters>> sealed_from_msgpack(std::span<const std::uint8_t> bytes,
                                                                  const util::Limits& limits = util::default_limits);

}  // namespace tarnel::parameters
