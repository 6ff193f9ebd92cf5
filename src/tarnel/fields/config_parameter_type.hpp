#pragma once
// The value types a configured metric parameter can take, by the names that
// configuration documents use for them.
#include <array>
#include <cstddef>
#include <string_view>

#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields {

// Each Optional… variant follows the required type it makes optional.
enum class ConfigFieldParameterType {
    Token,
    OptionalToken,
    TokenPair,
    OptionalTokenPair,
    Identifier,
    OptionalIdentifier,
    IdentifierOrAddress,
    OptionalIdentifierOrAddress,
    Address,
    OptionalAddress,
    String,
    OptionalString,
};

inline constexpr std::array<std::string_view, 12> config_parameter_type_names{
    "Token",      "Option<Token>",      "TokenPair",           "Option<TokenPair>",
    "Identifier", "Option<Identifier>", "IdentifierOrAddress", "Option<IdentifierOrAddress>",
    "Address",    "Option<Address>",    "String",              "Option<String>",
};

[[nodiscard]] constexpr std::string_view document_name(ConfigFieldParameterType t) {
    return config_parameter_type_names[static_cast<std::size_t>(t)];
}

// A parameter whose type is not an Option<…> must be given.
[[nodiscard]] constexpr bool is_required(ConfigFieldParameterType t) {
    return static_cast<std::size_t>(t) % 2 == 0;
}

// The type a parameter's value has once given: Option<Token> gives Token.
[[nodiscard]] constexpr ConfigFieldParameterType value_type(ConfigFieldParameterType t) {
    return static_cast<ConfigFieldParameterType>(static_cast<std::size_t>(t) & ~std::size_t{1});
}

// A document name (or, from MessagePack, a variant index); an unknown name is
// the reader's unknown-variant error.
[[nodiscard]] util::Result<ConfigFieldParameterType> read_config_parameter_type(const persist::Value& v);
[[nodiscard]] persist::Value write_config_parameter_type(ConfigFieldParameterType t);

}  // namespace tarnel::fields
