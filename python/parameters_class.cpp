#include "parameters_class.hpp"

#include <string>
#include <vector>

#include "arguments.hpp"
#include "datetime_conversion.hpp"
#include "exceptions.hpp"
#include "instance.hpp"
#include "sealed_parameters_class.hpp"
#include "tarnel/parameters/config_parameter_ext.hpp"
#include "tarnel/parameters/custom_function_ops.hpp"

namespace py = pybind11;

namespace tarnel::python {

namespace {

// Converted arguments first, then exclusive access for the work; an error of
// the work becomes the exception of its kind.
template <class Work>
void change(py::handle self_handle, Work&& work) {
    auto& self = initialised_instance<PyParameters>(self_handle, "Parameters");
    BorrowFlag::Exclusive access(self.borrow);
    if (auto status = work(self.value); !status) raise_error(status.error());
}

const char* const uniswap_lines =
    "\n"
    "\n"
    "# Arguments\n"
    "\n"
    "* `name`: local name of the protocol\n"
    "* `token0`: symbol of the first token\n"
    "            (formally token0 in the expression even it is not the native order in the pool)\n"
    "* `token1`: symbol of the second token\n"
    "            (formally token0 in the expression even it is not the native order in the pool)\n"
    "* `positions`: list of the position names\n"
    "* `address`: address the protocol (optional)\n"
    "* `swap_token_order`: true if the token symbols are described are in the opposite order (false by default)";

const char* const token_lines =
    "\n"
    "\n"
    "# Arguments\n"
    "\n"
    "* `tokens`: list of the tokens\n"
    "* `address`: address the protocol (optional)";

std::string doc(const char* signature, const std::string& text) { return std::string(signature) + "\n--\n\n" + text; }

// Kept alive for the lifetime of the module: pybind11 keeps the pointers.
const char* keep(std::string text) {
    static std::vector<std::unique_ptr<std::string>> texts;
    texts.push_back(std::make_unique<std::string>(std::move(text)));
    return texts.back()->c_str();
}

using Uniswap = util::Status (parameters::Parameters::*)(std::string_view, std::string_view, std::string_view);
using Curve = util::Status (*)(parameters::Parameters&, std::string_view, std::span<const std::string>);

auto uniswap(Uniswap add) {
    return [add](py::handle self, py::handle name, py::handle token0, py::handle token1, py::handle address) {
        auto n = str_argument(name, "name");
        auto t0 = str_argument(token0, "token0");
        auto t1 = str_argument(token1, "token1");
        (void)optional_str_argument(address, "address");  // accepted, not used
        change(self, [&](parameters::Parameters& p) { return (p.*add)(n, t0, t1); });
    };
}

auto curve(Curve add) {
    return [add](py::handle self, py::handle name, py::handle tokens, py::handle address) {
        auto n = str_argument(name, "name");
        auto t = str_sequence_argument(tokens, "tokens");
        (void)optional_str_argument(address, "address");  // accepted, not used
        change(self, [&](parameters::Parameters& p) { return add(p, n, t); });
    };
}

using Lending = util::Status (parameters::Parameters::*)(std::span<const std::string>);

auto lending(Lending add) {
    return [add](py::handle self, py::handle tokens) {
        std::vector<std::string> symbols;
        for (auto& [symbol, address] : token_pairs_argument(tokens, "tokens")) symbols.push_back(std::move(symbol));
        change(self, [&](parameters::Parameters& p) { return (p.*add)(symbols); });
    };
}

using Configured = util::Status (parameters::Parameters::*)(std::string_view, std::string_view,
                                                            std::span<const std::string>);

auto configured(Configured add) {
    return [add](py::handle self, py::handle config, py::handle name, py::handle values) {
        auto c = str_argument(config, "config");
        auto n = str_argument(name, "name");
        auto v = str_sequence_argument(values, "parameters");
        change(self, [&](parameters::Parameters& p) { return (p.*add)(c, n, v); });
    };
}

}  // namespace

void register_parameters(py::module_& m) {
    using parameters::Parameters;
    py::class_<PyParameters>(m, "Parameters", "Parameters(start_date)\n--\n\n", py::is_final(),
                             py::custom_type_setup([](PyHeapTypeObject* heap) { heap->ht_type.tp_name = "Parameters"; }))
        .def(py::init([](py::handle start_date) {
                 return new PyParameters{Parameters(instant_from_python(start_date, "start_date")), {}};
             }),
             py::arg("start_date"), "__init__(self, /, start_date)\n--\n\n")
        .def("add_protocol_json", configured(&Parameters::add_protocol_from_json), py::arg("config"), py::arg("name"),
             py::arg("parameters"),
             keep(doc("add_protocol_json($self, config, name, parameters)", "Add a protocol based on a json configuration")))
        .def("add_protocol_yaml", configured(&Parameters::add_protocol_from_yaml), py::arg("config"), py::arg("name"),
             py::arg("parameters"),
             keep(doc("add_protocol_yaml($self, config, name, parameters)",
                      "Add a protocol based on a yaml configuration and parameters")))
        .def("add_uniswap_v2_protocol", uniswap(&Parameters::add_uniswap_v2_protocol), py::arg("name"),
             py::arg("token0"), py::arg("token1"), py::arg("address") = py::none(),
             keep(doc("add_uniswap_v2_protocol($self, name, token0, token1, address=None)",
                      std::string("Configure an UniswapV2 protocol") + uniswap_lines)))
        .def("add_uniswap_v3_protocol", uniswap(&Parameters::add_uniswap_v3_protocol), py::arg("name"),
             py::arg("token0"), py::arg("token1"), py::arg("address") = py::none(),
             keep(doc("add_uniswap_v3_protocol($self, name, token0, token1, address=None)",
                      std::string("Configure an UniswapV3 protocol") + uniswap_lines)))
        .def("add_compound_v2_protocol", lending(&Parameters::add_compound_v2_protocol), py::arg("tokens"),
             keep(doc("add_compound_v2_protocol($self, tokens)",
                      std::string("Configure a Compound V2 protocol") + token_lines)))
        .def("add_aave_v3_protocol", lending(&Parameters::add_aave_v3_protocol), py::arg("tokens"),
             keep(doc("add_aave_v3_protocol($self, tokens)", std::string("Configure an Aave V3 protocol") + token_lines)))
        .def("add_curve_stable_protocol", curve(&parameters::ConfigParameterExt::add_curve_stable_protocol),
             py::arg("name"), py::arg("tokens"), py::arg("address") = py::none(),
             keep(doc("add_curve_stable_protocol($self, name, tokens, address=None)",
                      std::string("Configure an Curve stable protocol") + token_lines)))
        .def("add_curve_crypto_protocol", curve(&parameters::ConfigParameterExt::add_curve_crypto_protocol),
             py::arg("name"), py::arg("tokens"), py::arg("address") = py::none(),
             keep(doc("add_curve_crypto_protocol($self, name, tokens, address=None)",
                      std::string("Configure an Curve crypto protocol") + token_lines)))
        .def(
            "add_common",
            [](py::handle self, py::handle tokens) {
                auto t = str_sequence_argument(tokens, "tokens");
                change(self, [&](Parameters& p) { return p.add_common(t); });
            },
            py::arg("tokens"),
            keep(doc("add_common($self, tokens)",
                     "Add a common configuration\n\nUsually defined in common.asset_params\n\n# Arguments\n\n"
                     "* `spot_pairs`: array of spot pairs")))
        .def(
            "add_agents",
            [](py::handle self, py::handle agents) {
                auto a = str_sequence_argument(agents, "agents");
                change(self, [&](Parameters& p) { return p.add_agents(a); });
            },
            py::arg("agents"),
            keep(doc("add_agents($self, agents)",
                     "Add agents ids in the parameters\n\n# Arguments\n\n* `agents`: list of agent ids")))
        .def(
            "add_agent_variables",
            [](py::handle self, py::handle agent_name, py::handle variables) {
                auto agent = str_argument(agent_name, "agent_name");
                auto v = str_sequence_argument(variables, "variables");
                change(self, [&](Parameters& p) { return p.add_agent_variables(agent, v); });
            },
            py::arg("agent_name"), py::arg("variables"),
            keep(doc("add_agent_variables($self, agent_name, variables)",
                     "Add custom variables to an agent\n\n# Arguments\n\n"
                     "* `variables`: list of variable name to declare  ")))
        .def(
            "add_custom_function",
            [](py::handle self, py::handle function) {
                auto text = str_argument(function, "function");
                change(self, [&](Parameters& p) { return parameters::add_custom_function(p, text); });
            },
            py::arg("function"),
            keep(doc("add_custom_function($self, function)",
                     "Add the definition of a custom function\n\n"
                     "Usuallu they should be defined once the protocol parameters have been set to be able to use "
                     "them.\n\n# Arguments\n\n* `function`: function definition string")))
        .def(
            "seal",
            [](py::handle self_handle) {
                auto& self = initialised_instance<PyParameters>(self_handle, "Parameters");
                BorrowFlag::Shared access(self.borrow);
                return make_sealed_parameters(parameters::seal(self.value));
            },
            keep(doc("seal($self)", "Make sealed parameters that cannot be changed")));
}

}  // namespace tarnel::python
