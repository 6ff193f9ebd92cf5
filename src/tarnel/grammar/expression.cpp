#include "tarnel/grammar/expression.hpp"

#include <fmt/format.h>

namespace tarnel::grammar {

std::string Expression::debug() const {
    return fmt::format("Expression {{ tree: {}, parameter_signature: {:>16X} }}", tree.debug(), parameter_signature);
}

}  // namespace tarnel::grammar
