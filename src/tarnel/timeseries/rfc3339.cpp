// Text form of instants (declared in instant.hpp).
#include <fmt/format.h>

#include <cstdint>

#include "tarnel/timeseries/instant.hpp"

namespace tarnel::timeseries {

namespace {

using std::chrono::days;
using std::chrono::sys_days;

constexpr std::size_t max_quoted = 64;

std::string quoted(std::string_view text) {
    if (text.size() <= max_quoted) return fmt::format("'{}'", text);
    return fmt::format("'{}...'", text.substr(0, max_quoted));
}

util::Error syntax_error(std::string_view text, std::string_view why) {
    return util::Error(fmt::format("Invalid RFC 3339 date-time {}: {}", quoted(text), why));
}

// Reads exactly `width` ASCII digits at `pos`.
std::optional<int> digits(std::string_view text, std::size_t pos, std::size_t width) {
    if (pos + width > text.size()) return std::nullopt;
    int v = 0;
    for (std::size_t i = pos; i < pos + width; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

bool at(std::string_view text, std::size_t pos, char c) { return pos < text.size() && text[pos] == c; }

struct Fields {
    int year, month, day, hour, minute, second;
    std::int64_t nanos = 0;
    int offset_seconds = 0;
};

// Fixed-width layout: YYYY-MM-DD?hh:mm:ss[.f+](Z|+hh:mm|-hh:mm)
util::Result<Fields> scan(std::string_view text) {
    Fields f{};
    auto year = digits(text, 0, 4);
    auto month = at(text, 4, '-') ? digits(text, 5, 2) : std::nullopt;
    auto day = at(text, 7, '-') ? digits(text, 8, 2) : std::nullopt;
    if (!year || !month || !day) return util::fail(syntax_error(text, "expected a date YYYY-MM-DD"));
    if (!(at(text, 10, 'T') || at(text, 10, 't') || at(text, 10, ' ')))
        return util::fail(syntax_error(text, "expected 'T' between date and time"));
    auto hour = digits(text, 11, 2);
    auto minute = at(text, 13, ':') ? digits(text, 14, 2) : std::nullopt;
    auto second = at(text, 16, ':') ? digits(text, 17, 2) : std::nullopt;
    if (!hour || !minute || !second) return util::fail(syntax_error(text, "expected a time hh:mm:ss"));
    f.year = *year, f.month = *month, f.day = *day, f.hour = *hour, f.minute = *minute, f.second = *second;

    std::size_t pos = 19;
    if (at(text, pos, '.')) {
        ++pos;
        std::size_t start = pos;
        int kept = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (kept < 9) {
                f.nanos = f.nanos * 10 + (text[pos] - '0');
                ++kept;
            }
            ++pos;
        }
        if (pos == start) return util::fail(syntax_error(text, "expected digits after '.'"));
        for (; kept < 9; ++kept) f.nanos *= 10;
    }

    if (at(text, pos, 'Z') || at(text, pos, 'z')) {
        ++pos;
    } else if (at(text, pos, '+') || at(text, pos, '-')) {
        int sign = text[pos] == '-' ? -1 : 1;
        auto oh = digits(text, pos + 1, 2);
        auto om = at(text, pos + 3, ':') ? digits(text, pos + 4, 2) : std::nullopt;
        if (!oh || !om) return util::fail(syntax_error(text, "expected an offset +hh:mm or -hh:mm"));
        if (*oh > 23 || *om > 59) return util::fail(syntax_error(text, "offset out of range"));
        f.offset_seconds = sign * (*oh * 3600 + *om * 60);
        pos += 6;
    } else {
        return util::fail(syntax_error(text, "expected an offset 'Z', '+hh:mm' or '-hh:mm'"));
    }
    if (pos != text.size()) return util::fail(syntax_error(text, "unexpected text after the offset"));
    return f;
}

util::Result<Instant> to_instant(std::string_view text, const Fields& f) {
    std::chrono::year_month_day date{std::chrono::year(f.year), std::chrono::month(static_cast<unsigned>(f.month)),
                                     std::chrono::day(static_cast<unsigned>(f.day))};
    if (!date.ok()) return util::fail(syntax_error(text, "no such calendar date"));
    if (f.hour > 23 || f.minute > 59 || f.second > 60) return util::fail(syntax_error(text, "time of day out of range"));

    // Years 0000-9999 keep every intermediate well inside 64 bits of seconds.
    std::int64_t secs = static_cast<std::int64_t>(sys_days(date).time_since_epoch().count()) * 86400 +
                        f.hour * 3600 + f.minute * 60 + f.second - f.offset_seconds;
    // The earliest instant has a negative whole second below the range, so
    // the total is formed in 128 bits before the range check.
    const __int128 nanos = static_cast<__int128>(secs) * 1'000'000'000 + f.nanos;
    if (nanos < INT64_MIN || nanos > INT64_MAX) {
        return util::fail(fmt::format(
            "RFC 3339 date-time {} is outside the representable range 1677-09-21T00:12:43.145224192Z to "
            "2262-04-11T23:47:16.854775807Z",
            quoted(text)));
    }
    return Instant(Duration(static_cast<std::int64_t>(nanos)));
}

}  // namespace

std::string format_rfc3339(Instant t) {
    // Split by hand: the day of the earliest instant starts before the range.
    constexpr std::int64_t nanos_per_day = 86'400'000'000'000;
    const std::int64_t count = t.time_since_epoch().count();
    std::int64_t day_number = count / nanos_per_day;
    std::int64_t in_day = count % nanos_per_day;
    if (in_day < 0) {
        in_day += nanos_per_day;
        day_number -= 1;
    }
    std::chrono::year_month_day date{sys_days(days(day_number))};
    auto secs = in_day / 1'000'000'000;
    auto nanos = in_day % 1'000'000'000;
    std::string out = fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", static_cast<int>(date.year()),
                                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), secs / 3600,
                                  secs / 60 % 60, secs % 60);
    if (nanos != 0) {
        if (nanos % 1'000'000 == 0)
            out += fmt::format(".{:03}", nanos / 1'000'000);
        else if (nanos % 1000 == 0)
            out += fmt::format(".{:06}", nanos / 1000);
        else
            out += fmt::format(".{:09}", nanos);
    }
    out += 'Z';
    return out;
}

util::Result<Instant> parse_rfc3339(std::string_view text) {
    auto fields = scan(text);
    if (!fields) return util::fail(std::move(fields.error()));
    return to_instant(text, *fields);
}

}  // namespace tarnel::timeseries
