#pragma once
#include <string>

namespace tarnel::util {
// The eleven-line build report of the module.
std::string full_version();
}  // namespace tarnel::util
