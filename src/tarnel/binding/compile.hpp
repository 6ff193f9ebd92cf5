#pragma once
// Compiling program text against sealed parameters, and what a compiled
// program needs from them afterwards.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/binding/collect_simulator_fields.hpp"
#include "tarnel/grammar/condition.hpp"
#include "tarnel/grammar/expression.hpp"
#include "tarnel/parameters/sealed_parameters.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/limits.hpp"

namespace tarnel::binding {

// Parse, then bind with no locals; the result records the parameters'
// signature. A parse or binding error is returned as it is.
util::Result<grammar::Expression> compile_expression(std::string_view text, const parameters::SealedParameters& sealed,
                                                     const util::Limits& limits = util::default_limits);
util::Result<grammar::Condition> compile_condition(std::string_view text, const parameters::SealedParameters& sealed,
                                                   const util::Limits& limits = util::default_limits);

// "Invalid parameter signature; parameters could be corrupted" unless the
// program was compiled against parameters of this signature.
util::Status check_signature(std::uint64_t program_signature, const parameters::SealedParameters& sealed);

// The fields a program reads, through the custom functions of `sealed`.
[[nodiscard]] std::vector<CollectedField> collect_fields(const grammar::Expression& program,
                                                         const parameters::SealedParameters& sealed);
[[nodiscard]] std::vector<CollectedField> collect_fields(const grammar::Condition& program,
                                                         const parameters::SealedParameters& sealed);

// Data key to true for a series, false for an instant value.
util::Result<std::map<std::string, bool>> expected_data(const grammar::Expression& program,
                                                        const parameters::SealedParameters& sealed);
util::Result<std::map<std::string, bool>> expected_data(const grammar::Condition& program,
                                                        const parameters::SealedParameters& sealed);
// One window text per aggregated field.
[[nodiscard]] std::vector<std::string> expected_time_range(const grammar::Expression& program,
                                                           const parameters::SealedParameters& sealed);
[[nodiscard]] std::vector<std::string> expected_time_range(const grammar::Condition& program,
                                                           const parameters::SealedParameters& sealed);

}  // namespace tarnel::binding
