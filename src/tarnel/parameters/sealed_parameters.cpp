#include "tarnel/parameters/sealed_parameters.hpp"

#include "tarnel/fields/data_key.hpp"
#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::parameters {
namespace {

void append_function(std::string& out, const CustomFunction& f) {
    out += "CustomFunction { name: ";
    grammar::debug_text::append_quoted(out, f.name);
    out += ", args: [";
    for (std::size_t i = 0; i < f.args.size(); ++i) {
        if (i > 0) out += ", ";
        grammar::debug_text::append_quoted(out, f.args[i]);
    }
    out += "], statements: ";
    out += grammar::debug_statements(f.statements);
    out += " }";
}

void append_parameters(std::string& out, const Parameters& p) {
    out += "Parameters { start_date: ";
    out += timeseries::format_rfc3339(p.start_date());
    out += ", custom_functions: {";
    bool first = true;
    for (const auto& [key, function] : p.custom_functions()) {
        if (!first) out += ", ";
        first = false;
        grammar::debug_text::append_quoted(out, key);
        out += ": ";
        append_function(out, function);
    }
    out += "}, registry: ";
    out += p.registry().debug();
    out += " }";
}

}  // namespace

util::Result<std::string> SealedParameters::stringify_identifier(const fields::SimulationField& field) const {
    return fields::data_key(internal_.registry(), field);
}

std::string SealedParameters::debug() const {
    std::string out = "SealedParameters { internal: ";
    append_parameters(out, internal_);
    out += ", signature: ";
    out += signature_.debug();
    out += " }";
    return out;
}

SealedParameters seal(const Parameters& parameters) {
    // The copy constructors are deep: functions with their statements, and
    // the registry with every parser cloned.
    Parameters copy = parameters;
    const Signature signature = compute_signature(copy.start_date(), copy.custom_functions());
    return SealedParameters(std::move(copy), signature);
}

std::string debug_holder(const std::optional<SealedParameters>& holder) {
    if (!holder) return "SealedParameters { None }";
    return "SealedParameters { Some(" + holder->debug() + ") }";
}

}  // namespace tarnel::parameters
