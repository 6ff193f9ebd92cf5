#pragma once
// A parsed composed identifier: dotted components and options as views into
// the parsed text (the text must outlive the record).
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarnel/util/error.hpp"

namespace tarnel::grammar {

struct ComposedIdentifierRef {
    std::vector<std::string_view> components;
    std::vector<std::string_view> positional;
    std::vector<std::pair<std::string_view, std::string_view>> named;

    using Option = std::pair<std::optional<std::string_view>, std::string_view>;
    // Options with a key go to `named`, the others to `positional`, in order.
    static ComposedIdentifierRef make(std::vector<std::string_view> components, const std::vector<Option>& options = {}) {
        ComposedIdentifierRef r;
        r.components = std::move(components);
        for (const auto& [key, value] : options) {
            if (key) r.named.emplace_back(*key, value);
            else r.positional.push_back(value);
        }
        return r;
    }

    // Components joined by "."; then, with any option, ":{" positional values
    // quoted, then named options sorted by key (stable) as key="value", "}".
    [[nodiscard]] std::string canonical_text() const;
};

// Parses the whole `text` as one composed identifier with options; the error
// message is "error at L:C: expected ...".
util::Result<ComposedIdentifierRef> composed_identifier_with_options(std::string_view text);

}  // namespace tarnel::grammar
