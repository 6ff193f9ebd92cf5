#include "tarnel/persist/value.hpp"

#include <limits>

namespace tarnel::persist {
namespace {

bool is_nonempty_container(const Value& v) {
    if (const auto* a = v.get_if<Array>()) return !a->empty();
    if (const auto* m = v.get_if<Map>()) return !m->empty();
    return false;
}

bool has_nested_container(const Value& v) {
    if (const auto* a = v.get_if<Array>()) {
        for (const auto& e : *a)
            if (is_nonempty_container(e)) return true;
    } else if (const auto* m = v.get_if<Map>()) {
        for (const auto& [k, e] : *m)
            if (is_nonempty_container(k) || is_nonempty_container(e)) return true;
    }
    return false;
}

// Moves every non-empty container child of `v` onto `work`, leaving `v` flat.
void detach_children(Value& v, std::vector<Value>& work) {
    auto take = [&work](Value& child) {
        if (is_nonempty_container(child)) {
            work.push_back(std::move(child));
            child.data = Null{};
        }
    };
    if (auto* a = v.get_if<Array>()) {
        for (auto& e : *a) take(e);
    } else if (auto* m = v.get_if<Map>()) {
        for (auto& [k, e] : *m) {
            take(k);
            take(e);
        }
    }
}

}  // namespace

Value::~Value() {
    if (!has_nested_container(*this)) return;
    std::vector<Value> work;
    detach_children(*this, work);
    while (!work.empty()) {
        Value v = std::move(work.back());
        work.pop_back();
        detach_children(v, work);
    }
}

bool Value::operator==(const Value& o) const {
    const auto* ai = get_if<std::int64_t>();
    const auto* au = get_if<std::uint64_t>();
    const auto* bi = o.get_if<std::int64_t>();
    const auto* bu = o.get_if<std::uint64_t>();
    if (ai && bu) return *ai >= 0 && static_cast<std::uint64_t>(*ai) == *bu;
    if (au && bi) return *bi >= 0 && static_cast<std::uint64_t>(*bi) == *au;
    return data == o.data;
}

}  // namespace tarnel::persist
