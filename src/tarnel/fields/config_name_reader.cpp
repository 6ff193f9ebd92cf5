#include "tarnel/fields/config_name_reader.hpp"

#include <string>

#include "tarnel/persist/reader.hpp"

namespace tarnel::fields::config_names {
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

util::Result<names::Identifier> read_identifier(const persist::Value& v) {
    return read_parsed<names::Identifier>(v, [](std::string_view t) { return names::Identifier::parse(t); });
}

util::Result<names::IdentifierOrAddr> read_identifier_or_addr(const persist::Value& v) {
    return read_parsed<names::IdentifierOrAddr>(v, [](std::string_view t) { return names::IdentifierOrAddr::parse(t); });
}

util::Result<names::EthAddress> read_address(const persist::Value& v) {
    return read_parsed<names::EthAddress>(v, [](std::string_view t) { return names::EthAddress::parse(t); });
}

util::Result<names::TokenSymbol> read_token_symbol(const persist::Value& v) {
    return read_parsed<names::TokenSymbol>(v, [](std::string_view t) { return names::TokenSymbol::parse(t); });
}

util::Result<names::TokenSymbolPair> read_token_pair(const persist::Value& v) {
    return read_parsed<names::TokenSymbolPair>(v, [](std::string_view t) { return names::TokenSymbolPair::parse(t); });
}

}  // namespace tarnel::fields::config_names
