#pragma once
// The digest that ties compiled programs to the sealed parameters they were
// compiled against: SipHash-1-3 with the all-zero key over the start date and
// the custom functions, never over the registry, so it is the same in every
// process and run.
#include <cstdint>
#include <string>

#include "tarnel/parameters/custom_function.hpp"
#include "tarnel/timeseries/instant.hpp"

namespace tarnel::parameters {

struct Signature {
    std::uint64_t value = 0;

    // Signature(<16-wide upper-case hex>)
    [[nodiscard]] std::string debug() const;
    bool operator==(const Signature&) const = default;
};

// The calendar date as days since 0000-03-01 of the proleptic Gregorian
// calendar: injective, and positive for every representable instant.
[[nodiscard]] std::uint32_t date_code(timeseries::Instant t);

// Stream: date code, second of the day and nanosecond of the second as u32
// little-endian; then per function in byte order of its key: key, name, args
// and statements as the structural hash feeds them.
[[nodiscard]] Signature compute_signature(timeseries::Instant start_date, const CustomFunctions& functions);

}  // namespace tarnel::parameters
