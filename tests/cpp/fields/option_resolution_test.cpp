#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "field_test_support.hpp"
#include "tarnel/fields/option_resolution.hpp"

using namespace tarnel;
using fields::FromOptionError;
using fields::OptionParameter;
using fields_test::composed;

namespace {

util::Result<std::string> convert(std::string_view text) {
    if (text == "bad") return util::fail("cannot convert bad");
    return std::string(text);
}

// a: positional, required; b: named only, optional; c: positional, optional.
const std::array<OptionParameter<std::string>, 3> parameters{
    OptionParameter<std::string>{"a", true, true, convert},
    OptionParameter<std::string>{"b", false, false, convert},
    OptionParameter<std::string>{"c", true, false, convert},
};

std::string render(const util::Result<std::vector<std::optional<std::string>>>& r) {
    if (!r) return r.error().message;
    std::string out;
    for (const auto& v : *r) {
        if (!out.empty()) out += ',';
        out += v.value_or("-");
    }
    return out;
}

struct ResolveCase {
    std::string label;
    std::string text;
    std::string expected;  // values joined by "," ("-" for none), or the error
};
void PrintTo(const ResolveCase& c, std::ostream* os) { *os << c.text; }

class Resolve : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(Resolve, FollowsTheSteps) {
    const auto id = composed(GetParam().text);
    EXPECT_EQ(render(fields::resolve_options<std::string>(parameters, id)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Resolve,
    ::testing::Values(
        ResolveCase{"positional", "m:{\"1\"}", "1,-,-"},
        ResolveCase{"named", "m:{a=\"1\", b=\"2\", c=\"3\"}", "1,2,3"},
        ResolveCase{"positions_count_every_parameter", "m:{\"1\", b=\"2\", c=\"3\"}", "1,2,3"},
        ResolveCase{"third_positional_is_c", "m:{\"1\", c=\"3\"}", "1,-,3"},
        ResolveCase{"last_repeated_key_wins", "m:{a=\"1\", a=\"2\"}", "2,-,-"},
        ResolveCase{"missing_required", "m", "Missing named positional parameter a(0)"},
        ResolveCase{"missing_required_with_others", "m:{b=\"2\"}", "Missing named positional parameter a(0)"},
        ResolveCase{"duplicate_named_value_first", "m:{\"1\", a=\"2\"}", "Duplicate parameter a: 2 and 1 at position 0"},
        ResolveCase{"duplicate_after_last_wins", "m:{a=\"x\", \"1\", a=\"y\"}", "Duplicate parameter a: y and 1 at position 0"},
        ResolveCase{"named_only_parameter_has_no_position", "m:{\"1\", \"2\"}", "Unknown positional parameter 1: 2"},
        ResolveCase{"surplus_positional", "m:{\"1\", \"2\", \"3\", \"4\"}", "Unknown positional parameter 1: 2"},
        ResolveCase{"unknown_keys_sorted", "m:{\"1\", z=\"1\", y=\"2\"}", "Unknown named parameter y: 2"},
        ResolveCase{"shorter_key_first", "m:{\"1\", zz=\"1\", z=\"2\"}", "Unknown named parameter z: 2"},
        ResolveCase{"unknown_named_before_positional", "m:{\"1\", \"2\", q=\"9\"}", "Unknown named parameter q: 9"},
        ResolveCase{"conversion_failure_stops_first", "m:{\"bad\", q=\"9\"}", "cannot convert bad"},
        ResolveCase{"conversion_before_later_duplicate", "m:{\"bad\", \"x\", \"y\", c=\"z\"}", "cannot convert bad"},
        ResolveCase{"named_only_conversion_failure", "m:{\"1\", b=\"bad\", \"x\", \"y\", c=\"z\"}", "cannot convert bad"},
        ResolveCase{"later_duplicate_after_good_conversions", "m:{\"1\", \"x\", \"y\", c=\"z\"}",
                    "Duplicate parameter c: z and y at position 2"}),
    [](const ::testing::TestParamInfo<ResolveCase>& p) { return p.param.label; });

TEST(Resolve, NamedOnlyRequiredParameterReportsItsIndex) {
    const std::array<OptionParameter<std::string>, 2> list{
        OptionParameter<std::string>{"x", true, false, convert},
        OptionParameter<std::string>{"p", false, true, convert},
    };
    const auto id = composed("m:{\"1\"}");
    EXPECT_EQ(render(fields::resolve_options<std::string>(list, id)), "Missing named positional parameter p(1)");
}

struct RejectCase {
    std::string text;
    std::string expected;
};
void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.text; }

class Reject : public ::testing::TestWithParam<RejectCase> {};

TEST_P(Reject, NamedThenPositional) {
    const auto id = composed(GetParam().text);
    auto r = fields::reject_options(id);
    EXPECT_EQ(r ? std::string("ok") : r.error().message, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Reject,
                         ::testing::Values(RejectCase{"m", "ok"},
                                           RejectCase{"m:{x=\"1\"}", "Unknown named parameter x: 1"},
                                           RejectCase{"m:{\"1\"}", "Unknown positional parameter 0: 1"},
                                           RejectCase{"m:{\"1\", x=1}", "Unknown named parameter x: 1"},
                                           RejectCase{"m:{b=1, a=2}", "Unknown named parameter a: 2"}));

TEST(FromOptionErrorText, EveryVariant) {
    EXPECT_EQ((FromOptionError{FromOptionError::UnknownPositionalParameter{3, "v"}}.message()),
              "Unknown positional parameter 3: v");
    EXPECT_EQ((FromOptionError{FromOptionError::UnknownNamedParameter{"k", "v"}}.message()), "Unknown named parameter k: v");
    EXPECT_EQ((FromOptionError{FromOptionError::MissingNamedParameter{"k"}}.message()), "Missing named parameter k");
    EXPECT_EQ((FromOptionError{FromOptionError::MissingNamedPosParameter{"k", 2}}.message()),
              "Missing named positional parameter k(2)");
    EXPECT_EQ((FromOptionError{FromOptionError::DuplicateParameter{"k", "n", "p", 1}}.message()),
              "Duplicate parameter k: n and p at position 1");
}

}  // namespace
