#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>

#include "tarnel/timeseries/instant.hpp"

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;
using tarnel::timeseries::Duration;
using tarnel::timeseries::Instant;
namespace ts = tarnel::timeseries;

constexpr Instant day(year_month_day d) { return Instant(sys_days(d)); }

struct TruncationCase {
    Duration d;
    std::int64_t ms;
    std::int64_t s;
};
class Truncation : public testing::TestWithParam<TruncationCase> {};
TEST_P(Truncation, TowardZero) {
    EXPECT_EQ(ts::whole_milliseconds(GetParam().d), GetParam().ms);
    EXPECT_EQ(ts::whole_seconds(GetParam().d), GetParam().s);
}
INSTANTIATE_TEST_SUITE_P(Durations, Truncation,
                         testing::Values(TruncationCase{1500ms, 1500, 1}, TruncationCase{-1500ms, -1500, -1},
                                         TruncationCase{Duration(1'999'999), 1, 0},
                                         TruncationCase{Duration(-1'999'999), -1, 0},
                                         TruncationCase{Duration(-999'999'999), -999, 0},
                                         TruncationCase{86400s, 86'400'000, 86400}));

TEST(MillisecondsBetween, TruncatesAndSpansTheWholeRange) {
    const Instant t0 = day(2024y / 1 / 1);
    EXPECT_EQ(ts::whole_milliseconds_between(t0, t0 + 12h), 43'200'000);
    EXPECT_EQ(ts::whole_milliseconds_between(t0 + Duration(1'500'000), t0), -1);
    EXPECT_EQ(ts::whole_milliseconds_between(t0, t0 - Duration(2'500'000)), -2);
    // The two ends of the range are more than 2^63 ns apart; milliseconds still fit.
    EXPECT_EQ(ts::whole_milliseconds_between(Instant::min(), Instant::max()),
              static_cast<std::int64_t>((static_cast<__int128>(INT64_MAX) - INT64_MIN) / 1'000'000));
}

