#pragma once
// Helpers of the diagnostic text form shared by the node types: every type
// appends its text to one buffer so deep trees are written in linear time.
#include <string>
#include <vector>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::grammar {

class BoolExpr;
class Identifier;
class NumExpr;
class Statement;
class VecExpr;
class BoundExpr;
class TimeExpr;
struct Window;
struct RawIdentifier;

namespace debug_text {

void append(std::string& out, const NumExpr& e);
void append(std::string& out, const BoolExpr& e);
void append(std::string& out, const Statement& s);
void append(std::string& out, const Identifier& id);
void append(std::string& out, const VecExpr& v);
void append(std::string& out, const Window& w);
void append(std::string& out, const BoundExpr& b);
void append(std::string& out, const TimeExpr& t);
void append(std::string& out, const RawIdentifier& r);
// "NaN", or Normal(printed value).
void append(std::string& out, const decimal::Decimal& d);
// A string between double quotes, escaped.
void append_quoted(std::string& out, std::string_view s);

template <class T>
void append_list(std::string& out, const std::vector<T>& items) {
    out += '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) out += ", ";
        append(out, items[i]);
    }
    out += ']';
}

// Name(a, b) for a variant with two payloads.
template <class A, class B>
void append_pair(std::string& out, std::string_view name, const A& a, const B& b) {
    out += name;
    out += '(';
    append(out, a);
    out += ", ";
    append(out, b);
    out += ')';
}

template <class T>
std::string text_of(const T& value) {
    std::string out;
    append(out, value);
    return out;
}

}  // namespace debug_text
}  // namespace tarnel::grammar
