#pragma once
// Unpickling makes an instance with the class's __new__ alone and then calls
// __setstate__ on it as an ordinary method. pybind11 constructs the C++ value
// only in __init__ (and hands a method taking the value by reference raw
// memory before that), so the methods take the instance as a handle and give
// an instance made by __new__ alone the default (uninitialised) value first.
// pybind11 also treats every function named __setstate__ as a second
// constructor (which it silently skips on a constructed instance), so the
// classes define it through def_setstate.
#include <pybind11/pybind11.h>

#include <utility>

namespace tarnel::python {

// Raises TypeError when `self` is not an instance of the class.
template <class T>
T& constructed_instance(pybind11::handle self, const char* class_name) {
    namespace detail = pybind11::detail;
    if (!pybind11::isinstance<T>(self)) {
        PyErr_Format(PyExc_TypeError, "descriptor requires a '%s' object", class_name);
        throw pybind11::error_already_set();
    }
    auto* inst = reinterpret_cast<detail::instance*>(self.ptr());
    auto v_h = inst->get_value_and_holder(detail::get_type_info(typeid(T)));
    if (!v_h.holder_constructed()) {
        v_h.value_ptr() = new T();
        v_h.type->init_instance(inst, nullptr);
    }
    return *static_cast<T*>(v_h.value_ptr());
}

// For classes without a default value: TypeError unless __init__ has made
// the value. (pybind11 would hand a method uninitialised memory instead.)
template <class T>
T& initialised_instance(pybind11::handle self, const char* class_name) {
    namespace detail = pybind11::detail;
    if (!pybind11::isinstance<T>(self)) {
        PyErr_Format(PyExc_TypeError, "descriptor requires a '%s' object", class_name);
        throw pybind11::error_already_set();
    }
    auto* inst = reinterpret_cast<detail::instance*>(self.ptr());
    auto v_h = inst->get_value_and_holder(detail::get_type_info(typeid(T)));
    if (!v_h.holder_constructed()) {
        PyErr_Format(PyExc_TypeError, "%s.__init__() has not been called", class_name);
        throw pybind11::error_already_set();
    }
    return *static_cast<T*>(v_h.value_ptr());
}

// Adds `f` (taking the instance as a handle, then the state) as the ordinary
// method __setstate__.
template <class Class, class F>
void def_setstate(Class& cls, F&& f, const char* doc) {
    namespace detail = pybind11::detail;
    // Marked new-style only so that pybind11 does not warn about an old-style
    // constructor before the flag below makes it an ordinary method.
    pybind11::cpp_function method(std::forward<F>(f), pybind11::name("__setstate__"), pybind11::is_method(cls),
                                  detail::is_new_style_constructor(), pybind11::arg("state"), doc);
    PyObject* function = PyInstanceMethod_Check(method.ptr()) ? PyInstanceMethod_Function(method.ptr()) : method.ptr();
    auto capsule = pybind11::reinterpret_borrow<pybind11::capsule>(PyCFunction_GET_SELF(function));
    if (!detail::is_function_record_capsule(capsule)) pybind11::pybind11_fail("__setstate__: no function record");
    auto* record = capsule.get_pointer<detail::function_record>();
    record->is_constructor = false;
    record->is_new_style_constructor = false;
    cls.attr("__setstate__") = method;
}

}  // namespace tarnel::python
