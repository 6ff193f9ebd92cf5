#include "tarnel/binding/compile.hpp"

#include "tarnel/binding/check_and_promote.hpp"
#include "tarnel/binding/expected_data.hpp"
#include "tarnel/grammar/parser.hpp"

namespace tarnel::binding {

namespace {

BindingScope scope_of(const parameters::SealedParameters& sealed) {
    return {sealed.custom_functions(), sealed.registry()};
}

util::Result<std::map<std::string, bool>> keys_of(const std::vector<CollectedField>& collected,
                                                  const parameters::SealedParameters& sealed) {
    return binding::expected_data(collected,
                                  [&](const fields::SimulationField& f) { return sealed.stringify_identifier(f); });
}

}  // namespace

util::Result<grammar::Expression> compile_expression(std::string_view text, const parameters::SealedParameters& sealed,
                                                     const util::Limits& limits) {
    auto tree = grammar::parse_expression(text, limits);
    if (!tree) return util::fail(std::move(tree.error()));
    if (auto s = bind_expression(*tree, scope_of(sealed), limits); !s) return util::fail(std::move(s.error()));
    return grammar::Expression{std::move(*tree), sealed.signature().value};
}

util::Result<grammar::Condition> compile_condition(std::string_view text, const parameters::SealedParameters& sealed,
                                                   const util::Limits& limits) {
    auto tree = grammar::parse_condition(text, limits);
    if (!tree) return util::fail(std::move(tree.error()));
    if (auto s = bind_condition(*tree, scope_of(sealed), limits); !s) return util::fail(std::move(s.error()));
    return grammar::Condition{std::move(*tree), sealed.signature().value};
}

util::Status check_signature(std::uint64_t program_signature, const parameters::SealedParameters& sealed) {
    if (program_signature == sealed.signature().value) return {};
    return util::fail("Invalid parameter signature; parameters could be corrupted");
}

std::vector<CollectedField> collect_fields(const grammar::Expression& program,
                                           const parameters::SealedParameters& sealed) {
    return collect_simulator_fields(program.tree, sealed.custom_functions());
}

std::vector<CollectedField> collect_fields(const grammar::Condition& program,
                                           const parameters::SealedParameters& sealed) {
    return collect_simulator_fields(program.tree, sealed.custom_functions());
}

util::Result<std::map<std::string, bool>> expected_data(const grammar::Expression& program,
                                                        const parameters::SealedParameters& sealed) {
    return keys_of(collect_fields(program, sealed), sealed);
}

util::Result<std::map<std::string, bool>> expected_data(const grammar::Condition& program,
                                                        const parameters::SealedParameters& sealed) {
    return keys_of(collect_fields(program, sealed), sealed);
}

std::vector<std::string> expected_time_range(const grammar::Expression& program,
                                             const parameters::SealedParameters& sealed) {
    return expected_time_range(collect_fields(program, sealed));
}

std::vector<std::string> expected_time_range(const grammar::Condition& program,
                                             const parameters::SealedParameters& sealed) {
    return expected_time_range(collect_fields(program, sealed));
}

}  // namespace tarnel::binding
