#pragma once
// The text under which a field's input data is supplied and reported.
#include <string>

#include "tarnel/fields/registry.hpp"
#include "tarnel/fields/simulation_field.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields {

// field text; protocol.field text; agent.protocol.field text. The protocol
// must be registered in `registry`: a program is tied to parameters only by
// their signature, so it may name a protocol these parameters lack, which is
// "Unknown protocol {name}".
util::Result<std::string> data_key(const SimulatorRegistry& registry, const SimulationField& field);

}  // namespace tarnel::fields
