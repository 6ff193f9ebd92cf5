#pragma once
// Validated names: identifiers, addresses, protocol names, token symbols and
// pairs. Each holds its text as a shared immutable string.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tarnel/util/error.hpp"
#include "tarnel/util/shared_string.hpp"
#include "tarnel/util/siphash.hpp"

namespace tarnel::names {

struct ValidationEntry {
    std::string path;
    std::string message;
    bool operator==(const ValidationEntry&) const = default;
};

// Ordered list of validation failures; text: "{path}: {message}\n" per entry.
struct ValidationReport {
    std::vector<ValidationEntry> entries;
    [[nodiscard]] std::string message() const;
    bool operator==(const ValidationReport&) const = default;
};

class Identifier {
public:
    static std::expected<Identifier, ValidationReport> parse(std::string_view text);
    [[nodiscard]] std::string_view text() const { return text_.view(); }
    [[nodiscard]] const util::SharedString& shared() const { return text_; }
    [[nodiscard]] std::string debug() const;  // Identifier(SharedString("..."))
    void hash_feed(util::SipHasher13& h) const { h.write_str(text()); }
    friend bool operator==(const Identifier&, const Identifier&) = default;
    friend auto operator<=>(const Identifier& a, const Identifier& b) { return a.text_ <=> b.text_; }

private:
    explicit Identifier(util::SharedString t) : text_(std::move(t)) {}
    util::SharedString text_;
};

struct EthAddrParseError {
    std::string text;
    [[nodiscard]] std::string message() const;
};

class EthAddress {
public:
    static std::expected<EthAddress, EthAddrParseError> parse(std::string_view text);
    [[nodiscard]] std::string_view text() const { return text_.view(); }
    [[nodiscard]] const std::array<std::uint8_t, 20>& to_bytes() const { return bytes_; }
    [[nodiscard]] std::string debug() const;
    // Equality by the 20 bytes: letter case does not matter.
    friend bool operator==(const EthAddress& a, const EthAddress& b) { return a.bytes_ == b.bytes_; }

private:
    EthAddress(util::SharedString t, std::array<std::uint8_t, 20> b) : text_(std::move(t)), bytes_(b) {}
    util::SharedString text_;
    std::array<std::uint8_t, 20> bytes_{};
};

struct ProtocolNameParseError {
    std::variant<EthAddrParseError, ValidationReport> error;  // InvalidAddress, InvalidIdentifier
    [[nodiscard]] std::string message() const;
};

class IdentifierOrAddr {
public:
    using Variant = std::variant<EthAddress, Identifier>;  // Address, Identifier
    IdentifierOrAddr(EthAddress a) : v_(std::move(a)) {}  // NOLINT
    IdentifierOrAddr(Identifier i) : v_(std::move(i)) {}  // NOLINT
    static std::expected<IdentifierOrAddr, ProtocolNameParseError> parse(std::string_view text);
    [[nodiscard]] std::string_view text() const;
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] std::string debug() const;  // Address(EthAddress(...)) or Identifier(Identifier(...))
    // Variant index, then identifier text or the 20 address bytes.
    void hash_feed(util::SipHasher13& h) const;
    friend bool operator==(const IdentifierOrAddr&, const IdentifierOrAddr&) = default;

private:
    Variant v_;
};

class TokenSymbol {
public:
    static std::expected<TokenSymbol, ValidationReport> parse(std::string_view text);
    [[nodiscard]] std::string_view text() const { return text_.view(); }
    [[nodiscard]] std::string debug() const;
    friend bool operator==(const TokenSymbol&, const TokenSymbol&) = default;

private:
    explicit TokenSymbol(util::SharedString t) : text_(std::move(t)) {}
    util::SharedString text_;
};

struct TokenSymbolPairError {
    struct InvalidFormat { std::string text; };
    struct TokensCannotBeTheSame { TokenSymbol symbol; };
    struct InvalidToken { ValidationReport report; };
    std::variant<InvalidFormat, TokensCannotBeTheSame, InvalidToken> error;
    [[nodiscard]] std::string message() const;
};

class TokenSymbolPair {
public:
    static std::expected<TokenSymbolPair, TokenSymbolPairError> parse(std::string_view text);
    [[nodiscard]] const TokenSymbol& base() const { return base_; }
    [[nodiscard]] const TokenSymbol& quote() const { return quote_; }
    [[nodiscard]] std::string text() const;  // base/quote
    [[nodiscard]] std::string debug() const;
    friend bool operator==(const TokenSymbolPair&, const TokenSymbolPair&) = default;

private:
    TokenSymbolPair(TokenSymbol b, TokenSymbol q) : base_(std::move(b)), quote_(std::move(q)) {}
    TokenSymbol base_, quote_;
};

}  // namespace tarnel::names

template <>
struct std::hash<tarnel::names::Identifier> {
    std::size_t operator()(const tarnel::names::Identifier& i) const noexcept { return std::hash<std::string_view>{}(i.text()); }
};
template <>
struct std::hash<tarnel::names::IdentifierOrAddr> {
    std::size_t operator()(const tarnel::names::IdentifierOrAddr& v) const noexcept {
        tarnel::util::SipHasher13 h;
        v.hash_feed(h);
        return static_cast<std::size_t>(h.finish());
    }
};
