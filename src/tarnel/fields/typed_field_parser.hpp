#pragma once
// A parser that writes only its own field type. The registry hands every
// field back to the parser that made it, but persisted state can pair them
// otherwise, so a foreign field is an error, not an abort.
#include <string>
#include <string_view>

#include "tarnel/fields/field.hpp"

namespace tarnel::fields {

template <class F>
class TypedFieldParser : public FieldParser {
public:
    using FieldType = F;

    [[nodiscard]] util::Status write(const Field& field, std::string& out) const final {
        const F* typed = field.downcast<F>();
        if (typed == nullptr) return util::fail(std::string(switched_message()));
        return write_typed(*typed, out);
    }

    [[nodiscard]] virtual util::Status write_typed(const F& field, std::string& out) const = 0;

protected:
    [[nodiscard]] virtual std::string_view switched_message() const { return "Parser was switched during runtime"; }
};

// Option list of the built-in fields: :{name="value"}.
inline void write_option_list(std::string& out, std::string_view name, std::string_view value) {
    out += ":{";
    out += name;
    out += "=\"";
    out += value;
    out += "\"}";
}

}  // namespace tarnel::fields
