#include "tarnel/parameters/config_parameter_ext.hpp"

namespace tarnel::parameters {

util::Status ConfigParameterExt::add_curve_crypto_protocol(Parameters& parameters, std::string_view name,
                                                           std::span<const std::string> tokens) {
    return parameters.add_catalogue_protocol(fields::CatalogueProtocol::CurveCrypto, name, tokens);
}

util::Status ConfigParameterExt::add_curve_stable_protocol(Parameters& parameters, std::string_view name,
                                                           std::span<const std::string> tokens) {
    return parameters.add_catalogue_protocol(fields::CatalogueProtocol::CurveStable, name, tokens);
}

}  // namespace tarnel::parameters
