#include "tarnel/fields/empty_field_parser.hpp"

#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {

util::Status EmptyFieldParser::write(const Field& /*field*/, std::string& /*out*/) const {
    // Only persisted state can hand this parser a field.
    return util::fail("Parser was switched during runtime");
}

util::Result<std::unique_ptr<FieldParser>> EmptyFieldParser::read(const persist::Value& v) {
    if (!v.is<persist::Null>()) return util::fail(persist::invalid_type(v, "unit struct EmptyFieldParser"));
    return std::make_unique<EmptyFieldParser>();
}

}  // namespace tarnel::fields
