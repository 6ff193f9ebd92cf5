#pragma once
// The Curve pools, registered from their catalogue documents.
#include <span>
#include <string>
#include <string_view>

#include "tarnel/parameters/parameters.hpp"

namespace tarnel::parameters {

struct ConfigParameterExt {
    static util::Status add_curve_crypto_protocol(Parameters& parameters, std::string_view name,
                                                  std::span<const std::string> tokens);
    static util::Status add_curve_stable_protocol(Parameters& parameters, std::string_view name,
                                                  std::span<const std::string> tokens);
};

}  // namespace tarnel::parameters
