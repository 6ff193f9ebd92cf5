#pragma once
// Why an identifier could not be promoted, and where it was written.
#include <string>

#include "tarnel/grammar/raw_identifier.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::binding {

struct FieldParseError {
    enum class Kind {
        SyntaxError,        // detail: the composed-identifier parser's message
        UnknownProtocol,    // detail: the protocol component as written
        UnknownAgent,       // detail: the agent component as written
        ParserError,        // detail: the outer message of the field parser's error
        TooManyComponents,  // detail: the canonical text of the identifier
    };
    Kind kind = Kind::SyntaxError;
    std::string detail;

    [[nodiscard]] std::string message() const;
    bool operator==(const FieldParseError&) const = default;
};

struct ContextualFieldParseError {
    FieldParseError error;
    std::string context;  // 'display text' starting at position N

    static ContextualFieldParseError at(FieldParseError error, const grammar::RawIdentifier& raw);
    // "{error} in {context}"
    [[nodiscard]] std::string message() const;
    [[nodiscard]] util::Error to_error() const { return util::Error(message()); }
    bool operator==(const ContextualFieldParseError&) const = default;
};

}  // namespace tarnel::binding
