#pragma once
// Reading validated names from persisted strings: the text is parsed again
// and a parse failure becomes the reader's error with the parse message.
#include "tarnel/names/names.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields::config_names {

[[nodiscard]] util::Result<names::Identifier> read_identifier(const persist::Value& v);
[[nodiscard]] util::Result<names::IdentifierOrAddr> read_identifier_or_addr(const persist::Value& v);
[[nodiscard]] util::Result<names::EthAddress> read_address(const persist::Value& v);
[[nodiscard]] util::Result<names::TokenSymbol> read_token_symbol(const persist::Value& v);
[[nodiscard]] util::Result<names::TokenSymbolPair> read_token_pair(const persist::Value& v);

}  // namespace tarnel::fields::config_names
