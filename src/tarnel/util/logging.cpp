#include "tarnel/util/logging.hpp"

#include <spdlog/sinks/ansicolor_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace tarnel::util {

namespace {

std::optional<LogLevel> parse_level(std::string_view s) {
    std::string lower;
    for (char c : s) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "trace") return LogLevel::Trace;
    if (lower == "debug") return LogLevel::Debug;
    if (lower == "info") return LogLevel::Info;
    if (lower == "warn" || lower == "warning") return LogLevel::Warn;
    if (lower == "error") return LogLevel::Error;
    if (lower == "off") return LogLevel::Off;
    return std::nullopt;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool valid_utf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 4;
        if (extra == 4 || i + extra >= s.size() + (extra == 0 ? 1 : 0)) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

spdlog::level::level_enum to_spdlog(LogLevel l) {
    switch (l) {
        case LogLevel::Trace: return spdlog::level::trace;
        case LogLevel::Debug: return spdlog::level::debug;
        case LogLevel::Info: return spdlog::level::info;
        case LogLevel::Warn: return spdlog::level::warn;
        case LogLevel::Error: return spdlog::level::err;
        case LogLevel::Off: return spdlog::level::off;
    }
    return spdlog::level::off;
}

LogFilter& active_filter() {
    static LogFilter filter{{LogDirective{std::nullopt, LogLevel::Info}}};
    return filter;
}

std::string escape_value(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

}  // namespace

Result<LogFilter> parse_log_filter(std::string_view text) {
    LogFilter filter;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto comma = text.find(',', start);
        auto piece = trim(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        start = comma == std::string_view::npos ? text.size() + 1 : comma + 1;
        if (piece.empty()) continue;
        auto eq = piece.find('=');
        if (eq == std::string_view::npos) {
            if (auto level = parse_level(piece)) {
                filter.directives.push_back({std::nullopt, *level});
            } else {
                // A bare word is a target enabled at every level.
                filter.directives.push_back({std::string(piece), LogLevel::Trace});
            }
            continue;
        }
        if (piece.find('=', eq + 1) != std::string_view::npos) {
            return fail("invalid filter directive: too many '=' in \"" + std::string(piece) + "\"");
        }
        auto target = trim(piece.substr(0, eq));
        auto level_text = trim(piece.substr(eq + 1));
        auto level = parse_level(level_text);
        if (!level) return fail("invalid filter directive: unknown level \"" + std::string(level_text) + "\"");
        if (target.empty()) return fail("invalid filter directive: empty target in \"" + std::string(piece) + "\"");
        filter.directives.push_back({std::string(target), *level});
    }
    return filter;
}

bool LogFilter::enabled(std::string_view target, LogLevel level) const {
    // The most specific matching directive (longest target prefix) decides.
    const LogDirective* best = nullptr;
    std::size_t best_len = 0;
    for (const auto& d : directives) {
        if (!d.target) {
            if (!best) best = &d;
            continue;
        }
        const auto& t = *d.target;
        bool matches = target.substr(0, t.size()) == t && (target.size() == t.size() || target.substr(t.size(), 2) == "::");
        if (matches && t.size() + 1 > best_len) {
            best = &d;
            best_len = t.size() + 1;
        }
    }
    return best && best->level != LogLevel::Off && level >= best->level;
}

LogLevel LogFilter::most_verbose() const {
    LogLevel most = LogLevel::Off;
    for (const auto& d : directives)
        if (d.level < most) most = d.level;
    return most;
}

void init_logging_from_env() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* no_color = std::getenv("NO_COLOR");
        bool colour = !(no_color && *no_color && valid_utf8(no_color));

        LogFilter filter{{LogDirective{std::nullopt, LogLevel::Info}}};
        if (const char* raw = std::getenv(log_filter_variable)) {
            std::string_view value(raw);
            if (!valid_utf8(value)) {
                std::fprintf(stderr, "Ignoring `%s`: environment variable was not valid unicode\n", log_filter_variable);
            } else if (auto parsed = parse_log_filter(value)) {
                filter = std::move(*parsed);
            } else {
                std::fprintf(stderr, "Ignoring `%s=%s`: %s\n", log_filter_variable, escape_value(value).c_str(),
                             parsed.error().message.c_str());
                filter = LogFilter{};
            }
        }
        active_filter() = filter;

        auto sink = std::make_shared<spdlog::sinks::ansicolor_stdout_sink_mt>(colour ? spdlog::color_mode::always
                                                                                     : spdlog::color_mode::never);
        auto logger = std::make_shared<spdlog::logger>("tarnel", sink);
        logger->set_pattern("%Y-%m-%dT%H:%M:%S.%fZ %^%5l%$ %v", spdlog::pattern_time_type::utc);
        logger->set_level(to_spdlog(filter.most_verbose()));
        logger->flush_on(spdlog::level::trace);
        spdlog::set_default_logger(logger);
    });
}

void log(LogLevel level, std::string_view target, std::string_view message) {
    if (!active_filter().enabled(target, level)) return;
    spdlog::default_logger_raw()->log(to_spdlog(level), "{}: {}", target, message);
}

}  // namespace tarnel::util
