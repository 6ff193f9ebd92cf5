#pragma once
// The protocols that come with the module: one configuration document each,
// compiled into the library.
#include <array>
#include <string_view>

#include "tarnel/fields/config_document.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields {

enum class CatalogueProtocol { AaveV3, CompoundV2, UniswapV2, UniswapV3, CurveCrypto, CurveStable };

inline constexpr std::array<CatalogueProtocol, 6> catalogue_protocols{
    CatalogueProtocol::AaveV3,    CatalogueProtocol::CompoundV2,  CatalogueProtocol::UniswapV2,
    CatalogueProtocol::UniswapV3, CatalogueProtocol::CurveCrypto, CatalogueProtocol::CurveStable,
};

// aave_v3, compound_v2, uniswap_v2, uniswap_v3, curve_crypto, curve_stable.
[[nodiscard]] std::string_view catalogue_key(CatalogueProtocol p);
// The embedded YAML text.
[[nodiscard]] std::string_view catalogue_text(CatalogueProtocol p);
// Reads the embedded document; a failure reads
// "Failed to parse {key} metric name config" over the reader's message.
[[nodiscard]] util::Result<ProtocolParserConfig> read_catalogue_config(CatalogueProtocol p);

namespace detail {
// Defined in the generated catalogue_documents.cpp.
std::string_view catalogue_text_aave_v3();
std::string_view catalogue_text_compound_v2();
std::string_view catalogue_text_uniswap_v2();
std::string_view catalogue_text_uniswap_v3();
std::string_view catalogue_text_curve_crypto();
std::string_view catalogue_text_curve_stable();
}  // namespace detail

}  // namespace tarnel::fields
