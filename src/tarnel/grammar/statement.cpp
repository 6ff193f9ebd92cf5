#include "tarnel/grammar/statement.hpp"

#include <algorithm>

#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::grammar {

bool Statement::IfElse::operator==(const IfElse& o) const {
    return condition == o.condition && then_branch == o.then_branch && else_branch == o.else_branch;
}

std::string Statement::debug() const { return debug_text::text_of(*this); }

void Statement::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    if (const auto* a = std::get_if<Assign>(&v_)) {
        h.write_str(a->name);
        a->value.hash_feed(h);
    } else if (const auto* c = std::get_if<IfElse>(&v_)) {
        c->condition.hash_feed(h);
        hash_statements(h, c->then_branch);
        hash_statements(h, c->else_branch);
    } else {
        std::get<Return>(v_).value.hash_feed(h);
    }
}

std::string debug_statements(const std::vector<Statement>& statements) {
    std::string out;
    debug_text::append_list(out, statements);
    return out;
}

void hash_statements(util::SipHasher13& h, const std::vector<Statement>& statements) {
    h.write_index(statements.size());
    for (const auto& s : statements) s.hash_feed(h);
}

std::size_t tree_depth(const Statement& s) {
    if (const auto* a = s.get_if<Statement::Assign>()) return 1 + tree_depth(a->value);
    if (const auto* r = s.get_if<Statement::Return>()) return 1 + tree_depth(r->value);
    const auto& c = std::get<Statement::IfElse>(s.variant());
    return 1 + std::max({tree_depth(c.condition), tree_depth(c.then_branch), tree_depth(c.else_branch)});
}

std::size_t tree_depth(const std::vector<Statement>& statements) {
    std::size_t deepest = 0;
    for (const auto& s : statements) deepest = std::max(deepest, tree_depth(s));
    return deepest;
}

void debug_text::append(std::string& out, const Statement& s) {
    if (const auto* a = s.get_if<Statement::Assign>()) {
        out += "Assign(";
        append_quoted(out, a->name);
        out += ", ";
        append(out, a->value);
    } else if (const auto* c = s.get_if<Statement::IfElse>()) {
        out += "IfElse(";
        append(out, c->condition);
        out += ", ";
        append_list(out, c->then_branch);
        out += ", ";
        append_list(out, c->else_branch);
    } else {
        out += "Return(";
        append(out, std::get<Statement::Return>(s.variant()).value);
    }
    out += ')';
}

}  // namespace tarnel::grammar
