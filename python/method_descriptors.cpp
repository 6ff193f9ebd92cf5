#include "method_descriptors.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace tarnel::python {

namespace {

using FastCall = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
using Init = int (*)(PyObject*, PyObject*, PyObject*);

// The pybind11 function one trampoline forwards to.
struct Target {
    PyObject* original = nullptr;  // strong reference
    bool is_static = false;
};

// PyMethodDef has no slot for user data, so each method gets its own
// trampoline, told apart by its index. Four classes need about thirty.
constexpr std::size_t pool_size = 64;

// Filled at import and never freed (as are the method definitions below):
// the module lives as long as the process and sub-interpreters are unsupported.
std::array<Target, pool_size> targets;
std::size_t targets_used = 0;

// Calls with up to this many positional and keyword values are forwarded
// without touching the heap.
constexpr Py_ssize_t stack_values = 8;

PyObject* forward_with_self(PyObject* original, PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) noexcept {
    const Py_ssize_t count = nargs + (kwnames != nullptr ? PyTuple_GET_SIZE(kwnames) : 0);
    PyObject* stack[stack_values + 1];
    PyObject** values = stack;
    if (count > stack_values) {
        values = static_cast<PyObject**>(PyMem_Malloc(sizeof(PyObject*) * static_cast<std::size_t>(count + 1)));
        if (values == nullptr) return PyErr_NoMemory();
    }
    values[0] = self;
    std::copy_n(args, count, values + 1);
    PyObject* result = PyObject_Vectorcall(original, values, static_cast<std::size_t>(nargs + 1), kwnames);
    if (values != stack) PyMem_Free(values);
    return result;
}

template <std::size_t I>
PyObject* trampoline(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    const Target& target = targets[I];
    // A static method's `self` is the class, which the original does not take.
    if (target.is_static) return PyObject_Vectorcall(target.original, args, static_cast<std::size_t>(nargs), kwnames);
    return forward_with_self(target.original, self, args, nargs, kwnames);
}

// Constructors are not called in loops: a bound method is simplest.
int forward_init(PyObject* original, PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    PyObject* bound = PyMethod_New(original, self);
    if (bound == nullptr) return -1;
    PyObject* result = PyObject_Call(bound, args, kwargs);
    Py_DECREF(bound);
    if (result == nullptr) return -1;
    Py_DECREF(result);
    return 0;
}

template <std::size_t I>
int init_trampoline(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    return forward_init(targets[I].original, self, args, kwargs);
}

template <std::size_t... I>
constexpr std::array<FastCall, sizeof...(I)> make_trampolines(std::index_sequence<I...>) {
    return {&trampoline<I>...};
}

template <std::size_t... I>
constexpr std::array<Init, sizeof...(I)> make_init_trampolines(std::index_sequence<I...>) {
    return {&init_trampoline<I>...};
}

constexpr auto trampolines = make_trampolines(std::make_index_sequence<pool_size>{});
constexpr auto init_trampolines = make_init_trampolines(std::make_index_sequence<pool_size>{});

const char* keep(const char* text) { return text == nullptr ? nullptr : (new std::string(text))->c_str(); }

bool is_pybind11_function(PyObject* function) {
    if (function == nullptr || !PyCFunction_Check(function)) return false;
    PyObject* capsule = PyCFunction_GET_SELF(function);
    return capsule != nullptr && PyCapsule_CheckExact(capsule) &&
           py::detail::is_function_record_capsule(py::reinterpret_borrow<py::capsule>(capsule));
}

// The pybind11 function inside a class dict entry, or an empty object when
// the entry is anything else.
py::object pybind11_function(py::handle entry, bool& is_static) {
    py::object function;
    if (PyInstanceMethod_Check(entry.ptr())) {
        function = py::reinterpret_borrow<py::object>(PyInstanceMethod_Function(entry.ptr()));
        is_static = false;
    } else if (Py_IS_TYPE(entry.ptr(), &PyStaticMethod_Type)) {
        function = entry.attr("__func__");
        is_static = true;
    }
    return is_pybind11_function(function.ptr()) ? function : py::object();
}

// The index of a new pool entry forwarding to `function`.
std::size_t new_target(py::handle function, bool is_static) {
    if (targets_used == pool_size) {
        throw py::import_error("tarnel: more methods than method descriptor trampolines (" +
                               std::to_string(pool_size) + ")");
    }
    targets[targets_used] = Target{function.inc_ref().ptr(), is_static};
    return targets_used++;
}

// The method definition of a new trampoline forwarding to `function`.
PyMethodDef* trampoline_for(py::handle function, bool is_static) {
    const std::size_t index = new_target(function, is_static);
    const PyMethodDef* original = reinterpret_cast<PyCFunctionObject*>(function.ptr())->m_ml;
    return new PyMethodDef{keep(original->ml_name),
                           reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(trampolines[index])),
                           METH_FASTCALL | METH_KEYWORDS | (is_static ? METH_STATIC : 0), keep(original->ml_doc)};
}

