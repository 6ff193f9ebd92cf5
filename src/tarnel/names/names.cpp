#include "tarnel/names/names.hpp"

#include <fmt/format.h>

namespace tarnel::names {

namespace {

constexpr std::string_view identifier_pattern = "^[a-zA-Z_][a-zA-Z0-9_]*$";
constexpr std::string_view token_pattern = "^[^/]+$";

ValidationReport pattern_report(std::string_view pattern) {
    return ValidationReport{{ValidationEntry{"0", fmt::format("does not match pattern /{}/", pattern)}}};
}

bool is_identifier_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_identifier_char(char c) { return is_identifier_start(c) || (c >= '0' && c <= '9'); }

bool valid_identifier(std::string_view s) {
    if (s.empty() || !is_identifier_start(s.front())) return false;
    for (char c : s)
        if (!is_identifier_char(c)) return false;
    return true;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string ValidationReport::message() const {
    std::string out;
    for (const auto& e : entries) {
        if (!e.path.empty()) {
            out += e.path;
            out += ": ";
        }
        out += e.message;
        out += '\n';
    }
    return out;
}

std::expected<Identifier, ValidationReport> Identifier::parse(std::string_view text) {
    if (!valid_identifier(text)) return std::unexpected(pattern_report(identifier_pattern));
    return Identifier(util::SharedString(text));
}

std::string Identifier::debug() const { return "Identifier(" + text_.debug() + ")"; }

std::string EthAddrParseError::message() const {
    return fmt::format("The address {} should be a valid crypto address (^0x[0-9a-fA-F]{{40}}$)", text);
}

std::expected<EthAddress, EthAddrParseError> EthAddress::parse(std::string_view text) {
    if (text.size() != 42 || text.substr(0, 2) != "0x") return std::unexpected(EthAddrParseError{std::string(text)});
    std::array<std::uint8_t, 20> bytes{};
    for (std::size_t i = 0; i < 20; ++i) {
        int hi = hex_value(text[2 + 2 * i]);
        int lo = hex_value(text[3 + 2 * i]);
        if (hi < 0 || lo < 0) return std::unexpected(EthAddrParseError{std::string(text)});
        bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return EthAddress(util::SharedString(text), bytes);
}

std::string EthAddress::debug() const { return "EthAddress(" + text_.debug() + ")"; }

std::string ProtocolNameParseError::message() const {
    return std::visit([](const auto& e) { return e.message(); }, error);
}

std::expected<IdentifierOrAddr, ProtocolNameParseError> IdentifierOrAddr::parse(std::string_view text) {
    if (text.size() > 1 && text.substr(0, 2) == "0x") {
        auto addr = EthAddress::parse(text);
        if (!addr) return std::unexpected(ProtocolNameParseError{addr.error()});
        return IdentifierOrAddr(*addr);
    }
    auto id = Identifier::parse(text);
    if (!id) return std::unexpected(ProtocolNameParseError{id.error()});
    return IdentifierOrAddr(*id);
}

std::string_view IdentifierOrAddr::text() const {
    return std::visit([](const auto& v) { return v.text(); }, v_);
}

std::string IdentifierOrAddr::debug() const {
    if (const auto* a = std::get_if<EthAddress>(&v_)) return "Address(" + a->debug() + ")";
    return "Identifier(" + std::get<Identifier>(v_).debug() + ")";
}

void IdentifierOrAddr::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    if (const auto* a = std::get_if<EthAddress>(&v_)) {
        h.write(a->to_bytes().data(), a->to_bytes().size());
    } else {
        h.write_str(std::get<Identifier>(v_).text());
    }
}

std::expected<TokenSymbol, ValidationReport> TokenSymbol::parse(std::string_view text) {
    if (text.empty() || text.find('/') != std::string_view::npos) return std::unexpected(pattern_report(token_pattern));
    return TokenSymbol(util::SharedString(text));
}

std::string TokenSymbol::debug() const { return "TokenSymbol(" + text_.debug() + ")"; }

std::string TokenSymbolPairError::message() const {
    struct Visitor {
        std::string operator()(const InvalidFormat& e) const {
            return fmt::format("{} is not a valid token pair", util::debug_quote(e.text));
        }
        std::string operator()(const TokensCannotBeTheSame& e) const {
            return fmt::format("Tokens in token pair {0}/{0} cannot be the same", e.symbol.text());
        }
        std::string operator()(const InvalidToken& e) const { return e.report.message(); }
    };
    return std::visit(Visitor{}, error);
}

std::expected<TokenSymbolPair, TokenSymbolPairError> TokenSymbolPair::parse(std::string_view text) {
    auto slash = text.find('/');
    if (slash == std::string_view::npos) {
        return std::unexpected(TokenSymbolPairError{TokenSymbolPairError::InvalidFormat{std::string(text)}});
    }
    auto base = TokenSymbol::parse(text.substr(0, slash));
    if (!base) return std::unexpected(TokenSymbolPairError{TokenSymbolPairError::InvalidToken{base.error()}});
    auto quote = TokenSymbol::parse(text.substr(slash + 1));
    if (!quote) return std::unexpected(TokenSymbolPairError{TokenSymbolPairError::InvalidToken{quote.error()}});
    if (base->text() == quote->text()) {
        return std::unexpected(TokenSymbolPairError{TokenSymbolPairError::TokensCannotBeTheSame{*base}});
    }
    return TokenSymbolPair(*base, *quote);
}

std::string TokenSymbolPair::text() const { return fmt::format("{}/{}", base_.text(), quote_.text()); }

std::string TokenSymbolPair::debug() const {
    return fmt::format("TokenSymbolPair {{ base: {}, quote: {} }}", base_.debug(), quote_.debug());
}

}  // namespace tarnel::names
