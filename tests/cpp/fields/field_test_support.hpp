#pragma once
// Shared by the field tests: composed identifiers from text, and the dispatch
// binding performs (by number of components) over a registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "tarnel/fields/registry.hpp"
#include "tarnel/fields/simulation_field.hpp"
#include "tarnel/grammar/composed_identifier.hpp"

namespace fields_test {

// `text` must outlive the result (string literals do).
inline tarnel::grammar::ComposedIdentifierRef composed(std::string_view text) {
    auto r = tarnel::grammar::composed_identifier_with_options(text);
    EXPECT_TRUE(r.has_value()) << text << ": " << r.error().message;
    return r ? *r : tarnel::grammar::ComposedIdentifierRef{};
}

inline tarnel::util::Result<tarnel::fields::SimulationField> resolve(const tarnel::fields::SimulatorRegistry& registry,
                                                                    std::string_view text) {
    using namespace tarnel;
    const auto id = composed(text);
    const auto& c = id.components;
    if (c.size() == 1) {
        auto f = registry.base_parser().parse(c[0], id);
        if (!f) return util::fail(f.error());
        return fields::SimulationField(fields::BaseField{*f});
    }
    if (c.size() == 2 || c.size() == 3) {
        const bool agent_side = c.size() == 3;
        if (agent_side && !registry.has_agent(c[0])) return util::fail("Unknown agent " + std::string(c[0]));
        auto lookup = registry.protocol(c[c.size() - 2]);
        if (!lookup) return util::fail("Unknown protocol " + lookup.error());
        const auto& parser = agent_side ? *lookup->entry->agent : *lookup->entry->protocol;
        auto f = parser.parse(c.back(), id);
        if (!f) return util::fail(f.error());
        if (!agent_side) return fields::SimulationField(fields::ProtocolField{*f, *lookup->name});
        return fields::SimulationField(
            fields::AgentProtocolField{*f, *lookup->name, *tarnel::names::Identifier::parse(c[0])});
    }
    return util::fail("too many components");
}

// The registry's parser of concrete type T (the built-in ones always exist).
template <class T>
T& parser_of(tarnel::fields::SimulatorRegistry& r) {
    T* p = r.find_parser<T>();
    if (p == nullptr) std::abort();
    return *p;
}

// Message and causes joined by ": ", or "ok".
template <class T>
std::string outcome(const tarnel::util::Result<T>& r) {
    return r ? std::string("ok") : r.error().chain_text();
}

}  // namespace fields_test
