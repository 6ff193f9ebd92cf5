#pragma once
// Recognises the two global time fields, which evaluation computes from its
// split time instead of reading them.
#include "tarnel/fields/simulation_field.hpp"

namespace tarnel::eval {

enum class GlobalTime { None, CurrentTime, LastUpdate };

[[nodiscard]] GlobalTime global_time_of(const fields::SimulationField& field);

}  // namespace tarnel::eval
