#include "tarnel/util/shared_string.hpp"

#include <fmt/format.h>

namespace tarnel::util {

const std::shared_ptr<const std::string>& SharedString::empty_text() {
    static const auto empty = std::make_shared<const std::string>();
    return empty;
}

std::string SharedString::debug() const { return "SharedString(" + debug_quote(view()) + ")"; }

namespace {
// Decodes one UTF-8 sequence at `i`; returns the code point and advances `i`.
// Invalid bytes are returned as themselves (U+FFFD is not substituted).
char32_t next_code_point(std::string_view s, std::size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    int len = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 1;
    if (i + static_cast<std::size_t>(len) > s.size()) len = 1;
    char32_t cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += static_cast<std::size_t>(len);
    return cp;
}
}  // namespace

std::string debug_quote(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t start = i;
        char32_t cp = next_code_point(text, i);
        switch (cp) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
                    out += fmt::format("\\u{{{:x}}}", static_cast<std::uint32_t>(cp));
                } else {
                    out.append(text.substr(start, i - start));
                }
        }
    }
    out += '"';
    return out;
}

}  // namespace tarnel::util
