#pragma once
// A compiled numeric program: the bound tree and the signature of the sealed
// parameters it was compiled against.
#include <cstdint>
#include <string>

#include "tarnel/grammar/num_expr.hpp"

namespace tarnel::grammar {

struct Expression {
    NumExpr tree;
    std::uint64_t parameter_signature = 0;

    // Expression { tree: ..., parameter_signature: <16-wide upper-case hex> }
    [[nodiscard]] std::string debug() const;
    bool operator==(const Expression&) const = default;
};

}  // namespace tarnel::grammar