// What a native type's method table makes of `def`: a static method's builtin
// holds the class (its qualified name reads "<Class>.<name>") but, flagged
// METH_STATIC, shows None as its `__self__` and is called without it.
py::object descriptor(py::handle cls, PyMethodDef* def, bool is_static) {
    if (!is_static) {
        return py::reinterpret_steal<py::object>(PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(cls.ptr()), def));
    }
    auto function = py::reinterpret_steal<py::object>(PyCFunction_NewEx(def, cls.ptr(), nullptr));
    if (!function) return function;
    return py::reinterpret_steal<py::object>(PyStaticMethod_New(function.ptr()));
}

// A slot wrapper `__init__` over a trampoline to `function`, as a native type
// has: the type's tp_init then calls the trampoline directly, and
// inspect.signature(cls) reads the class's own text signature.
py::object init_descriptor(py::handle cls, py::handle function) {
    PyObject* object_init = PyDict_GetItemString(PyBaseObject_Type.tp_dict, "__init__");
    if (object_init == nullptr || !Py_IS_TYPE(object_init, &PyWrapperDescr_Type)) {
        throw py::import_error("tarnel: object.__init__ is not a slot wrapper");
    }
    wrapperbase* slot = reinterpret_cast<PyWrapperDescrObject*>(object_init)->d_base;
    const Init init = init_trampolines[new_target(function, false)];
    return py::reinterpret_steal<py::object>(PyDescr_NewWrapper(reinterpret_cast<PyTypeObject*>(cls.ptr()), slot,
                                                                reinterpret_cast<void*>(init)));
}

// Only a class whose documentation gives the constructor's text signature
// has one to show once `__init__` stops being an ordinary method.
bool documents_constructor(py::handle cls) { return !py::getattr(cls, "__text_signature__", py::none()).is_none(); }

}  // namespace

void adopt_method_descriptors(py::handle cls) {
    // A snapshot: the dict changes as the entries are replaced.
    std::vector<std::pair<py::object, py::object>> entries;
    for (auto [key, value] : py::reinterpret_borrow<py::dict>(reinterpret_cast<PyTypeObject*>(cls.ptr())->tp_dict)) {
        entries.emplace_back(py::reinterpret_borrow<py::object>(key), py::reinterpret_borrow<py::object>(value));
    }
    for (const auto& [key, value] : entries) {
        const bool is_init = py::str(key).cast<std::string>() == "__init__";
        if (is_init && !documents_constructor(cls)) continue;
        bool is_static = false;
        py::object function = pybind11_function(value, is_static);
        if (!function || (is_init && is_static)) continue;
        py::object replacement =
            is_init ? init_descriptor(cls, function) : descriptor(cls, trampoline_for(function, is_static), is_static);
        // Through the type's setattr, so that dunder slots follow the new entry.
        if (!replacement || PyObject_SetAttr(cls.ptr(), key.ptr(), replacement.ptr()) != 0) {
            throw py::error_already_set();
        }
    }
}

}  // namespace tarnel::python
