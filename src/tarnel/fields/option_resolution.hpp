#pragma once
// Matching the options of a composed identifier to a metric's parameter list.
// Every parser whose metrics take parameters resolves them this way.
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tarnel/grammar/composed_identifier.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields {

struct FromOptionError {
    struct UnknownPositionalParameter {
        std::size_t position;
        std::string value;
    };
    struct UnknownNamedParameter {
        std::string name;
        std::string value;
    };
    struct MissingNamedParameter {
        std::string name;
    };
    struct MissingNamedPosParameter {
        std::string name;
        std::size_t position;
    };
    struct DuplicateParameter {
        std::string name;
        std::string named_value;
        std::string positional_value;
        std::size_t position;
    };
    std::variant<UnknownPositionalParameter, UnknownNamedParameter, MissingNamedParameter, MissingNamedPosParameter,
                 DuplicateParameter>
        error;

    [[nodiscard]] std::string message() const;
    [[nodiscard]] util::Error to_error() const { return util::Error(message()); }
};

// One parameter of a metric; its position is its index in the list.
template <class T>
struct OptionParameter {
    std::string_view name;
    bool positional = false;  // may also be given without its name
    bool required = false;
    std::function<util::Result<T>(std::string_view)> convert;
};

// The untyped part of resolution: which text each parameter receives, and
// what is left over. The identifier must outlive the matcher.
class OptionMatcher {
public:
    explicit OptionMatcher(const grammar::ComposedIdentifierRef& identifier);
    // The text given for the parameter at `position`, if any.
    [[nodiscard]] std::expected<std::optional<std::string_view>, FromOptionError> take(std::size_t position,
                                                                                        std::string_view name,
                                                                                        bool positional,
                                                                                        bool required);
    // Named options left over (smallest key first), then positional ones.
    [[nodiscard]] std::expected<void, FromOptionError> finish() const;

private:
    const grammar::ComposedIdentifierRef& identifier_;
    // Last value of each key wins; keys in byte order.
    std::map<std::string_view, std::string_view> named_;
    std::vector<bool> consumed_;
};

// Resolves the options of `identifier` against `parameters`: one value per
// parameter, in parameter order (nullopt for an optional one not given).
// Conversion failures are returned as they are.
template <class T>
util::Result<std::vector<std::optional<T>>> resolve_options(std::span<const OptionParameter<T>> parameters,
                                                            const grammar::ComposedIdentifierRef& identifier) {
    OptionMatcher matcher(identifier);
    std::vector<std::optional<T>> values;
    values.reserve(parameters.size());
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        const auto& p = parameters[k];
        auto text = matcher.take(k, p.name, p.positional, p.required);
        if (!text) return util::fail(text.error().to_error());
        if (!*text) {
            values.emplace_back(std::nullopt);
            continue;
        }
        auto converted = p.convert(**text);
        if (!converted) return util::fail(std::move(converted.error()));
        values.emplace_back(std::move(*converted));
    }
    if (auto rest = matcher.finish(); !rest) return util::fail(rest.error().to_error());
    return values;
}

// For metrics without parameters: any named option, then any positional
// option, is refused.
util::Status reject_options(const grammar::ComposedIdentifierRef& identifier);

}  // namespace tarnel::fields
