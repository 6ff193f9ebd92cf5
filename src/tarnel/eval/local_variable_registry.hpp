#pragma once
// Local variables of one custom function call (name to value). Binding uses
// the same type for its set of local names.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::eval {

class LocalVariableRegistry {
public:
    LocalVariableRegistry() = default;
    // The names only, each bound to the absent value.
    static LocalVariableRegistry from_names(const std::vector<std::string>& names);

    // An existing name has its value replaced.
    void insert(std::string_view name, decimal::Decimal value);
    // nullptr when the name is not registered.
    [[nodiscard]] const decimal::Decimal* get(std::string_view name) const;
    [[nodiscard]] bool contains(std::string_view name) const { return get(name) != nullptr; }
    [[nodiscard]] std::size_t size() const { return entries_.size(); }
    [[nodiscard]] bool empty() const { return entries_.empty(); }
    void reserve(std::size_t n) { entries_.reserve(n); }

private:
    // Bodies hold a handful of locals: a linear scan beats hashing until the
    // list grows, then an index keeps long bodies linear overall.
    static constexpr std::size_t index_threshold = 16;
    [[nodiscard]] std::size_t find(std::string_view name) const;

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    std::vector<std::pair<std::string, decimal::Decimal>> entries_;
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> index_;
};

}  // namespace tarnel::eval
