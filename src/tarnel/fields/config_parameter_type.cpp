#include "tarnel/fields/config_parameter_type.hpp"

#include <string>

#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {

util::Result<ConfigFieldParameterType> read_config_parameter_type(const persist::Value& v) {
    auto e = persist::read_enum(v, "ConfigFieldParameterType", config_parameter_type_names);
    if (!e) return util::fail(std::move(e.error()));
    if (auto unit = persist::require_unit(*e); !unit) return util::fail(std::move(unit.error()));
    return static_cast<ConfigFieldParameterType>(e->index);
}

persist::Value write_config_parameter_type(ConfigFieldParameterType t) {
    return persist::Value(std::string(document_name(t)));
}

}  // namespace tarnel::fields
