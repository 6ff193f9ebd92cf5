#pragma once
// Parameters frozen for compiling and evaluating: a private deep copy taken
// at sealing, never changed afterwards, and its signature.
#include <optional>
#include <string>

#include "tarnel/fields/simulation_field.hpp"
#include "tarnel/parameters/parameters.hpp"
#include "tarnel/parameters/signature.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::parameters {

class SealedParameters {
public:
    // As read back from a persisted form: the stored signature is kept, not
    // recomputed.
    SealedParameters(Parameters internal, Signature signature)
        : internal_(std::move(internal)), signature_(signature) {}

    [[nodiscard]] const Parameters& internal() const { return internal_; }
    [[nodiscard]] Signature signature() const { return signature_; }
    [[nodiscard]] timeseries::Instant start_date() const { return internal_.start_date(); }
    [[nodiscard]] const CustomFunctions& custom_functions() const { return internal_.custom_functions(); }
    [[nodiscard]] const fields::SimulatorRegistry& registry() const { return internal_.registry(); }

    // The data key of a field. The signature does not cover the registry, so
    // a program may name a protocol these parameters lack: "Unknown protocol
    // {name}".
    [[nodiscard]] util::Result<std::string> stringify_identifier(const fields::SimulationField& field) const;

    // SealedParameters { internal: Parameters { start_date: ..., custom_functions: {...}, registry: ... },
    // signature: Signature(...) }
    [[nodiscard]] std::string debug() const;

private:
    Parameters internal_;
    Signature signature_;
};

// Deep copy of everything, then the signature of the copy. Later changes to
// `parameters` do not reach the result.
[[nodiscard]] SealedParameters seal(const Parameters& parameters);

// The Python holder: "SealedParameters { None }" when uninitialised, else
// "SealedParameters { Some(...) }" around the sealed value's text.
[[nodiscard]] std::string debug_holder(const std::optional<SealedParameters>& holder);

}  // namespace tarnel::parameters
