#include "tarnel/eval/local_variable_registry.hpp"

namespace tarnel::eval {

LocalVariableRegistry LocalVariableRegistry::from_names(const std::vector<std::string>& names) {
    LocalVariableRegistry r;
    r.reserve(names.size());
    for (const auto& n : names) r.insert(n, decimal::Decimal::absent());
    return r;
}

std::size_t LocalVariableRegistry::find(std::string_view name) const {
    if (!index_.empty()) {
        auto it = index_.find(name);
        return it == index_.end() ? entries_.size() : it->second;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].first == name) return i;
    return entries_.size();
}

void LocalVariableRegistry::insert(std::string_view name, decimal::Decimal value) {
    const std::size_t i = find(name);
    if (i < entries_.size()) {
        entries_[i].second = value;
        return;
    }
    entries_.emplace_back(std::string(name), value);
    if (!index_.empty()) {
        index_.emplace(entries_.back().first, i);
    } else if (entries_.size() > index_threshold) {
        index_.reserve(entries_.size() * 2);
        for (std::size_t k = 0; k < entries_.size(); ++k) index_.emplace(entries_[k].first, k);
    }
}

const decimal::Decimal* LocalVariableRegistry::get(std::string_view name) const {
    const std::size_t i = find(name);
    return i < entries_.size() ? &entries_[i].second : nullptr;
}

}  // namespace tarnel::eval
