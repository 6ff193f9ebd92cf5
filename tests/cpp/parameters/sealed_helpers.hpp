#pragma once
// Building blocks of the sealed-parameter tests: parameters with protocols
// and functions, fields resolved the way binding resolves them.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "tarnel/fields/simulation_field.hpp"
#include "tarnel/grammar/composed_identifier.hpp"
#include "tarnel/grammar/parser.hpp"
#include "tarnel/parameters/parameters.hpp"
#include "tarnel/timeseries/instant.hpp"

namespace tarnel::parameters::testing {

inline timeseries::Instant instant(std::string_view rfc3339) {
    auto t = timeseries::parse_rfc3339(rfc3339);
    EXPECT_TRUE(t.has_value()) << rfc3339;
    return t ? *t : timeseries::Instant();
}

// Stores a parsed function directly: the body keeps its unchecked
// identifiers, which makes no difference to sealing and persistence.
inline void define(Parameters& p, std::string_view text) {
    auto f = grammar::parse_function(text);
    ASSERT_TRUE(f.has_value()) << text << ": " << f.error().message;
    p.custom_functions().insert_or_assign(f->name, CustomFunction{f->name, f->args, f->statements});
}

// The field of an identifier, dispatched by its number of components.
inline std::optional<fields::SimulationField> resolve(const Parameters& p, std::string_view text) {
    auto id = grammar::composed_identifier_with_options(text);
    if (!id) return std::nullopt;
    const auto& reg = p.registry();
    const auto& c = id->components;
    if (c.size() == 1) {
        auto f = reg.base_parser().parse(c[0], *id);
        if (!f) return std::nullopt;
        return fields::SimulationField(fields::BaseField{*f});
    }
    auto lookup = reg.protocol(c[c.size() - 2]);
    if (!lookup) return std::nullopt;
    const fields::FieldParser& parser = c.size() == 2 ? *lookup->entry->protocol : *lookup->entry->agent;
    auto f = parser.parse(c.back(), *id);
    if (!f) return std::nullopt;
    if (c.size() == 2) return fields::SimulationField(fields::ProtocolField{*f, *lookup->name});
    auto agent = names::Identifier::parse(c[0]);
    if (!agent) return std::nullopt;
    return fields::SimulationField(fields::AgentProtocolField{*f, *lookup->name, *agent});
}

}  // namespace tarnel::parameters::testing
