#pragma once
// Hand-built trees and an in-test data source for the evaluator tests.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/eval/data_dict.hpp"
#include "tarnel/fields/simulation_field.hpp"
#include "tarnel/grammar/bool_expr.hpp"
#include "tarnel/grammar/num_expr.hpp"
#include "tarnel/grammar/statement.hpp"
#include "tarnel/timeseries/single_timeseries.hpp"

namespace eval_test {

using tarnel::decimal::Decimal;
using tarnel::grammar::BoolExpr;
using tarnel::grammar::NumExpr;
using tarnel::grammar::Statement;
using tarnel::timeseries::Duration;
using tarnel::timeseries::Instant;
using tarnel::timeseries::SingleTimeseries;

inline const Instant start = Instant(std::chrono::sys_days(std::chrono::year(2024) / 1 / 1));

// A field identified by a name, standing in for the parsers' fields.
class NamedField final : public tarnel::fields::Field {
public:
    explicit NamedField(std::string name) : name_(std::move(name)) {}
    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] std::string debug() const override { return "NamedField(" + name_ + ")"; }
    [[nodiscard]] std::shared_ptr<const Field> clone() const override { return std::make_shared<NamedField>(name_); }
    [[nodiscard]] bool dyn_eq(const Field& other) const override {
        const auto* o = dynamic_cast<const NamedField*>(&other);
        return o != nullptr && o->name_ == name_;
    }
    void dyn_hash(tarnel::util::SipHasher13& h) const override { h.write_str(name_); }
    [[nodiscard]] std::string_view tag_name() const override { return "NamedField"; }
    [[nodiscard]] tarnel::persist::Value to_persisted() const override { return tarnel::persist::Value(name_); }

private:
    std::string name_;
};

inline tarnel::fields::SimulationField named_field(const std::string& name) {
    return tarnel::fields::SimulationField(tarnel::fields::BaseField{tarnel::fields::DynField(std::make_shared<NamedField>(name))});
}

inline Decimal dec(std::string_view text) { return *Decimal::from_str(text); }
inline NumExpr lit(std::string_view text) { return NumExpr::literal(dec(text)); }
inline NumExpr absent() { return NumExpr::literal(Decimal::absent()); }
inline NumExpr local(std::string name) {
    return NumExpr::identifier(tarnel::grammar::Identifier::local(std::move(name)));
}
inline NumExpr field(const std::string& name) {
    return NumExpr::identifier(tarnel::grammar::Identifier::field(named_field(name)));
}
inline NumExpr add(NumExpr a, NumExpr b) { return tarnel::grammar::make_binary<NumExpr::Add>(std::move(a), std::move(b)); }
inline NumExpr sub(NumExpr a, NumExpr b) { return tarnel::grammar::make_binary<NumExpr::Sub>(std::move(a), std::move(b)); }
inline NumExpr mul(NumExpr a, NumExpr b) { return tarnel::grammar::make_binary<NumExpr::Mul>(std::move(a), std::move(b)); }
inline NumExpr div(NumExpr a, NumExpr b) { return tarnel::grammar::make_binary<NumExpr::Div>(std::move(a), std::move(b)); }
inline NumExpr pow(NumExpr a, NumExpr b) { return tarnel::grammar::make_binary<NumExpr::Pow>(std::move(a), std::move(b)); }
inline NumExpr call(std::string name, std::vector<NumExpr> args) { return NumExpr::call(std::move(name), std::move(args)); }
inline NumExpr aggregation(std::string metric, tarnel::grammar::VecExpr series, tarnel::grammar::BoundExpr begin,
                           tarnel::grammar::BoundExpr end) {
    return NumExpr::Aggregation{std::move(metric), std::move(series), tarnel::grammar::Window{begin, end}};
}
inline tarnel::grammar::VecExpr series_of(const std::string& name) {
    return tarnel::grammar::VecExpr::Identifier{tarnel::grammar::Identifier::field(named_field(name))};
}

template <class Op>
BoolExpr cmp(NumExpr a, NumExpr b) {
    return tarnel::grammar::make_comparison<Op>(std::move(a), std::move(b));
}
template <class Op>
BoolExpr conn(BoolExpr a, BoolExpr b) {
    return tarnel::grammar::make_connective<Op>(std::move(a), std::move(b));
}

inline Statement assign(std::string name, NumExpr value) { return Statement::Assign{std::move(name), std::move(value)}; }
inline Statement ret(NumExpr value) { return Statement::Return{std::move(value)}; }
inline Statement if_else(BoolExpr c, std::vector<Statement> then_branch, std::vector<Statement> else_branch) {
    return Statement::IfElse{std::move(c), std::move(then_branch), std::move(else_branch)};
}

// Scalars and series by field name; counts the reads so tests can tell
// which operands were evaluated.
class FakeData final : public tarnel::eval::SplitTimeDataDict {
public:
    explicit FakeData(tarnel::eval::SplitTime times = {start, start + std::chrono::days(30), std::nullopt})
        : SplitTimeDataDict(times) {}

    std::map<std::string, std::optional<tarnel::decimal::DecimalValue>> scalars;
    std::map<std::string, SingleTimeseries> series;
    int reads = 0;

protected:
    tarnel::util::Result<std::optional<tarnel::decimal::DecimalValue>> read_scalar(
        const tarnel::fields::SimulationField& f) override {
        ++reads;
        const auto& name = dynamic_cast<const NamedField&>(f.field().get()).name();
        auto it = scalars.find(name);
        if (it == scalars.end()) return tarnel::util::fail("Undefined key '" + name + "'");
        return it->second;
    }
    tarnel::util::Result<SingleTimeseries> read_timeseries(const tarnel::fields::SimulationField& f) override {
        ++reads;
        const auto& name = dynamic_cast<const NamedField&>(f.field().get()).name();
        auto it = series.find(name);
        if (it == series.end()) return tarnel::util::fail("Undefined key '" + name + "'");
        return it->second;
    }
};

}  // namespace eval_test

namespace eval_test {
// Test names from the `name` member of a table row.
struct RowName {
    template <class P>
    std::string operator()(const testing::TestParamInfo<P>& row) const {
        return row.param.name;
    }
};
}  // namespace eval_test
