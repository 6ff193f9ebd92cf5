#pragma once
// Tagged persisted form of parsers and fields: a one-entry map from the
// implementation's tag name to its own form. The tag tables are fixed when the
// library loads.
#include <memory>
#include <span>
#include <string_view>

#include "tarnel/fields/field.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"

namespace tarnel::fields {

// Known tags, in the order read errors list them.
std::span<const std::string_view> field_parser_tags();
std::span<const std::string_view> field_tags();

persist::Value write_tagged(const FieldParser& parser);
persist::Value write_tagged(const Field& field);
// An empty DynField writes null (and does not read back).
persist::Value write_tagged(const DynField& field);

// An unknown tag is the reader's unknown-variant error listing the tags.
util::Result<std::unique_ptr<FieldParser>> read_tagged_parser(const persist::Value& v);
util::Result<DynField> read_tagged_field(const persist::Value& v);

}  // namespace tarnel::fields
