#include "borrow.hpp"

#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace tarnel::python {

namespace {
[[noreturn]] void refuse(const char* message) {
    PyErr_SetString(PyExc_RuntimeError, message);
    throw py::error_already_set();
}
}  // namespace

BorrowFlag::Shared::Shared(BorrowFlag& flag) : flag_(flag) {
    if (flag_.exclusive_) refuse("Already mutably borrowed");
    ++flag_.shared_;
}

BorrowFlag::Shared::~Shared() { --flag_.shared_; }

BorrowFlag::Exclusive::Exclusive(BorrowFlag& flag) : flag_(flag) {
    if (flag_.in_use()) refuse("Already borrowed");
    flag_.exclusive_ = true;
}

BorrowFlag::Exclusive::~Exclusive() { flag_.exclusive_ = false; }

}  // namespace tarnel::python
