#include "tarnel/fields/field.hpp"

namespace tarnel::fields {

util::Result<DynField> FieldParser::parse(std::string_view name, const grammar::ComposedIdentifierRef& /*identifier*/) const {
    return util::fail(UnknownField{util::SharedString(name)}.to_error());
}

util::Result<std::string> FieldParser::stringify(const Field& field) const {
    std::string out;
    if (auto s = write(field, out); !s) return util::fail(std::move(s.error()));
    return out;
}

}  // namespace tarnel::fields
