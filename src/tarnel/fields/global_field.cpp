#include "tarnel/fields/global_field.hpp"

#include <array>

#include "tarnel/fields/option_resolution.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

constexpr std::array<std::string_view, 2> variants{"CurrentTime", "LastUpdate"};
constexpr std::array<std::string_view, 2> metric_names{"current_time", "last_update"};

}  // namespace

std::string GlobalField::debug() const { return std::string(variants[static_cast<std::size_t>(kind_)]); }

bool GlobalField::dyn_eq(const Field& other) const {
    const auto* o = other.downcast<GlobalField>();
    return o != nullptr && o->kind_ == kind_;
}

persist::Value GlobalField::to_persisted() const { return std::string(variants[static_cast<std::size_t>(kind_)]); }

util::Result<DynField> GlobalField::read(const persist::Value& v) {
    auto e = persist::read_enum(v, "GlobalField", variants);
    if (!e) return util::fail(std::move(e.error()));
    if (auto unit = persist::require_unit(*e); !unit) return util::fail(std::move(unit.error()));
    return DynField(std::make_shared<GlobalField>(static_cast<Kind>(e->index)));
}

util::Result<DynField> GlobalFieldParser::parse(std::string_view name, const grammar::ComposedIdentifierRef& identifier) const {
    for (std::size_t k = 0; k < metric_names.size(); ++k) {
        if (name != metric_names[k]) continue;
        if (auto s = reject_options(identifier); !s) return util::fail(std::move(s.error()));
        return DynField(std::make_shared<GlobalField>(static_cast<GlobalField::Kind>(k)));
    }
    return FieldParser::parse(name, identifier);
}

util::Status GlobalFieldParser::write_typed(const GlobalField& field, std::string& out) const {
    out += metric_names[static_cast<std::size_t>(field.kind())];
    return {};
}

util::Result<std::unique_ptr<FieldParser>> GlobalFieldParser::read(const persist::Value& v) {
    auto record = persist::RecordReader::open(v, "struct GlobalFieldParser with 0 elements", {});
    if (!record) return util::fail(std::move(record.error()));
    return std::make_unique<GlobalFieldParser>();
}

}  // namespace tarnel::fields
