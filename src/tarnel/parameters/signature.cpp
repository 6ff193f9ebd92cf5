#include "tarnel/parameters/signature.hpp"

#include <chrono>

#include <fmt/format.h>

#include "tarnel/util/siphash.hpp"

namespace tarnel::parameters {
namespace {

// Days from 0000-03-01 to 1970-01-01.
constexpr std::int64_t epoch_day_code = 719468;

void feed_function(util::SipHasher13& h, const std::string& key, const CustomFunction& f) {
    h.write_str(key);
    h.write_str(f.name);
    h.write_index(f.args.size());
    for (const auto& arg : f.args) h.write_str(arg);
    grammar::hash_statements(h, f.statements);
}

}  // namespace

std::string Signature::debug() const { return fmt::format("Signature({:16X})", value); }

std::uint32_t date_code(timeseries::Instant t) {
    const auto day = std::chrono::floor<std::chrono::days>(t);
    return static_cast<std::uint32_t>(day.time_since_epoch().count() + epoch_day_code);
}

Signature compute_signature(timeseries::Instant start_date, const CustomFunctions& functions) {
    const auto day = std::chrono::floor<std::chrono::days>(start_date);
    const auto in_day = start_date - day;
    const auto second = std::chrono::floor<std::chrono::seconds>(in_day);
    const auto nanosecond = in_day - second;

    util::SipHasher13 h;
    h.write_u32(date_code(start_date));
    h.write_u32(static_cast<std::uint32_t>(second.count()));
    h.write_u32(static_cast<std::uint32_t>(nanosecond.count()));
    // std::map orders std::string keys bytewise, shorter prefix first.
    for (const auto& [key, function] : functions) feed_function(h, key, function);
    return Signature{h.finish()};
}

}  // namespace tarnel::parameters
