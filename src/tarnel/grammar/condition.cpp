#include "tarnel/grammar/condition.hpp"

#include <fmt/format.h>

namespace tarnel::grammar {

std::string Condition::debug() const {
    return fmt::format("Condition {{ tree: {}, parameter_signature: {:>16X} }}", tree.debug(), parameter_signature);
}

}  // namespace tarnel::grammar
