#include "tarnel/names/persisted.hpp"

#include "tarnel/persist/reader.hpp"

namespace tarnel::names {
namespace {

template <class T, class Parse>
util::Result<T> read_parsed(const persist::Value& v, Parse parse) {
    auto text = persist::read_string(v);
    if (!text) return util::fail(std::move(text.error()));
    auto parsed = parse(*text);
    if (!parsed) return util::fail(persist::read_error(v, parsed.error().message()));
    return std::move(*parsed);
}

}  // namespace

persist::Value to_persisted(const Identifier& v) { return std::string(v.text()); }
persist::Value to_persisted(const EthAddress& v) { return std::string(v.text()); }
persist::Value to_persisted(const IdentifierOrAddr& v) { return std::string(v.text()); }
persist::Value to_persisted(const TokenSymbol& v) { return std::string(v.text()); }
persist::Value to_persisted(const TokenSymbolPair& v) { return v.text(); }

util::Result<Identifier> read_identifier(const persist::Value& v) {
    return read_parsed<Identifier>(v, [](std::string_view s) { return Identifier::parse(s); });
}
util::Result<EthAddress> read_eth_address(const persist::Value& v) {
    return read_parsed<EthAddress>(v, [](std::string_view s) { return EthAddress::parse(s); });
}
util::Result<IdentifierOrAddr> read_identifier_or_addr(const persist::Value& v) {
    return read_parsed<IdentifierOrAddr>(v, [](std::string_view s) { return IdentifierOrAddr::parse(s); });
}
util::Result<TokenSymbol> read_token_symbol(const persist::Value& v) {
    return read_parsed<TokenSymbol>(v, [](std::string_view s) { return TokenSymbol::parse(s); });
}
util::Result<TokenSymbolPair> read_token_symbol_pair(const persist::Value& v) {
    return read_parsed<TokenSymbolPair>(v, [](std::string_view s) { return TokenSymbolPair::parse(s); });
}

}  // namespace tarnel::names
