#pragma once
// Shortest round-trip texts of doubles, for messages and for JSON.
#include <string>

namespace tarnel::persist {

// Plain positional digits with at least one fractional digit ("1.0",
// "0.0000001"); "NaN", "inf" and "-inf" for the non-finite values.
std::string float_display(double d);

// A JSON number that reads back as the same double and never as an integer
// ("1.0", "1.5e-7"). Only for finite values.
std::string float_json(double d);

}  // namespace tarnel::persist
