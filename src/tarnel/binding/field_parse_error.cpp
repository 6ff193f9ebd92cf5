#include "tarnel/binding/field_parse_error.hpp"

#include <fmt/format.h>

namespace tarnel::binding {

std::string FieldParseError::message() const {
    switch (kind) {
        case Kind::SyntaxError: return "Syntax Error: " + detail;
        case Kind::UnknownProtocol: return "Unknown protocol " + detail;
        case Kind::UnknownAgent: return "Unknown agent " + detail;
        case Kind::ParserError: return "Error parsing field: " + detail;
        case Kind::TooManyComponents: return "Invalid identifier " + detail;
    }
    return detail;
}

ContextualFieldParseError ContextualFieldParseError::at(FieldParseError error, const grammar::RawIdentifier& raw) {
    return {std::move(error), fmt::format("'{}' starting at position {}", raw.display(), raw.position)};
}

std::string ContextualFieldParseError::message() const { return error.message() + " in " + context; }

}  // namespace tarnel::binding
