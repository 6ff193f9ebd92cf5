#include "tree_shape.hpp"

#include <type_traits>

namespace tarnel::grammar::testing {

namespace {

std::string id_shape(const Identifier& id) {
    if (const auto* u = id.get_if<Identifier::Unchecked>()) return u->raw.display();
    if (const auto* l = id.get_if<Identifier::Local>()) return "local " + l->name;
    return "field";
}

template <class T>
std::string pair(const char* name, const T& a, const T& b) {
    return std::string(name) + "(" + shape(a) + ", " + shape(b) + ")";
}

}  // namespace

std::string shape(const NumExpr& e) {
    return std::visit(
        [](const auto& n) -> std::string {
            using T = std::decay_t<decltype(n)>;
            if constexpr (std::is_same_v<T, NumExpr::Literal>) return n.value.to_string();
            else if constexpr (std::is_same_v<T, NumExpr::Identifier>) return id_shape(n.identifier);
            else if constexpr (std::is_same_v<T, NumExpr::Add>) return pair("Add", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, NumExpr::Sub>) return pair("Sub", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, NumExpr::Mul>) return pair("Mul", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, NumExpr::Div>) return pair("Div", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, NumExpr::Pow>) return pair("Pow", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, NumExpr::Call>) {
                std::string out = "Call(" + n.name + ", [";
                for (std::size_t i = 0; i < n.args.size(); ++i) out += (i ? ", " : "") + shape(n.args[i]);
                return out + "])";
            } else {
                return "Aggregation(" + n.name + ", " + id_shape(n.series.identifier()) + ", " + n.window.begin.debug() +
                       ", " + n.window.end.debug() + ")";
            }
        },
        e.variant());
}

std::string shape(const BoolExpr& e) {
    return std::visit(
        [](const auto& n) -> std::string {
            using T = std::decay_t<decltype(n)>;
            if constexpr (std::is_same_v<T, BoolExpr::Eq>) return pair("Eq", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, BoolExpr::Ne>) return pair("Ne", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, BoolExpr::Lt>) return pair("Lt", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, BoolExpr::Le>) return pair("Le", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, BoolExpr::Gt>) return pair("Gt", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, BoolExpr::Ge>) return pair("Ge", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, BoolExpr::And>) return pair("And", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, BoolExpr::Or>) return pair("Or", *n.left, *n.right);
            else if constexpr (std::is_same_v<T, BoolExpr::Not>) return "Not(" + shape(*n.operand) + ")";
            else return n.value ? "true" : "false";
        },
        e.variant());
}

std::string shape(const Statement& s) {
    if (const auto* a = s.get_if<Statement::Assign>()) return "Assign(" + a->name + ", " + shape(a->value) + ")";
    if (const auto* r = s.get_if<Statement::Return>()) return "Return(" + shape(r->value) + ")";
    const auto& c = std::get<Statement::IfElse>(s.variant());
    return "IfElse(" + shape(c.condition) + ", " + shape(c.then_branch) + ", " + shape(c.else_branch) + ")";
}

std::string shape(const std::vector<Statement>& statements) {
    std::string out = "[";
    for (std::size_t i = 0; i < statements.size(); ++i) out += (i ? ", " : "") + shape(statements[i]);
    return out + "]";
}

}  // namespace tarnel::grammar::testing