TEST(SplitDuration, NanosecondsStayNonNegative) {
    EXPECT_EQ(ts::split_duration(Duration(1'500'000'000)), (ts::DurationParts{1, 500'000'000}));
    EXPECT_EQ(ts::split_duration(Duration(-1'500'000'000)), (ts::DurationParts{-2, 500'000'000}));
    EXPECT_EQ(ts::split_duration(-1s), (ts::DurationParts{-1, 0}));
}

TEST(CheckedArithmetic, ReportsLeavingTheRange) {
    const Instant t0 = day(2024y / 1 / 1);
    EXPECT_EQ(ts::checked_add(t0, 1h).value(), t0 + 1h);
    EXPECT_EQ(ts::checked_sub(t0, 1h).value(), t0 - 1h);
    EXPECT_EQ(ts::checked_difference(t0 + 1h, t0).value(), 1h);
    EXPECT_EQ(ts::checked_mul(Duration(60s), -3).value(), -180s);
    EXPECT_EQ(ts::checked_add(Duration(1s), Duration(2s)).value(), 3s);

    EXPECT_EQ(ts::checked_add(Instant::max(), Duration(1)).error().message, "Instant out of the representable range");
    EXPECT_EQ(ts::checked_sub(Instant::min(), Duration(1)).error().message, "Instant out of the representable range");
    EXPECT_FALSE(ts::checked_difference(Instant::max(), Instant::min()).has_value());
    EXPECT_EQ(ts::checked_mul(Duration(minutes(1)), std::int64_t{1} << 40).error().message,
              "Duration out of the representable range");
    EXPECT_FALSE(ts::checked_add(Duration::max(), Duration(1)).has_value());
}

struct DebugCase {
    std::optional<Duration> d;
    const char* text;
};
class DebugNotation : public testing::TestWithParam<DebugCase> {};
TEST_P(DebugNotation, ShowsNoneOrSecondsAndNanoseconds) {
    EXPECT_EQ(ts::debug_duration(GetParam().d), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Durations, DebugNotation,
                         testing::Values(DebugCase{std::nullopt, "none"}, DebugCase{Duration(86400s), "86400s"},
                                         DebugCase{Duration(0), "0s"}, DebugCase{Duration(500ms), "0.500000000s"},
                                         DebugCase{Duration(-1250ms), "-1.250000000s"},
                                         DebugCase{Duration(3600s) + Duration(7), "3600.000000007s"},
                                         DebugCase{Duration::min(), "-9223372036.854775808s"}));

TEST(EpochSeconds, EveryUnsignedValueMaps) {
    const std::uint32_t seconds[] = {0, 86399, 86400, 1'704'067'200, std::numeric_limits<std::uint32_t>::max()};
    auto out = ts::generate_datetimes_from_epoch(seconds);
    ASSERT_EQ(out.size(), 5U);
    EXPECT_EQ(ts::format_rfc3339(out[0]), "1970-01-01T00:00:00Z");
    EXPECT_EQ(ts::format_rfc3339(out[1]), "1970-01-01T23:59:59Z");
    EXPECT_EQ(ts::format_rfc3339(out[2]), "1970-01-02T00:00:00Z");
    EXPECT_EQ(ts::format_rfc3339(out[3]), "2024-01-01T00:00:00Z");
    EXPECT_EQ(ts::format_rfc3339(out[4]), "2106-02-07T06:28:15Z");
    EXPECT_TRUE(ts::generate_datetimes_from_epoch({}).empty());
}

struct FormatCase {
    Instant t;
    const char* text;
};
class Format : public testing::TestWithParam<FormatCase> {};
TEST_P(Format, FewestExactFractionDigits) { EXPECT_EQ(ts::format_rfc3339(GetParam().t), GetParam().text); }
INSTANTIATE_TEST_SUITE_P(
    Instants, Format,
    testing::Values(FormatCase{day(2024y / 1 / 1), "2024-01-01T00:00:00Z"},
                    FormatCase{day(2024y / 1 / 1) + 500ms, "2024-01-01T00:00:00.500Z"},
                    FormatCase{day(2024y / 1 / 1) + 1us, "2024-01-01T00:00:00.000001Z"},
                    FormatCase{day(2024y / 1 / 1) + 123'456'700ns, "2024-01-01T00:00:00.123456700Z"},
                    FormatCase{day(2024y / 2 / 29) + 23h + 59min + 59s, "2024-02-29T23:59:59Z"},
                    FormatCase{day(1969y / 12 / 31) + 23h + 59min + 59s + 999ms, "1969-12-31T23:59:59.999Z"},
                    FormatCase{Instant::min(), "1677-09-21T00:12:43.145224192Z"},
                    FormatCase{Instant::max(), "2262-04-11T23:47:16.854775807Z"}));

struct ParseCase {
    const char* text;
    Instant t;
};
class Parse : public testing::TestWithParam<ParseCase> {};
TEST_P(Parse, ConvertsToUtc) {
    auto got = ts::parse_rfc3339(GetParam().text);
    ASSERT_TRUE(got.has_value()) << got.error().message;
    EXPECT_EQ(*got, GetParam().t) << ts::format_rfc3339(*got);
}
INSTANTIATE_TEST_SUITE_P(
    Texts, Parse,
    testing::Values(ParseCase{"2024-01-01T00:00:00Z", day(2024y / 1 / 1)},
                    ParseCase{"2024-01-01t00:00:00z", day(2024y / 1 / 1)},
                    ParseCase{"2024-01-01 00:00:00Z", day(2024y / 1 / 1)},
                    ParseCase{"2024-01-01T02:00:00+02:00", day(2024y / 1 / 1)},
                    ParseCase{"2023-12-31T19:30:00-04:30", day(2024y / 1 / 1)},
                    ParseCase{"2024-01-01T00:00:00-00:00", day(2024y / 1 / 1)},
                    ParseCase{"2024-01-01T00:00:00.5Z", day(2024y / 1 / 1) + 500ms},
                    ParseCase{"2024-01-01T00:00:00.123456789987Z", day(2024y / 1 / 1) + 123'456'789ns},
                    ParseCase{"2016-12-31T23:59:60Z", day(2017y / 1 / 1)},
                    ParseCase{"1970-01-01T00:00:00+23:59", day(1970y / 1 / 1) - 23h - 59min},
                    ParseCase{"2262-04-11T23:47:16.854775807Z", Instant::max()},
                    ParseCase{"1677-09-21T00:12:43.145224192Z", Instant::min()}));

class RoundTrip : public testing::TestWithParam<Instant> {};
TEST_P(RoundTrip, FormatThenParse) {
    auto back = ts::parse_rfc3339(ts::format_rfc3339(GetParam()));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, GetParam());
}
INSTANTIATE_TEST_SUITE_P(Instants, RoundTrip,
                         testing::Values(day(2024y / 1 / 1), day(2024y / 1 / 1) + 1ns, day(2024y / 1 / 1) - 1ns,
                                         day(1900y / 3 / 1) + 17ms, day(2106y / 2 / 7) + 6h + 28min + 15s,
                                         Instant::min(), Instant::max()));

struct BadCase {
    const char* text;
    const char* message;
};
class Rejects : public testing::TestWithParam<BadCase> {};
TEST_P(Rejects, WithAClearMessage) {
    auto got = ts::parse_rfc3339(GetParam().text);
    ASSERT_FALSE(got.has_value());
    EXPECT_EQ(got.error().message, GetParam().message);
}
INSTANTIATE_TEST_SUITE_P(
    Texts, Rejects,
    testing::Values(
        BadCase{"", "Invalid RFC 3339 date-time '': expected a date YYYY-MM-DD"},
        BadCase{"2024-1-01T00:00:00Z", "Invalid RFC 3339 date-time '2024-1-01T00:00:00Z': expected a date YYYY-MM-DD"},
        BadCase{"2024-01-01X00:00:00Z",
                "Invalid RFC 3339 date-time '2024-01-01X00:00:00Z': expected 'T' between date and time"},
        BadCase{"2024-01-01T00:00Z", "Invalid RFC 3339 date-time '2024-01-01T00:00Z': expected a time hh:mm:ss"},
        BadCase{"2024-01-01T00:00:00", "Invalid RFC 3339 date-time '2024-01-01T00:00:00': expected an offset 'Z', "
                                       "'+hh:mm' or '-hh:mm'"},
        BadCase{"2024-01-01T00:00:00.Z", "Invalid RFC 3339 date-time '2024-01-01T00:00:00.Z': expected digits after '.'"},
        BadCase{"2024-01-01T00:00:00+0200",
                "Invalid RFC 3339 date-time '2024-01-01T00:00:00+0200': expected an offset +hh:mm or -hh:mm"},
        BadCase{"2024-01-01T00:00:00+24:00", "Invalid RFC 3339 date-time '2024-01-01T00:00:00+24:00': offset out of range"},
        BadCase{"2024-01-01T00:00:00Z ",
                "Invalid RFC 3339 date-time '2024-01-01T00:00:00Z ': unexpected text after the offset"},
        BadCase{"2023-02-29T00:00:00Z", "Invalid RFC 3339 date-time '2023-02-29T00:00:00Z': no such calendar date"},
        BadCase{"2024-13-01T00:00:00Z", "Invalid RFC 3339 date-time '2024-13-01T00:00:00Z': no such calendar date"},
        BadCase{"2024-01-01T24:00:00Z", "Invalid RFC 3339 date-time '2024-01-01T24:00:00Z': time of day out of range"},
        BadCase{"2024-01-01T00:00:61Z", "Invalid RFC 3339 date-time '2024-01-01T00:00:61Z': time of day out of range"},
        BadCase{"2262-04-11T23:47:16.854775808Z",
                "RFC 3339 date-time '2262-04-11T23:47:16.854775808Z' is outside the representable range "
                "1677-09-21T00:12:43.145224192Z to 2262-04-11T23:47:16.854775807Z"},
        BadCase{"0000-01-01T00:00:00Z",
                "RFC 3339 date-time '0000-01-01T00:00:00Z' is outside the representable range "
                "1677-09-21T00:12:43.145224192Z to 2262-04-11T23:47:16.854775807Z"}));

TEST(Parse, QuotesOnlyTheStartOfLongInput) {
    std::string junk(10'000, 'x');
    auto got = ts::parse_rfc3339(junk);
    ASSERT_FALSE(got.has_value());
    EXPECT_LT(got.error().message.size(), 200U);
}

TEST(Parse, FractionOfAnyLengthIsTruncated) {
    std::string text = "2024-01-01T00:00:00." + std::string(5000, '9') + "Z";
    auto got = ts::parse_rfc3339(text);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, day(2024y / 1 / 1) + 999'999'999ns);
}

}  // namespace
