#include "tarnel/persist/utf8.hpp"

#include <cstdint>

#include <fmt/format.h>

namespace tarnel::persist {
namespace {

bool continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// The range the second byte of a sequence must fall in; excludes overlong
// forms, surrogates and code points above U+10FFFF.
bool second_byte_ok(std::uint8_t lead, std::uint8_t b) {
    switch (lead) {
        case 0xE0: return b >= 0xA0 && b <= 0xBF;
        case 0xED: return b >= 0x80 && b <= 0x9F;
        case 0xF0: return b >= 0x90 && b <= 0xBF;
        case 0xF4: return b >= 0x80 && b <= 0x8F;
        default: return continuation(b);
    }
}

std::size_t sequence_width(std::uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

std::optional<std::string> utf8_error(std::string_view bytes) {
    const std::size_t n = bytes.size();
    auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
    auto invalid = [](std::size_t i, std::size_t len) {
        return fmt::format("invalid utf-8 sequence of {} bytes from index {}", len, i);
    };
    auto incomplete = [](std::size_t i) { return fmt::format("incomplete utf-8 byte sequence from index {}", i); };
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t lead = at(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const std::size_t width = sequence_width(lead);
        if (width == 0) return invalid(i, 1);
        for (std::size_t k = 1; k < width; ++k) {
            if (i + k >= n) return incomplete(i);
            const bool ok = k == 1 ? second_byte_ok(lead, at(i + k)) : continuation(at(i + k));
            if (!ok) return invalid(i, k);
        }
        i += width;
    }
    return std::nullopt;
}

}  // namespace tarnel::persist
