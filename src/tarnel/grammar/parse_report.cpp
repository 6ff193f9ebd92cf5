#include "tarnel/grammar/parse_report.hpp"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ranges.h>

namespace tarnel::grammar {

std::string error_location(std::string_view text, std::size_t pos) {
    pos = std::min(pos, text.size());
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < pos; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {  // not a UTF-8 continuation byte
            ++column;
        }
    }
    return fmt::format("error at {}:{}: ", line, column);
}

util::Error ParseReport::error(std::string_view text) const {
    std::vector<std::string_view> sorted = names_;
    std::sort(sorted.begin(), sorted.end());
    std::string expected;
    if (sorted.empty()) {
        expected = "<unreported>";
    } else if (sorted.size() == 1) {
        expected = sorted.front();
    } else {
        expected = fmt::format("one of {}", fmt::join(sorted, ", "));
    }
    return util::Error(error_location(text, furthest_) + "expected " + expected);
}

}  // namespace tarnel::grammar
