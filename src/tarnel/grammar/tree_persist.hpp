#pragma once
// Persisted form of syntax trees and compiled programs, as values of the
// persist data model: records as maps of their fields, enumerations tagged by
// variant name. Readers also accept records as arrays and variants by index,
// and bound the depth of what they build, since states come from untrusted
// bytes.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/bound_expr.hpp"
#include "tarnel/grammar/condition.hpp"
#include "tarnel/grammar/expression.hpp"
#include "tarnel/grammar/identifier.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/raw_identifier.hpp"
#include "tarnel/grammar/statement.hpp"
#include "tarnel/grammar/time_expr.hpp"
#include "tarnel/grammar/vec_expr.hpp"
#include "tarnel/grammar/window.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/limits.hpp"

namespace tarnel::grammar {

// Written as the printed decimal, "NaN" when absent.
[[nodiscard]] persist::Value decimal_to_persisted(const decimal::Decimal& d);
// A string (converted like program text, "nan" in any case being absent), an
// integer (scale 0) or a float (absent when not finite or out of range).
util::Result<decimal::Decimal> decimal_from_persisted(const persist::Value& v);

[[nodiscard]] persist::Value to_persisted(const NumExpr& e);
[[nodiscard]] persist::Value to_persisted(const BoolExpr& e);
[[nodiscard]] persist::Value to_persisted(const VecExpr& e);
[[nodiscard]] persist::Value to_persisted(const Window& w);
[[nodiscard]] persist::Value to_persisted(const BoundExpr& b);
[[nodiscard]] persist::Value to_persisted(const TimeExpr& t);
[[nodiscard]] persist::Value to_persisted(const Statement& s);
[[nodiscard]] persist::Value to_persisted(const std::vector<Statement>& statements);
[[nodiscard]] persist::Value to_persisted(const Identifier& id);
[[nodiscard]] persist::Value to_persisted(const RawIdentifier& raw);
[[nodiscard]] persist::Value to_persisted(const OptionName& n);
[[nodiscard]] persist::Value to_persisted(const OptionValue& v);
[[nodiscard]] persist::Value to_persisted(const Expression& e);
[[nodiscard]] persist::Value to_persisted(const Condition& c);

// Trees deeper than limits.max_tree_depth (counted like tree_depth) are
// refused before the reader descends further.
util::Result<NumExpr> num_expr_from_persisted(const persist::Value& v,
                                              const util::Limits& limits = util::default_limits);
util::Result<BoolExpr> bool_expr_from_persisted(const persist::Value& v,
                                                const util::Limits& limits = util::default_limits);
util::Result<Statement> statement_from_persisted(const persist::Value& v,
                                                 const util::Limits& limits = util::default_limits);
util::Result<std::vector<Statement>> statements_from_persisted(const persist::Value& v,
                                                               const util::Limits& limits = util::default_limits);
util::Result<Expression> expression_from_persisted(const persist::Value& v,
                                                   const util::Limits& limits = util::default_limits);
util::Result<Condition> condition_from_persisted(const persist::Value& v,
                                                 const util::Limits& limits = util::default_limits);
util::Result<VecExpr> vec_expr_from_persisted(const persist::Value& v);
util::Result<Window> window_from_persisted(const persist::Value& v);
util::Result<BoundExpr> bound_expr_from_persisted(const persist::Value& v);
util::Result<TimeExpr> time_expr_from_persisted(const persist::Value& v);
util::Result<Identifier> identifier_from_persisted(const persist::Value& v);
util::Result<RawIdentifier> raw_identifier_from_persisted(const persist::Value& v);
util::Result<OptionName> option_name_from_persisted(const persist::Value& v);
util::Result<OptionValue> option_value_from_persisted(const persist::Value& v);

// Pickling states of the Python classes: nil for an object without a
// program, otherwise the record.
util::Result<std::vector<std::uint8_t>> expression_to_msgpack(const std::optional<Expression>& e);
util::Result<std::optional<Expression>> expression_from_msgpack(std::span<const std::uint8_t> bytes,
                                                                const util::Limits& limits = util::default_limits);
util::Result<std::vector<std::uint8_t>> condition_to_msgpack(const std::optional<Condition>& c);
util::Result<std::optional<Condition>> condition_from_msgpack(std::span<const std::uint8_t> bytes,
                                                              const util::Limits& limits = util::default_limits);

}  // namespace tarnel::grammar
