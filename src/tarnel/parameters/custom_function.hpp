#pragma once
// A user-defined function: its name, parameter names and bound body.
#include <map>
#include <string>
#include <vector>

#include "tarnel/grammar/statement.hpp"

namespace tarnel::parameters {

struct CustomFunction {
    std::string name;
    // In declaration order; a name may repeat.
    std::vector<std::string> args;
    // Already bound: no unchecked identifier remains.
    std::vector<grammar::Statement> statements;
    bool operator==(const CustomFunction&) const = default;
};

// Ordered by name, so walks over the functions never depend on insertion order.
using CustomFunctions = std::map<std::string, CustomFunction>;

}  // namespace tarnel::parameters
