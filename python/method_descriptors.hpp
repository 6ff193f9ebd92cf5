#pragma once
// pybind11 stores a method in the class dict as an instancemethod around a
// builtin bound to a capsule, so Python sees "PyCapsule.eval" as its qualified
// name and cannot read a signature off the bound method. This swaps every such
// entry for what a native type's method table would give: a method_descriptor
// (or a staticmethod around a builtin of the class) that forwards each
// call to the original pybind11 function, so conversion and error texts stay
// exactly those of the registration code.
#include <pybind11/pybind11.h>

namespace tarnel::python {

// Replaces the pybind11 methods and static methods in `cls`'s own dict, and
// its `__init__` by a slot wrapper when the class documents a text signature
// (inspect then reads that one); every other entry stays as it is. Raises
// ImportError when the pool of forwarding functions is used up.
void adopt_method_descriptors(pybind11::handle cls);

}  // namespace tarnel::python
