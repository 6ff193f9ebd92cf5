#pragma once
// The ordered set of token symbols a parser accepts. Fields keep positions in
// it; the list only grows, so a position handed out stays valid.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tarnel/names/names.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/siphash.hpp"

namespace tarnel::fields {

struct SymbolNotFound {
    names::TokenSymbol symbol;
};

struct WhitelistError {
    SymbolNotFound error;
    [[nodiscard]] std::string message() const { return "Symbol " + std::string(error.symbol.text()) + " is not allowed here"; }
};

// Conversion of option text against a whitelist: the symbol is not listed, or
// the text does not parse (`ParseError`: a report or a pair error).
template <class ParseError>
struct TokenWhitelistError {
    std::variant<WhitelistError, ParseError> error;
    [[nodiscard]] std::string message() const {
        return std::visit([](const auto& e) { return e.message(); }, error);
    }
    [[nodiscard]] util::Error to_error() const { return util::Error(message()); }
};

class TokenWhitelist {
public:
    TokenWhitelist() = default;

    // Validates every text first (the first failure is returned and nothing
    // changes), then appends the symbols not yet present, in order.
    std::expected<void, names::ValidationReport> register_all_str(std::span<const std::string_view> texts);
    std::expected<void, names::ValidationReport> register_all_str(std::span<const std::string> texts);
    // Appends the symbol unless an equal one is present.
    void insert(const names::TokenSymbol& symbol);

    // Position of the first equal symbol (exact text).
    [[nodiscard]] std::optional<std::size_t> find(const names::TokenSymbol& symbol) const;
    // nullptr when `index` is beyond the list (only persisted state can hold such an index).
    [[nodiscard]] const names::TokenSymbol* symbol(std::size_t index) const;
    [[nodiscard]] const std::vector<names::TokenSymbol>& symbols() const { return symbols_; }
    [[nodiscard]] std::size_t size() const { return symbols_.size(); }
    [[nodiscard]] bool empty() const { return symbols_.empty(); }

    [[nodiscard]] std::string debug() const;
    // A sequence of symbol strings in order.
    [[nodiscard]] persist::Value to_persisted() const;
    static util::Result<TokenWhitelist> from_persisted(const persist::Value& v);

    bool operator==(const TokenWhitelist&) const = default;

private:
    std::vector<names::TokenSymbol> symbols_;
};

struct WhitelistIndex {
    std::size_t index = 0;

    // Parses a symbol and finds it in the whitelist.
    static std::expected<WhitelistIndex, TokenWhitelistError<names::ValidationReport>> from_required(
        std::string_view text, const TokenWhitelist& whitelist);

    void hash_feed(util::SipHasher13& h) const { h.write_u64(index); }
    [[nodiscard]] std::string debug() const;
    // [index, null]
    [[nodiscard]] persist::Value to_persisted() const;
    static util::Result<WhitelistIndex> from_persisted(const persist::Value& v);
    bool operator==(const WhitelistIndex&) const = default;
};

struct TokenIdPair {
    WhitelistIndex base;
    WhitelistIndex quote;

    // Parses a pair and finds base, then quote, in the whitelist.
    static std::expected<TokenIdPair, TokenWhitelistError<names::TokenSymbolPairError>> from_required(
        std::string_view text, const TokenWhitelist& whitelist);

    void hash_feed(util::SipHasher13& h) const {
        base.hash_feed(h);
        quote.hash_feed(h);
    }
    [[nodiscard]] std::string debug() const;
    // Record {base, quote}.
    [[nodiscard]] persist::Value to_persisted() const;
    static util::Result<TokenIdPair> from_persisted(const persist::Value& v);
    bool operator==(const TokenIdPair&) const = default;
};

// The symbol at `index`, or an error when persisted state paired a field with
// a whitelist it did not come from.
util::Result<std::string_view> symbol_text(const TokenWhitelist& whitelist, const WhitelistIndex& index);

}  // namespace tarnel::fields
