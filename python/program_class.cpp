#include "program_class.hpp"

#include <optional>
#include <string>

#include "arguments.hpp"
#include "borrow.hpp"
#include "datetime_conversion.hpp"
#include "exceptions.hpp"
#include "instance.hpp"
#include "py_data_dict.hpp"
#include "sealed_parameters_class.hpp"
#include "syntax_tree_conversion.hpp"
#include "tarnel/binding/check_and_promote.hpp"
#include "tarnel/binding/compile.hpp"
#include "tarnel/eval/traverse_eval.hpp"
#include "tarnel/grammar/parser.hpp"
#include "tarnel/grammar/syntax_tree.hpp"
#include "tarnel/grammar/tree_persist.hpp"

namespace py = pybind11;

namespace tarnel::python {

namespace {

// What differs between the two classes.
template <class Record>
struct Kind;

template <>
struct Kind<grammar::Expression> {
    static constexpr const char* name = "Expression";
    static constexpr const char* uninitialised = "Uninitialized Expression";
    static constexpr const char* eval_doc =
        "eval($self, parameters, timeseries, last_update_time, current_time)\n--\n\n"
        "Evaluate expression and return the result as a Decimal\n\nNone to represent abnormal values";
    static auto compile(std::string_view text, const parameters::SealedParameters& sealed) {
        return binding::compile_expression(text, sealed);
    }
    static auto parse(std::string_view text) { return grammar::parse_expression(text); }
    static util::Status bind(grammar::NumExpr& tree, binding::BindingScope scope) {
        return binding::bind_expression(tree, scope);
    }
    static auto to_msgpack(const std::optional<grammar::Expression>& p) { return grammar::expression_to_msgpack(p); }
    static auto from_msgpack(std::span<const std::uint8_t> b) { return grammar::expression_from_msgpack(b); }
    static py::object result(const decimal::Decimal& d) {
        if (d.is_absent()) return py::none();
        static const auto* decimal_class = new py::object(py::module_::import("decimal").attr("Decimal"));
        return (*decimal_class)(py::str(d->to_string()));
    }
};

template <>
struct Kind<grammar::Condition> {
    static constexpr const char* name = "Condition";
    static constexpr const char* uninitialised = "Uninitialized Condition";
    static constexpr const char* eval_doc =
        "eval($self, parameters, timeseries, last_update_time, current_time)\n--\n\n";
    static auto compile(std::string_view text, const parameters::SealedParameters& sealed) {
        return binding::compile_condition(text, sealed);
    }
    static auto parse(std::string_view text) { return grammar::parse_condition(text); }
    static util::Status bind(grammar::BoolExpr& tree, binding::BindingScope scope) {
        return binding::bind_condition(tree, scope);
    }
    static auto to_msgpack(const std::optional<grammar::Condition>& p) { return grammar::condition_to_msgpack(p); }
    static auto from_msgpack(std::span<const std::uint8_t> b) { return grammar::condition_from_msgpack(b); }
    static py::object result(bool b) { return py::bool_(b); }
};

template <class Record>
struct PyProgram {
    std::optional<Record> program;
    BorrowFlag borrow;
    KeyCache keys;
};

[[noreturn]] void raise_value_error(const std::string& text) {
    PyErr_SetString(PyExc_ValueError, text.c_str());
    throw py::error_already_set();
}

binding::BindingScope scope_of(const parameters::SealedParameters& sealed) {
    return {sealed.custom_functions(), sealed.registry()};
}

template <class Record>
Record compile(std::string_view text, const parameters::SealedParameters& sealed) {
    auto program = Kind<Record>::compile(text, sealed);
    if (!program) raise_error(program.error());
    return std::move(*program);
}

// Steps shared by eval, expected_data and expected_time_range: both objects
// initialised and signed alike.
template <class Record>
const Record& program_for(const PyProgram<Record>& self, const parameters::SealedParameters*& sealed,
                          const PySealedParameters& holder) {
    if (!self.program) raise_value_error(Kind<Record>::uninitialised);
    sealed = &initialised(holder);
    if (auto same = binding::check_signature(self.program->parameter_signature, *sealed); !same) {
        raise_error(same.error());
    }
    return *self.program;
}

PySealedParameters& sealed_argument(py::handle value) {
    return instance_argument<PySealedParameters>(value, "parameters", "SealedParameters");
}

template <class Record>
PyProgram<Record>& self_of(py::handle self) {
    return constructed_instance<PyProgram<Record>>(self, Kind<Record>::name);
}

template <class Record>
py::object eval(py::handle self_handle, py::handle parameters, py::handle timeseries, py::handle last_update_time,
                py::handle current_time) {
    auto& holder = sealed_argument(parameters);
    py::handle data = dict_argument(timeseries, "timeseries");
    auto last = optional_instant_from_python(last_update_time, "last_update_time");
    auto now = instant_from_python(current_time, "current_time");

    auto& self = self_of<Record>(self_handle);
    BorrowFlag::Shared self_access(self.borrow);
    BorrowFlag::Shared holder_access(holder.borrow);
    const parameters::SealedParameters* sealed = nullptr;
    const Record& program = program_for(self, sealed, holder);

    // The cache leaves the object for the call: a nested eval of the same
    // program (from Python code run by a read) then builds its own.
    KeyCache keys = std::exchange(self.keys, KeyCache{});
    keys.prepare(holder.id);
    PyDataDictWithSplitTime source(data, *sealed, eval::SplitTime{sealed->start_date(), now, last}, keys);
    auto result = eval::evaluate(program, sealed->custom_functions(), source);
    self.keys = std::move(keys);
    if (!result) raise_error(result.error());
    return Kind<Record>::result(*result);
}

template <class Record>
py::dict expected_data(py::handle self_handle, py::handle parameters) {
    auto& holder = sealed_argument(parameters);
    auto& self = self_of<Record>(self_handle);
    BorrowFlag::Shared self_access(self.borrow);
    BorrowFlag::Shared holder_access(holder.borrow);
    const parameters::SealedParameters* sealed = nullptr;
    const Record& program = program_for(self, sealed, holder);
    auto keys = binding::expected_data(program, *sealed);
    if (!keys) raise_error(keys.error());
    py::dict out;
    for (const auto& [key, series] : *keys) out[py::str(key)] = py::bool_(series);
    return out;
}

template <class Record>
py::list expected_time_range(py::handle self_handle, py::handle parameters) {
    auto& holder = sealed_argument(parameters);
    auto& self = self_of<Record>(self_handle);
    BorrowFlag::Shared self_access(self.borrow);
    BorrowFlag::Shared holder_access(holder.borrow);
    const parameters::SealedParameters* sealed = nullptr;
    const Record& program = program_for(self, sealed, holder);
    py::list out;
    for (const auto& text : binding::expected_time_range(program, *sealed)) out.append(py::str(text));
    return out;
}

template <class Record>
py::object syntax_tree(py::handle input, py::handle parameters) {
    auto text = str_argument(input, "input");
    auto& holder = sealed_argument(parameters);
    BorrowFlag::Shared holder_access(holder.borrow);
    const auto& sealed = initialised(holder);
    auto tree = Kind<Record>::parse(text);
    if (!tree) raise_error(tree.error());
    auto rendering = grammar::syntax_tree_string(*tree);
    if (!rendering) raise_error(rendering.error());
    // Binding only checks the program; the bound copy is dropped.
    auto copy = *tree;
    if (auto bound = Kind<Record>::bind(copy, scope_of(sealed)); !bound) raise_error(bound.error());
    return syntax_tree_to_python(*rendering);
}

template <class Record>
void register_program(py::module_& m) {
    using Self = PyProgram<Record>;
    using K = Kind<Record>;
    const std::string class_doc = std::string(K::name) + "(self, /, input, parameters)\n--\n\n";
    static const std::string* doc = new std::string(class_doc);
    auto cls = py::class_<Self>(m, K::name, doc->c_str(), py::is_final(),
                     py::custom_type_setup([](PyHeapTypeObject* heap) { heap->ht_type.tp_name = K::name; }))
        .def(py::init([](py::args args) {
            if (args.empty()) return new Self();
            if (args.size() != 2) {
                PyErr_SetString(PyExc_TypeError, "Invalid args");
                throw py::error_already_set();
            }
            auto text = str_argument(args[0], "input");
            auto& holder = sealed_argument(args[1]);
            BorrowFlag::Shared access(holder.borrow);
            return new Self{compile<Record>(text, initialised(holder)), {}, {}};
        }), "__init__(self, /, *args)\n--\n\n")
        .def("eval", &eval<Record>, py::arg("parameters"), py::arg("timeseries"), py::arg("last_update_time"),
             py::arg("current_time"), K::eval_doc)
        .def("expected_data", &expected_data<Record>, py::arg("parameters"),
             "expected_data($self, parameters)\n--\n\nReturns a dictionary of the expected fields.\n\n"
             "The value is false if an instant value is needed, true if a timeseries is expected")
        .def("expected_time_range", &expected_time_range<Record>, py::arg("parameters"),
             "expected_time_range($self, parameters)\n--\n\n")
        .def_static("get_syntax_tree", &syntax_tree<Record>, py::arg("input"), py::arg("parameters"),
                    "get_syntax_tree(input, parameters)\n--\n\n")
        .def(
            "__getstate__",
            [](py::handle self_handle) {
                auto& self = self_of<Record>(self_handle);
                BorrowFlag::Shared access(self.borrow);
                auto bytes = K::to_msgpack(self.program);
                if (!bytes) raise_value_error(bytes.error().python_text());
                return py::bytes(reinterpret_cast<const char*>(bytes->data()), bytes->size());
            },
            "__getstate__($self)\n--\n\n")
        .def("__str__", [](py::handle self_handle) {
            auto& self = self_of<Record>(self_handle);
            BorrowFlag::Shared access(self.borrow);
            return self.program ? self.program->debug() : std::string(K::name) + " { None }";
        });
    def_setstate(
        cls,
        [](py::handle self_handle, py::handle state) {
            auto& self = self_of<Record>(self_handle);
            auto decoded = K::from_msgpack(bytes_argument(state, "state"));
            if (!decoded) raise_value_error(decoded.error().python_text());
            BorrowFlag::Exclusive access(self.borrow);
            self.program = std::move(*decoded);
            self.keys.clear();
        },
        "__setstate__($self, state)\n--\n\n");
}

}  // namespace

void register_condition(py::module_& m) { register_program<grammar::Condition>(m); }
void register_expression(py::module_& m) { register_program<grammar::Expression>(m); }

}  // namespace tarnel::python
