#pragma once
// A compiled boolean program: the bound tree and the signature of the sealed
// parameters it was compiled against.
#include <cstdint>
#include <string>

#include "tarnel/grammar/bool_expr.hpp"

namespace tarnel::grammar {

struct Condition {
    BoolExpr tree;
    std::uint64_t parameter_signature = 0;

    // Condition { tree: ..., parameter_signature: <16-wide upper-case hex> }
    [[nodiscard]] std::string debug() const;
    bool operator==(const Condition&) const = default;
};

}  // namespace tarnel::grammar
