#pragma once
// An identifier as written in a program: dotted name, options in source order
// and the byte offset of the name.
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "tarnel/grammar/tree_hash.hpp"
#include "tarnel/util/siphash.hpp"

namespace tarnel::grammar {

class OptionName {
public:
    struct Positional {
        bool operator==(const Positional&) const = default;
    };
    struct Named {
        std::string key;
        bool operator==(const Named&) const = default;
    };
    using Variant = std::variant<Positional, Named>;

    OptionName() = default;
    OptionName(Positional p) : v_(p) {}        // NOLINT(google-explicit-constructor)
    OptionName(Named n) : v_(std::move(n)) {}  // NOLINT(google-explicit-constructor)
    static OptionName positional() { return Positional{}; }
    static OptionName named(std::string key) { return Named{std::move(key)}; }

    [[nodiscard]] std::size_t index() const { return v_.index(); }
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] Variant& variant() { return v_; }
    // The key of a named option, nullptr for a positional one.
    [[nodiscard]] const std::string* key() const;

    [[nodiscard]] std::string debug() const;  // Positional / Named("key")
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const OptionName&) const = default;

private:
    Variant v_;
};

class OptionValue {
public:
    struct String {
        std::string value;
        bool operator==(const String&) const = default;
    };
    using Variant = std::variant<String>;

    OptionValue() = default;
    OptionValue(String s) : v_(std::move(s)) {}  // NOLINT(google-explicit-constructor)
    static OptionValue string(std::string value) { return String{std::move(value)}; }

    [[nodiscard]] std::size_t index() const { return v_.index(); }
    [[nodiscard]] const Variant& variant() const { return v_; }
    [[nodiscard]] Variant& variant() { return v_; }
    [[nodiscard]] const std::string& text() const { return std::get<String>(v_).value; }

    [[nodiscard]] std::string debug() const;  // String("value")
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const OptionValue&) const = default;

private:
    Variant v_;
};

using IdentifierOption = std::pair<OptionName, OptionValue>;

struct RawIdentifier {
    std::string name;                      // without the at sign and the options
    std::vector<IdentifierOption> options;  // source order; empty without a block
    std::size_t position = 0;              // byte offset of the first character of `name`

    // name, or name:{"pos", key="value"} with values unescaped.
    [[nodiscard]] std::string display() const;
    // RawIdentifier { name: "...", options: [...], position: N }
    [[nodiscard]] std::string debug() const;
    void hash_feed(util::SipHasher13& h) const;
    bool operator==(const RawIdentifier&) const = default;
};

}  // namespace tarnel::grammar

TARNEL_GRAMMAR_STD_HASH(OptionName);
TARNEL_GRAMMAR_STD_HASH(OptionValue);
TARNEL_GRAMMAR_STD_HASH(RawIdentifier);
