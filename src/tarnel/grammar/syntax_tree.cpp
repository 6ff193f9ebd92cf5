#include "tarnel/grammar/syntax_tree.hpp"

#include <type_traits>

namespace tarnel::grammar {

namespace {

using Node = SyntaxTreeString;
using Rendered = util::Result<Node>;

Node leaf(std::string name) { return Node{std::move(name), {}}; }

Rendered render(const NumExpr& e);
Rendered render(const BoolExpr& e);

Rendered render(const Identifier& id) {
    if (const auto* u = id.get_if<Identifier::Unchecked>()) return leaf(u->raw.display());
    if (const auto* l = id.get_if<Identifier::Local>()) return leaf(l->name);
    return util::fail("Should be visited before semantic transformation");
}

Node render(const TimeExpr& t) {
    static constexpr std::string_view units[] = {"weeks(", "days(", "hours(", "minutes("};
    return leaf(std::string(units[t.index()]) + std::to_string(t.count()) + ")");
}

Node render(const BoundExpr& b) {
    if (b.get_if<BoundExpr::LastUpdate>() != nullptr) return leaf("last_update");
    if (b.get_if<BoundExpr::CurrentTime>() != nullptr) return leaf("t");
    if (const auto* d = b.get_if<BoundExpr::DelayedCurrentTime>()) return Node{"t-{}", {render(d->delay)}};
    return leaf(std::get<BoundExpr::ExactTime>(b.variant()).time.to_string());
}

Node render(const Window& w) { return Node{"between {} and {}", {render(w.begin), render(w.end)}}; }

Rendered render(const VecExpr& v) {
    auto id = render(v.identifier());
    if (!id) return id;
    if (const auto* c = v.get_if<VecExpr::Call1>()) return Node{c->name + "({})", {std::move(*id)}};
    return id;
}

template <class Child>
Rendered with_children(std::string name, std::initializer_list<const Child*> children) {
    Node out{std::move(name), {}};
    for (const Child* c : children) {
        auto r = render(*c);
        if (!r) return r;
        out.args.push_back(std::move(*r));
    }
    return out;
}

Rendered render(const NumExpr& e) {
    return std::visit(
        [](const auto& node) -> Rendered {
            using T = std::decay_t<decltype(node)>;
            if constexpr (std::is_same_v<T, NumExpr::Literal>) {
                return leaf(node.value.to_string());
            } else if constexpr (std::is_same_v<T, NumExpr::Identifier>) {
                return render(node.identifier);
            } else if constexpr (std::is_same_v<T, NumExpr::Add>) {
                return with_children<NumExpr>("{} + {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, NumExpr::Sub>) {
                return with_children<NumExpr>("{} - {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, NumExpr::Mul>) {
                return with_children<NumExpr>("{} * {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, NumExpr::Div>) {
                return with_children<NumExpr>("{} / {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, NumExpr::Pow>) {
                return with_children<NumExpr>("{} ^ {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, NumExpr::Call>) {
                Node out{node.name + "({})", {}};
                for (const auto& arg : node.args) {
                    auto r = render(arg);
                    if (!r) return r;
                    out.args.push_back(std::move(*r));
                }
                return out;
            } else {
                auto series = render(node.series);
                if (!series) return series;
                return Node{node.name + " of {} between {}", {std::move(*series), render(node.window)}};
            }
        },
        e.variant());
}

Rendered render(const BoolExpr& e) {
    return std::visit(
        [](const auto& node) -> Rendered {
            using T = std::decay_t<decltype(node)>;
            if constexpr (std::is_same_v<T, BoolExpr::Eq>) {
                return with_children<NumExpr>("{} = {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, BoolExpr::Ne>) {
                return with_children<NumExpr>("{} != {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, BoolExpr::Lt>) {
                return with_children<NumExpr>("{} < {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, BoolExpr::Le>) {
                return with_children<NumExpr>("{} <= {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, BoolExpr::Gt>) {
                return with_children<NumExpr>("{} > {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, BoolExpr::Ge>) {
                return with_children<NumExpr>("{} >= {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, BoolExpr::And>) {
                return with_children<BoolExpr>("{} and {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, BoolExpr::Or>) {
                return with_children<BoolExpr>("{} or {}", {node.left.get(), node.right.get()});
            } else if constexpr (std::is_same_v<T, BoolExpr::Not>) {
                return with_children<BoolExpr>("not {}", {node.operand.get()});
            } else {
                return leaf(node.value ? "true" : "false");
            }
        },
        e.variant());
}

}  // namespace

util::Result<SyntaxTreeString> syntax_tree_string(const NumExpr& e) { return render(e); }
util::Result<SyntaxTreeString> syntax_tree_string(const BoolExpr& e) { return render(e); }

}  // namespace tarnel::grammar
