#pragma once
// Persisted form of the validated names: a plain string holding the display
// text, validated again when read.
#include "tarnel/names/names.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::names {

persist::Value to_persisted(const Identifier& v);
persist::Value to_persisted(const EthAddress& v);
persist::Value to_persisted(const IdentifierOrAddr& v);
persist::Value to_persisted(const TokenSymbol& v);
persist::Value to_persisted(const TokenSymbolPair& v);

// A string, or bytes that are valid UTF-8; a parse failure becomes a read
// error whose text is the failure's message.
util::Result<Identifier> read_identifier(const persist::Value& v);
util::Result<EthAddress> read_eth_address(const persist::Value& v);
util::Result<IdentifierOrAddr> read_identifier_or_addr(const persist::Value& v);
util::Result<TokenSymbol> read_token_symbol(const persist::Value& v);
util::Result<TokenSymbolPair> read_token_symbol_pair(const persist::Value& v);

}  // namespace tarnel::names
