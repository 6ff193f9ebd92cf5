#pragma once
#include <pybind11/pybind11.h>

#include "tarnel/grammar/syntax_tree.hpp"

namespace tarnel::python {

// Every node as a dict {"args": [children...], "name": template}, keys in
// ascending order as a JSON object would give them.
pybind11::object syntax_tree_to_python(const grammar::SyntaxTreeString& tree);

}  // namespace tarnel::python
