#include "tarnel/fields/config_field.hpp"

#include <array>

#include <fmt/format.h>

#include "tarnel/names/persisted.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

constexpr std::array<std::string_view, 9> value_variants{
    "Token", "TokenId", "TokenPair", "TokenIdPair", "Identifier", "IdentifierOrAddress", "Address", "String", "None",
};
constexpr std::array<std::string_view, 2> field_fields{"index", "options"};

struct ValueDebug {
    std::string operator()(const names::TokenSymbol& v) const { return v.debug(); }
    std::string operator()(const WhitelistIndex& v) const { return v.debug(); }
    std::string operator()(const names::TokenSymbolPair& v) const { return v.debug(); }
    std::string operator()(const TokenIdPair& v) const { return v.debug(); }
    std::string operator()(const names::Identifier& v) const { return v.debug(); }
    std::string operator()(const names::IdentifierOrAddr& v) const { return v.debug(); }
    std::string operator()(const names::EthAddress& v) const { return v.debug(); }
    std::string operator()(const util::SharedString& v) const { return util::debug_quote(v.view()); }
    std::string operator()(const NoParameterValue&) const { return {}; }
};

struct ValueHash {
    util::SipHasher13& h;
    void operator()(const names::TokenSymbol& v) const { h.write_str(v.text()); }
    void operator()(const WhitelistIndex& v) const { v.hash_feed(h); }
    void operator()(const names::TokenSymbolPair& v) const {
        h.write_str(v.base().text());
        h.write_str(v.quote().text());
    }
    void operator()(const TokenIdPair& v) const { v.hash_feed(h); }
    void operator()(const names::Identifier& v) const { v.hash_feed(h); }
    void operator()(const names::IdentifierOrAddr& v) const { v.hash_feed(h); }
    void operator()(const names::EthAddress& v) const { h.write(v.to_bytes().data(), v.to_bytes().size()); }
    void operator()(const util::SharedString& v) const { h.write_str(v.view()); }
    void operator()(const NoParameterValue&) const {}
};

struct ValuePersist {
    persist::Value operator()(const names::TokenSymbol& v) const { return names::to_persisted(v); }
    persist::Value operator()(const WhitelistIndex& v) const { return v.to_persisted(); }
    persist::Value operator()(const names::TokenSymbolPair& v) const { return names::to_persisted(v); }
    persist::Value operator()(const TokenIdPair& v) const { return v.to_persisted(); }
    persist::Value operator()(const names::Identifier& v) const { return names::to_persisted(v); }
    persist::Value operator()(const names::IdentifierOrAddr& v) const { return names::to_persisted(v); }
    persist::Value operator()(const names::EthAddress& v) const { return names::to_persisted(v); }
    persist::Value operator()(const util::SharedString& v) const { return v.str(); }
    persist::Value operator()(const NoParameterValue&) const { return persist::Null{}; }
};

template <class T>
util::Result<ConfigFieldParameterValue> wrap(util::Result<T> r) {
    if (!r) return util::fail(std::move(r.error()));
    return ConfigFieldParameterValue(std::move(*r));
}

util::Result<ConfigFieldParameterValue> read_payload(ConfigFieldParameterValue::Kind kind, const persist::Value& p) {
    using K = ConfigFieldParameterValue::Kind;
    switch (kind) {
        case K::Token: return wrap(names::read_token_symbol(p));
        case K::TokenId: return wrap(WhitelistIndex::from_persisted(p));
        case K::TokenPair: return wrap(names::read_token_symbol_pair(p));
        case K::TokenIdPair: return wrap(TokenIdPair::from_persisted(p));
        case K::Identifier: return wrap(names::read_identifier(p));
        case K::IdentifierOrAddress: return wrap(names::read_identifier_or_addr(p));
        case K::Address: return wrap(names::read_eth_address(p));
        case K::String: {
            auto s = persist::read_string(p);
            if (!s) return util::fail(std::move(s.error()));
            return ConfigFieldParameterValue(util::SharedString(std::move(*s)));
        }
        case K::None: break;
    }
    return ConfigFieldParameterValue();
}

}  // namespace

std::string ConfigFieldParameterValue::debug() const {
    const std::string_view name = value_variants[v_.index()];
    if (is_none()) return std::string(name);
    return fmt::format("{}({})", name, std::visit(ValueDebug{}, v_));
}

void ConfigFieldParameterValue::hash_feed(util::SipHasher13& h) const {
    h.write_index(v_.index());
    std::visit(ValueHash{h}, v_);
}

persist::Value ConfigFieldParameterValue::to_persisted() const {
    const std::string name(value_variants[v_.index()]);
    if (is_none()) return name;
    return persist::Map{{persist::Value(name), std::visit(ValuePersist{}, v_)}};
}

util::Result<ConfigFieldParameterValue> ConfigFieldParameterValue::from_persisted(const persist::Value& v) {
    auto e = persist::read_enum(v, "ConfigFieldParameterValue", value_variants);
    if (!e) return util::fail(std::move(e.error()));
    const auto kind = static_cast<Kind>(e->index);
    if (kind == Kind::None) {
        if (auto unit = persist::require_unit(*e); !unit) return util::fail(std::move(unit.error()));
        return ConfigFieldParameterValue();
    }
    auto payload = persist::require_payload(*e);
    if (!payload) return util::fail(std::move(payload.error()));
    return read_payload(kind, **payload);
}

std::string ConfigField::debug() const {
    std::string out = fmt::format("ConfigField {{ index: {}, options: [", index_);
    for (std::size_t k = 0; k < options_.size(); ++k) {
        if (k > 0) out += ", ";
        out += options_[k].debug();
    }
    return out + "] }";
}

bool ConfigField::dyn_eq(const Field& other) const {
    const auto* o = other.downcast<ConfigField>();
    return o != nullptr && *o == *this;
}

void ConfigField::dyn_hash(util::SipHasher13& h) const {
    h.write_index(index_);
    h.write_index(options_.size());
    for (const auto& option : options_) option.hash_feed(h);
}

persist::Value ConfigField::to_persisted() const {
    persist::Array options;
    options.reserve(options_.size());
    for (const auto& option : options_) options.push_back(option.to_persisted());
    return persist::Map{{persist::Value("index"), persist::Value(static_cast<std::uint64_t>(index_))},
                        {persist::Value("options"), persist::Value(std::move(options))}};
}

util::Result<DynField> ConfigField::read(const persist::Value& v) {
    auto record = persist::RecordReader::open(v, "struct ConfigField with 2 elements", field_fields);
    if (!record) return util::fail(std::move(record.error()));
    auto index_node = record->required("index");
    if (!index_node) return util::fail(std::move(index_node.error()));
    auto index = persist::read_u64(**index_node, "usize");
    if (!index) return util::fail(std::move(index.error()));
    auto options_node = record->required("options");
    if (!options_node) return util::fail(std::move(options_node.error()));
    auto items = persist::read_array(**options_node);
    if (!items) return util::fail(std::move(items.error()));
    std::vector<ConfigFieldParameterValue> options;
    options.reserve(items->size());
    for (const persist::Value& item : *items) {
        auto value = ConfigFieldParameterValue::from_persisted(item);
        if (!value) return util::fail(std::move(value.error()));
        options.push_back(std::move(*value));
    }
    return DynField(std::make_shared<ConfigField>(static_cast<std::size_t>(*index), std::move(options)));
}

util::Result<DynField> read_config_field(const persist::Value& v) { return ConfigField::read(v); }

}  // namespace tarnel::fields
