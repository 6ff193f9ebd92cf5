#pragma once
// Fills the side of a registry entry that offers no metrics: every metric is
// unknown, and it never makes fields.
#include "tarnel/fields/field.hpp"

namespace tarnel::fields {

class EmptyFieldParser final : public FieldParser {
public:
    static constexpr std::string_view tag = "EmptyFieldParser";

    [[nodiscard]] util::Status write(const Field& field, std::string& out) const override;
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    [[nodiscard]] std::unique_ptr<FieldParser> clone() const override { return std::make_unique<EmptyFieldParser>(); }
    // Null.
    [[nodiscard]] persist::Value to_persisted() const override { return persist::Null{}; }
    [[nodiscard]] std::string debug() const override { return "EmptyFieldParser"; }

    static util::Result<std::unique_ptr<FieldParser>> read(const persist::Value& v);
};

}  // namespace tarnel::fields
