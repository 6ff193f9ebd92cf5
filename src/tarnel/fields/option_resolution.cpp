#include "tarnel/fields/option_resolution.hpp"

#include <fmt/format.h>

namespace tarnel::fields {

std::string FromOptionError::message() const {
    struct Visitor {
        std::string operator()(const UnknownPositionalParameter& e) const {
            return fmt::format("Unknown positional parameter {}: {}", e.position, e.value);
        }
        std::string operator()(const UnknownNamedParameter& e) const {
            return fmt::format("Unknown named parameter {}: {}", e.name, e.value);
        }
        std::string operator()(const MissingNamedParameter& e) const {
            return fmt::format("Missing named parameter {}", e.name);
        }
        std::string operator()(const MissingNamedPosParameter& e) const {
            return fmt::format("Missing named positional parameter {}({})", e.name, e.position);
        }
        std::string operator()(const DuplicateParameter& e) const {
            return fmt::format("Duplicate parameter {}: {} and {} at position {}", e.name, e.named_value,
                               e.positional_value, e.position);
        }
    };
    return std::visit(Visitor{}, error);
}

OptionMatcher::OptionMatcher(const grammar::ComposedIdentifierRef& identifier)
    : identifier_(identifier), consumed_(identifier.positional.size(), false) {
    for (const auto& [key, value] : identifier.named) named_.insert_or_assign(key, value);
}

std::expected<std::optional<std::string_view>, FromOptionError> OptionMatcher::take(std::size_t position,
                                                                                     std::string_view name,
                                                                                     bool positional, bool required) {
    std::optional<std::string_view> named;
    if (auto it = named_.find(name); it != named_.end()) {
        named = it->second;
        named_.erase(it);
    }
    std::optional<std::string_view> given = named;
    if (positional && position < identifier_.positional.size()) {
        consumed_[position] = true;
        const std::string_view value = identifier_.positional[position];
        if (named) {
            return std::unexpected(FromOptionError{FromOptionError::DuplicateParameter{
                std::string(name), std::string(*named), std::string(value), position}});
        }
        given = value;
    }
    if (!given && required) {
        return std::unexpected(FromOptionError{FromOptionError::MissingNamedPosParameter{std::string(name), position}});
    }
    return given;
}

std::expected<void, FromOptionError> OptionMatcher::finish() const {
    if (!named_.empty()) {
        const auto& [key, value] = *named_.begin();
        return std::unexpected(
            FromOptionError{FromOptionError::UnknownNamedParameter{std::string(key), std::string(value)}});
    }
    for (std::size_t k = 0; k < consumed_.size(); ++k) {
        if (!consumed_[k]) {
            return std::unexpected(FromOptionError{
                FromOptionError::UnknownPositionalParameter{k, std::string(identifier_.positional[k])}});
        }
    }
    return {};
}

util::Status reject_options(const grammar::ComposedIdentifierRef& identifier) {
    if (auto rest = OptionMatcher(identifier).finish(); !rest) return util::fail(rest.error().to_error());
    return {};
}

}  // namespace tarnel::fields
