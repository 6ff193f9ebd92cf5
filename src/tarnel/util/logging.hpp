#pragma once
// Process-wide log set-up from the environment: TARNEL_LOG (filter
// directives) and NO_COLOR.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/util/error.hpp"

namespace tarnel::util {

enum class LogLevel { Trace, Debug, Info, Warn, Error, Off };

struct LogDirective {
    std::optional<std::string> target;  // none: every target
    LogLevel level;
};

struct LogFilter {
    std::vector<LogDirective> directives;  // empty: nothing enabled
    [[nodiscard]] bool enabled(std::string_view target, LogLevel level) const;
    [[nodiscard]] LogLevel most_verbose() const;  // Off when nothing is enabled
};

// "level" or "target=level", comma separated; empty text enables nothing.
Result<LogFilter> parse_log_filter(std::string_view text);

inline constexpr const char* log_filter_variable = "TARNEL_LOG";

// Reads the environment, reports problems on standard error, installs the
// default logger (one line per record on standard output). Idempotent.
void init_logging_from_env();

// Logs through the process-wide logger with a target name.
void log(LogLevel level, std::string_view target, std::string_view message);

}  // namespace tarnel::util
