#include "tarnel/fields/tagged.hpp"

#include <array>

#include "tarnel/fields/agent_any_protocol_field.hpp"
#include "tarnel/fields/agent_variable.hpp"
#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/config_field.hpp"
#include "tarnel/fields/config_field_parser.hpp"
#include "tarnel/fields/empty_field_parser.hpp"
#include "tarnel/fields/global_field.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

using ParserReader = util::Result<std::unique_ptr<FieldParser>> (*)(const persist::Value&);
using FieldReader = util::Result<DynField> (*)(const persist::Value&);

struct Tables {
    std::array<std::string_view, 6> parser_tags{AgentVariableParser::tag, AgentAnyProtocolFieldParser::tag,
                                                EmptyFieldParser::tag,    ConfigFieldParser::tag,
                                                CommonFieldParser::tag,   GlobalFieldParser::tag};
    std::array<ParserReader, 6> parser_readers{&AgentVariableParser::read, &AgentAnyProtocolFieldParser::read,
                                               &EmptyFieldParser::read,    &read_config_field_parser,
                                               &CommonFieldParser::read,   &GlobalFieldParser::read};
    std::array<std::string_view, 5> field_tags{AgentVariable::tag, AgentAnyProtocolField::tag, ConfigField::tag,
                                               CommonField::tag, GlobalField::tag};
    std::array<FieldReader, 5> field_readers{&AgentVariable::read, &AgentAnyProtocolField::read, &read_config_field,
                                             &CommonField::read, &GlobalField::read};
};

const Tables& tables() {
    static const Tables t;
    return t;
}

persist::Value tagged(std::string_view tag, persist::Value form) {
    return persist::Map{{persist::Value(std::string(tag)), std::move(form)}};
}

// The tag's position in `tags` and the payload node.
util::Result<std::pair<std::size_t, const persist::Value*>> open_tagged(const persist::Value& v,
                                                                        std::span<const std::string_view> tags) {
    const auto* map = v.get_if<persist::Map>();
    if (map == nullptr) return util::fail(persist::invalid_type(v, "a map with a single key"));
    if (map->size() != 1) return util::fail(persist::invalid_length(v, map->size(), "map with a single key"));
    const auto& [key, payload] = map->front();
    auto name = persist::read_string(key, "a tag name");
    if (!name) return util::fail(std::move(name.error()));
    for (std::size_t k = 0; k < tags.size(); ++k)
        if (tags[k] == *name) return std::pair{k, &payload};
    return util::fail(persist::unknown_variant(key, *name, tags));
}

}  // namespace

std::span<const std::string_view> field_parser_tags() { return tables().parser_tags; }
std::span<const std::string_view> field_tags() { return tables().field_tags; }

persist::Value write_tagged(const FieldParser& parser) { return tagged(parser.tag_name(), parser.to_persisted()); }
persist::Value write_tagged(const Field& field) { return tagged(field.tag_name(), field.to_persisted()); }
persist::Value write_tagged(const DynField& field) {
    if (field.empty()) return persist::Null{};
    return write_tagged(field.get());
}

util::Result<std::unique_ptr<FieldParser>> read_tagged_parser(const persist::Value& v) {
    const auto& t = tables();
    auto opened = open_tagged(v, t.parser_tags);
    if (!opened) return util::fail(std::move(opened.error()));
    return t.parser_readers[opened->first](*opened->second);
}

util::Result<DynField> read_tagged_field(const persist::Value& v) {
    const auto& t = tables();
    auto opened = open_tagged(v, t.field_tags);
    if (!opened) return util::fail(std::move(opened.error()));
    return t.field_readers[opened->first](*opened->second);
}

}  // namespace tarnel::fields
