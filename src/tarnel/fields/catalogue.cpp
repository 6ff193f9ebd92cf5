#include "tarnel/fields/catalogue.hpp"

#include <fmt/format.h>

namespace tarnel::fields {
namespace {

struct CatalogueEntry {
    std::string_view key;
    std::string_view (*text)();
};

// In the order of CatalogueProtocol.
constexpr std::array<CatalogueEntry, 6> entries{{
    {"aave_v3", detail::catalogue_text_aave_v3},
    {"compound_v2", detail::catalogue_text_compound_v2},
    {"uniswap_v2", detail::catalogue_text_uniswap_v2},
    {"uniswap_v3", detail::catalogue_text_uniswap_v3},
    {"curve_crypto", detail::catalogue_text_curve_crypto},
    {"curve_stable", detail::catalogue_text_curve_stable},
}};

const CatalogueEntry& entry(CatalogueProtocol p) { return entries[static_cast<std::size_t>(p)]; }

}  // namespace

std::string_view catalogue_key(CatalogueProtocol p) { return entry(p).key; }

std::string_view catalogue_text(CatalogueProtocol p) { return entry(p).text(); }

util::Result<ProtocolParserConfig> read_catalogue_config(CatalogueProtocol p) {
    auto config = protocol_parser_config_from_yaml(catalogue_text(p));
    if (!config) return util::fail(std::move(config.error()).context(fmt::format("Failed to parse {} metric name config", catalogue_key(p))));
    return config;
}

}  // namespace tarnel::fields
