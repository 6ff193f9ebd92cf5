#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "field_test_support.hpp"
#include "tarnel/fields/agent_any_protocol_field.hpp"
#include "tarnel/fields/agent_variable.hpp"
#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/config_protocol.hpp"
#include "tarnel/fields/data_key.hpp"
#include "tarnel/fields/empty_field_parser.hpp"
#include "tarnel/fields/global_field.hpp"
#include "tarnel/fields/registry.hpp"
#include "tarnel/persist/codecs.hpp"

using namespace tarnel;
using fields::SimulatorRegistry;
using fields_test::resolve;

namespace {

const std::string lower_address = "0xabcdef0123456789abcdef0123456789abcdef01";
const std::string upper_address = "0xABCDEF0123456789ABCDEF0123456789ABCDEF01";

std::string register_text(SimulatorRegistry& r, std::string_view name) {
    auto s = r.register_protocol(name, std::make_unique<fields::CommonFieldParser>(),
                                 std::make_unique<fields::AgentAnyProtocolFieldParser>());
    return s ? "ok" : s.error().message();
}

std::string entry_tags(const SimulatorRegistry& r, std::string_view name) {
    auto found = r.protocol(name);
    if (!found) return "absent";
    return std::string(found->entry->protocol->tag_name()) + "/" + std::string(found->entry->agent->tag_name());
}

TEST(Registry, StartsWithTheThreeBuiltInEntries) {
    const auto r = SimulatorRegistry::with_builtin_entries();
    EXPECT_EQ(r.base_parser().tag_name(), "GlobalFieldParser");
    EXPECT_TRUE(r.agents().empty());
    ASSERT_EQ(r.entries().size(), 3u);
    EXPECT_EQ(r.entries()[0].first.text(), "all");
    EXPECT_EQ(r.entries()[1].first.text(), "variables");
    EXPECT_EQ(r.entries()[2].first.text(), "common");
    EXPECT_EQ(entry_tags(r, "all"), "EmptyFieldParser/AgentAnyProtocolFieldParser");
    EXPECT_EQ(entry_tags(r, "variables"), "EmptyFieldParser/AgentVariableParser");
    EXPECT_EQ(entry_tags(r, "common"), "CommonFieldParser/EmptyFieldParser");
}

struct RegisterCase {
    std::string label;
    std::vector<std::string> names;  // registered in order; the last one is checked
    std::string expected;
};
void PrintTo(const RegisterCase& c, std::ostream* os) { *os << c.label; }

class RegisterProtocol : public ::testing::TestWithParam<RegisterCase> {};

TEST_P(RegisterProtocol, LastRegistration) {
    auto r = SimulatorRegistry::with_builtin_entries();
    const auto& names = GetParam().names;
    for (std::size_t k = 0; k + 1 < names.size(); ++k) ASSERT_EQ(register_text(r, names[k]), "ok");
    EXPECT_EQ(register_text(r, names.back()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegisterProtocol,
    ::testing::Values(
        RegisterCase{"fresh", {"pool"}, "ok"},
        RegisterCase{"twice", {"pool", "pool"}, "Protocol already exists pool"},
        RegisterCase{"builtin_common", {"common"}, "Protocol already exists common"},
        RegisterCase{"builtin_all", {"all"}, "Protocol already exists all"},
        RegisterCase{"address_other_case", {lower_address, upper_address}, "Protocol already exists " + upper_address},
        RegisterCase{"name_case_differs", {"pool", "Pool"}, "ok"},
        RegisterCase{"leading_digit", {"1pool"}, "0: does not match pattern /^[a-zA-Z_][a-zA-Z0-9_]*$/\n"},
        RegisterCase{"short_address", {"0x12"},
                     "The address 0x12 should be a valid crypto address (^0x[0-9a-fA-F]{40}$)"}),
    [](const ::testing::TestParamInfo<RegisterCase>& p) { return p.param.label; });

TEST(Registry, DuplicateLeavesTheFirstEntry) {
    auto r = SimulatorRegistry::with_builtin_entries();
    ASSERT_EQ(register_text(r, lower_address), "ok");
    auto again = r.register_protocol(upper_address, std::make_unique<fields::EmptyFieldParser>(),
                                     std::make_unique<fields::EmptyFieldParser>());
    ASSERT_FALSE(again);
    auto found = r.protocol(upper_address);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name->text(), lower_address);
    EXPECT_EQ(entry_tags(r, upper_address), "CommonFieldParser/AgentAnyProtocolFieldParser");
}

TEST(Registry, ProtocolLookupReturnsTheNameWhenAbsentOrMalformed) {
    const auto r = SimulatorRegistry::with_builtin_entries();
    for (const char* name : {"pol", "1x", "0x1", ""}) {
        auto found = r.protocol(name);
        ASSERT_FALSE(found) << name;
        EXPECT_EQ(found.error(), name);
    }
}

TEST(Registry, AgentsStopAtTheFirstDuplicate) {
    auto r = SimulatorRegistry::with_builtin_entries();
    std::string failure;
    for (const char* name : {"a", "b", "a", "c"}) {
        auto s = r.register_agent(name);
        if (!s) {
            failure = s.error().message();
            break;
        }
    }
    EXPECT_EQ(failure, "Agent already exists a");
    EXPECT_TRUE(r.has_agent("a"));
    EXPECT_TRUE(r.has_agent("b"));
    EXPECT_FALSE(r.has_agent("c"));
    EXPECT_EQ(r.register_agent("1b").error().message(), "0: does not match pattern /^[a-zA-Z_][a-zA-Z0-9_]*$/\n");
}

TEST(Registry, CopiesAreDeep) {
    auto original = SimulatorRegistry::with_builtin_entries();
    SimulatorRegistry copy = original;
    std::vector<std::string> tokens{"WETH"};
    ASSERT_TRUE(fields_test::parser_of<fields::CommonFieldParser>(copy).whitelist().register_all_str(
        std::span<const std::string>(tokens)));
    ASSERT_TRUE(copy.register_agent("bot"));
    EXPECT_TRUE(fields_test::parser_of<fields::CommonFieldParser>(original).whitelist().empty());
    EXPECT_FALSE(original.has_agent("bot"));
    EXPECT_EQ(fields_test::parser_of<fields::CommonFieldParser>(copy).whitelist().size(), 1u);
}

TEST(Registry, EntryParsersReachableForChange) {
    auto r = SimulatorRegistry::with_builtin_entries();
    auto* entry = r.entry_mut(std::string_view("variables"));
    ASSERT_NE(entry, nullptr);
    auto* variables = entry->agent->downcast_mut<fields::AgentVariableParser>();
    ASSERT_NE(variables, nullptr);
    EXPECT_EQ(variables, r.find_parser<fields::AgentVariableParser>());
    EXPECT_EQ(entry->protocol->downcast<fields::AgentVariableParser>(), nullptr);
}

// ---- data keys -----------------------------------------------------------------------

TEST(DataKey, AddressSpellingsResolveToTheRegisteredOne) {
    auto r = SimulatorRegistry::with_builtin_entries();
    ASSERT_EQ(register_text(r, lower_address), "ok");
    std::vector<std::string> tokens{"WETH", "USDC"};
    ASSERT_TRUE(r.entry_mut(std::string_view(lower_address))
                    ->protocol->downcast_mut<fields::CommonFieldParser>()
                    ->whitelist()
                    .register_all_str(std::span<const std::string>(tokens)));
    auto a = resolve(r, "0xabcdef0123456789abcdef0123456789abcdef01.market_spot:{\"WETH/USDC\"}");
    auto b = resolve(r, "0xABCDEF0123456789ABCDEF0123456789ABCDEF01.market_spot:{\"WETH/USDC\"}");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a, *b);
    EXPECT_EQ(std::hash<fields::SimulationField>{}(*a), std::hash<fields::SimulationField>{}(*b));
    const std::string key = lower_address + ".market_spot:{pair=\"WETH/USDC\"}";
    EXPECT_EQ(*fields::data_key(r, *a), key);
    EXPECT_EQ(*fields::data_key(r, *b), key);
}

TEST(DataKey, ProtocolMissingFromTheRegistryIsAnError) {
    auto with_pool = SimulatorRegistry::with_builtin_entries();
    ASSERT_EQ(register_text(with_pool, "pool"), "ok");
    ASSERT_TRUE(with_pool.register_agent("bot"));
    auto protocol_field = resolve(with_pool, "pool.market_spot:{\"A/B\"}");
    auto agent_field = resolve(with_pool, "bot.pool.pnl");
    ASSERT_FALSE(protocol_field);  // empty whitelist
    ASSERT_TRUE(agent_field);
    const auto without = SimulatorRegistry::with_builtin_entries();
    auto key = fields::data_key(without, *agent_field);
    ASSERT_FALSE(key);
    EXPECT_EQ(key.error().message, "Unknown protocol pool");
    EXPECT_EQ(*fields::data_key(with_pool, *agent_field), "bot.pool.pnl");
}

TEST(DataKey, FieldPairedWithAnotherKindOfParser) {
    // As persisted state can pair them: a global field under the common entry.
    const auto r = SimulatorRegistry::with_builtin_entries();
    fields::SimulationField f(fields::ProtocolField{
        fields::DynField(std::make_shared<fields::GlobalField>(fields::GlobalField::Kind::LastUpdate)),
        *names::IdentifierOrAddr::parse("common")});
    auto key = fields::data_key(r, f);
    ASSERT_FALSE(key);
    EXPECT_EQ(key.error().message, "Parser was switched during runtime");
}

// ---- persisted form -------------------------------------------------------------------

SimulatorRegistry sample() {
    auto r = SimulatorRegistry::with_builtin_entries();
    EXPECT_TRUE(r.register_agent("alice"));
    EXPECT_TRUE(r.register_agent("bob"));
    std::vector<std::string> tokens{"USDC", "WETH"};
    EXPECT_TRUE(fields_test::parser_of<fields::CommonFieldParser>(r).whitelist().register_all_str(std::span<const std::string>(tokens)));
    fields_test::parser_of<fields::AgentVariableParser>(r).variables()[*names::Identifier::parse("alice")].insert(
        *names::Identifier::parse("risk"));
    EXPECT_EQ(register_text(r, upper_address), "ok");
    return r;
}

TEST(RegistryPersisted, RecordWithTaggedParsers) {
    const auto v = SimulatorRegistry::with_builtin_entries().to_persisted();
    auto json = persist::to_json(v);
    ASSERT_TRUE(json);
    EXPECT_EQ(*json,
              "{\"base_parser\":{\"GlobalFieldParser\":{}},\"agents\":[],\"parsers\":{"
              "\"all\":{\"agent\":{\"AgentAnyProtocolFieldParser\":{\"whitelist\":[]}},\"protocol\":{\"EmptyFieldParser\":null}},"
              "\"variables\":{\"agent\":{\"AgentVariableParser\":{\"variables\":{}}},\"protocol\":{\"EmptyFieldParser\":null}},"
              "\"common\":{\"agent\":{\"EmptyFieldParser\":null},\"protocol\":{\"CommonFieldParser\":{\"whitelist\":[]}}}}}");
}

TEST(RegistryPersisted, RoundTripThroughBothCodecs) {
    const auto r = sample();
    const auto v = r.to_persisted();
    auto json = persist::to_json(v);
    ASSERT_TRUE(json);
    auto from_json = persist::from_json(*json);
    ASSERT_TRUE(from_json);
    auto bytes = persist::to_msgpack(v);
    ASSERT_TRUE(bytes);
    auto from_msgpack = persist::from_msgpack(*bytes);
    ASSERT_TRUE(from_msgpack);
    for (const auto* node : {&*from_json, &*from_msgpack}) {
        auto back = SimulatorRegistry::from_persisted(*node);
        ASSERT_TRUE(back) << back.error().message;
        EXPECT_EQ(back->to_persisted(), v);
        EXPECT_TRUE(back->has_agent("alice"));
        EXPECT_EQ(entry_tags(*back, lower_address), "CommonFieldParser/AgentAnyProtocolFieldParser");
        auto f = resolve(*back, "alice.variables.risk");
        ASSERT_TRUE(f);
        EXPECT_EQ(*fields::data_key(*back, *f), "alice.variables.risk");
    }
}

TEST(RegistryPersisted, ConfiguredProtocolKeepsItsKeys) {
    auto r = SimulatorRegistry::with_builtin_entries();
    ASSERT_TRUE(r.register_agent("alice"));
    auto config = fields::protocol_parser_config_from_json(
        R"({"name":"Pool","components":["Whitelist<Token>"],"protocol_metrics":[{"symbol":"dex_spot"}],)"
        R"("agent_metrics":[{"symbol":"token_amount","parameters":[{"name":"token","type":"Token","optional_name":true},)"
        R"({"name":"position","type":"Option<String>"}]}]})");
    ASSERT_TRUE(config) << config.error().message;
    const std::vector<persist::Value> values{persist::Array{"USDC", "WETH"}};
    auto parsers = fields::build_config_parsers(*config, values);
    ASSERT_TRUE(parsers) << parsers.error().message;
    ASSERT_TRUE(r.register_protocol("uni", std::move(parsers->protocol), std::move(parsers->agent)));

    const std::vector<std::pair<const char*, std::string>> cases{
        {"uni.dex_spot", "uni.dex_spot"},
        {"alice.uni.token_amount:{\"USDC\", position=\"p1\"}", "alice.uni.token_amount:{token=\"USDC\",position=\"p1\"}"},
        {"alice.uni.token_amount:{token=WETH}", "alice.uni.token_amount:{token=\"WETH\"}"},
    };
    auto bytes = persist::to_msgpack(r.to_persisted());
    ASSERT_TRUE(bytes);
    auto node = persist::from_msgpack(*bytes);
    ASSERT_TRUE(node);
    auto back = SimulatorRegistry::from_persisted(*node);
    ASSERT_TRUE(back) << back.error().message;
    for (const auto& [text, key] : cases) {
        auto f = resolve(r, text);
        ASSERT_TRUE(f) << text << ": " << f.error().chain_text();
        EXPECT_EQ(*fields::data_key(r, *f), key);
        EXPECT_EQ(*fields::data_key(*back, *f), key);
        auto g = resolve(*back, text);
        ASSERT_TRUE(g);
        EXPECT_EQ(*g, *f);
        auto f_back = fields::SimulationField::from_persisted(f->to_persisted());
        ASSERT_TRUE(f_back);
        EXPECT_EQ(*f_back, *f);
    }
}

struct RegistryReadCase {
    std::string label;
    std::string json;
    std::string error;
};
void PrintTo(const RegistryReadCase& c, std::ostream* os) { *os << c.label; }

class RegistryRead : public ::testing::TestWithParam<RegistryReadCase> {};

TEST_P(RegistryRead, Refuses) {
    auto v = persist::from_json(GetParam().json);
    ASSERT_TRUE(v) << v.error().message;
    auto r = SimulatorRegistry::from_persisted(*v);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().message, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryRead,
    ::testing::Values(
        RegistryReadCase{"missing_agents", R"({"base_parser":{"GlobalFieldParser":{}},"parsers":{}})",
                         "missing field `agents` at line 1 column 53"},
        RegistryReadCase{"unknown_parser_tag", R"({"base_parser":{"Nope":{}},"agents":[],"parsers":{}})",
                         "unknown variant `Nope`, expected one of `AgentVariableParser`, `AgentAnyProtocolFieldParser`, "
                         "`EmptyFieldParser`, `ConfigFieldParser`, `CommonFieldParser`, `GlobalFieldParser` at line 1 "
                         "column 22"},
        RegistryReadCase{"bad_agent", R"({"base_parser":{"GlobalFieldParser":{}},"agents":["1a"],"parsers":{}})",
                         "0: does not match pattern /^[a-zA-Z_][a-zA-Z0-9_]*$/\n at line 1 column 54"},
        RegistryReadCase{"bad_protocol_key",
                         R"({"base_parser":{"GlobalFieldParser":{}},"agents":[],"parsers":{"0x1":{"agent":{"EmptyFieldParser":null},"protocol":{"EmptyFieldParser":null}}}})",
                         "The address 0x1 should be a valid crypto address (^0x[0-9a-fA-F]{40}$) at line 1 column 68"},
        RegistryReadCase{"entry_missing_side",
                         R"({"base_parser":{"GlobalFieldParser":{}},"agents":[],"parsers":{"p":{"agent":{"EmptyFieldParser":null}}}})",
                         "missing field `protocol` at line 1 column 102"},
        RegistryReadCase{"two_tags", R"({"base_parser":{"GlobalFieldParser":{},"EmptyFieldParser":null},"agents":[],"parsers":{}})",
                         "invalid length 2, expected map with a single key at line 1 column 63"},
        RegistryReadCase{"empty_parser_with_payload", R"({"base_parser":{"EmptyFieldParser":{}},"agents":[],"parsers":{}})",
                         "invalid type: map, expected unit struct EmptyFieldParser at line 1 column 37"}),
    [](const ::testing::TestParamInfo<RegistryReadCase>& p) { return p.param.label; });

TEST(RegistryRead, UnknownKeysSkippedAndSequenceFormAccepted) {
    auto v = persist::from_json(R"({"extra":1,"base_parser":{"GlobalFieldParser":[]},"agents":["a","a"],"parsers":{}})");
    ASSERT_TRUE(v);
    auto r = SimulatorRegistry::from_persisted(*v);
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_EQ(r->agents().size(), 1u);
    auto seq = persist::from_json(R"([{"GlobalFieldParser":{}},[],{}])");
    ASSERT_TRUE(seq);
    EXPECT_TRUE(SimulatorRegistry::from_persisted(*seq));
}

}  // namespace
