#pragma once
// The two global times, named by one-component identifiers.
#include "tarnel/fields/typed_field_parser.hpp"

namespace tarnel::fields {

class GlobalField final : public Field {
public:
    static constexpr std::string_view tag = "GlobalField";
    enum class Kind { CurrentTime, LastUpdate };

    explicit GlobalField(Kind kind) : kind_(kind) {}
    [[nodiscard]] Kind kind() const { return kind_; }

    [[nodiscard]] std::string debug() const override;
    [[nodiscard]] std::shared_ptr<const Field> clone() const override { return std::make_shared<GlobalField>(kind_); }
    [[nodiscard]] bool dyn_eq(const Field& other) const override;
    void dyn_hash(util::SipHasher13& h) const override { h.write_index(static_cast<std::size_t>(kind_)); }
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    // "CurrentTime" or "LastUpdate".
    [[nodiscard]] persist::Value to_persisted() const override;

    static util::Result<DynField> read(const persist::Value& v);

private:
    Kind kind_;
};

class GlobalFieldParser final : public TypedFieldParser<GlobalField> {
public:
    static constexpr std::string_view tag = "GlobalFieldParser";

    // current_time, last_update; neither takes options.
    [[nodiscard]] util::Result<DynField> parse(std::string_view name, const grammar::ComposedIdentifierRef& identifier) const override;
    [[nodiscard]] util::Status write_typed(const GlobalField& field, std::string& out) const override;
    [[nodiscard]] std::string_view tag_name() const override { return tag; }
    [[nodiscard]] std::unique_ptr<FieldParser> clone() const override { return std::make_unique<GlobalFieldParser>(); }
    // Empty record.
    [[nodiscard]] persist::Value to_persisted() const override { return persist::Map{}; }
    [[nodiscard]] std::string debug() const override { return "GlobalFieldParser"; }

    static util::Result<std::unique_ptr<FieldParser>> read(const persist::Value& v);
};

}  // namespace tarnel::fields
