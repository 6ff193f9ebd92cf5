#pragma once
// Token scanners shared by the program parser and the composed-identifier
// parser. Each returns the end of the match, or `no_match`; none records errors.
#include <cstddef>
#include <string_view>

namespace tarnel::grammar::lexical {

inline constexpr std::size_t no_match = static_cast<std::size_t>(-1);

constexpr bool is_ident_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
constexpr bool is_ident_char(char c) { return is_ident_start(c) || (c >= '0' && c <= '9'); }
constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Space, tab and line feed only.
inline std::size_t skip_ws(std::string_view t, std::size_t p) {
    while (p < t.size() && (t[p] == ' ' || t[p] == '\t' || t[p] == '\n')) ++p;
    return p;
}

inline bool at(std::string_view t, std::size_t p, std::string_view token) { return t.substr(p).starts_with(token); }

inline std::size_t identifier(std::string_view t, std::size_t p) {
    if (p >= t.size() || !is_ident_start(t[p])) return no_match;
    ++p;
    while (p < t.size() && is_ident_char(t[p])) ++p;
    return p;
}

// "0x" and exactly 40 hexadecimal digits; a 41st digit is left over.
inline std::size_t address(std::string_view t, std::size_t p) {
    constexpr std::size_t digits = 40;
    if (!at(t, p, "0x") || t.size() - p < 2 + digits) return no_match;
    for (std::size_t i = p + 2; i < p + 2 + digits; ++i)
        if (!is_hex(t[i])) return no_match;
    return p + 2 + digits;
}

inline std::size_t component(std::string_view t, std::size_t p) {
    std::size_t e = identifier(t, p);
    return e != no_match ? e : address(t, p);
}

// "0" alone, or a non-zero digit and any digits.
inline std::size_t integer(std::string_view t, std::size_t p) {
    if (p >= t.size() || !is_digit(t[p])) return no_match;
    if (t[p] == '0') return p + 1;
    ++p;
    while (p < t.size() && is_digit(t[p])) ++p;
    return p;
}

inline std::size_t relative_integer(std::string_view t, std::size_t p) {
    if (p < t.size() && (t[p] == '+' || t[p] == '-')) ++p;
    return integer(t, p);
}

// The fraction after an integer part: "." and any digits, or nothing.
inline std::size_t fraction(std::string_view t, std::size_t p) {
    if (p >= t.size() || t[p] != '.') return p;
    ++p;
    while (p < t.size() && is_digit(t[p])) ++p;
    return p;
}

// An exponent: a letter e and a relative integer, or nothing.
inline std::size_t exponent(std::string_view t, std::size_t p) {
    if (p >= t.size() || (t[p] != 'e' && t[p] != 'E')) return p;
    std::size_t e = relative_integer(t, p + 1);
    return e == no_match ? p : e;
}

inline std::size_t float_number(std::string_view t, std::size_t p) {
    std::size_t e = relative_integer(t, p);
    if (e == no_match) return no_match;
    return exponent(t, fraction(t, e));
}

// A double-quoted text without escapes; returns the end after the closing quote.
inline std::size_t quoted(std::string_view t, std::size_t p) {
    if (p >= t.size() || t[p] != '"') return no_match;
    std::size_t close = t.find('"', p + 1);
    return close == std::string_view::npos ? no_match : close + 1;
}

}  // namespace tarnel::grammar::lexical
