#include "tarnel/fields/agent_any_protocol_field.hpp"

#include <array>

#include "tarnel/fields/common_field.hpp"
#include "tarnel/fields/option_resolution.hpp"
#include "tarnel/persist/reader.hpp"

namespace tarnel::fields {
namespace {

using F = AgentAnyProtocolField;

// Variant names and metric names, in variant order.
constexpr std::array<std::string_view, 5> variants{"WalletHoldings", "NetPosition", "TotalHolding", "Pnl", "TotalFees"};
constexpr std::array<std::string_view, 5> metric_names{"wallet_holdings", "net_position", "total_holding", "pnl",
                                                       "total_fees"};
constexpr std::array<std::string_view, 1> wallet_fields{"token"};

F::Variant unit_variant(std::size_t index) {
    switch (index) {
        case 1: return F::NetPosition{};
        case 2: return F::TotalHolding{};
        case 3: return F::Pnl{};
        default: return F::TotalFees{};
    }
}

}  // namespace

std::string AgentAnyProtocolField::debug() const {
    if (const auto* w = std::get_if<WalletHoldings>(&value_)) return "WalletHoldings { token: " + w->token.debug() + " }";
    return std::string(variants[value_.index()]);
}

bool AgentAnyProtocolField::dyn_eq(const Field& other) const {
    const auto* o = other.downcast<AgentAnyProtocolField>();
    return o != nullptr && o->value_ == value_;
}

void AgentAnyProtocolField::dyn_hash(util::SipHasher13& h) const {
    h.write_index(value_.index());
    if (const auto* w = std::get_if<WalletHoldings>(&value_)) w->token.hash_feed(h);
}

persist::Value AgentAnyProtocolField::to_persisted() const {
    if (const auto* w = std::get_if<WalletHoldings>(&value_)) {
        persist::Map record{{persist::Value("token"), w->token.to_persisted()}};
        return persist::Map{{persist::Value("WalletHoldings"), persist::Value(std::move(record))}};
    }
    return std::string(variants[value_.index()]);
}

util::Result<DynField> AgentAnyProtocolField::read(const persist::Value& v) {
    auto e = persist::read_enum(v, "AgentAnyProtocolField", variants);
    if (!e) return util::fail(std::move(e.error()));
    if (e->index != 0) {
        if (auto unit = persist::require_unit(*e); !unit) return util::fail(std::move(unit.error()));
        return DynField(std::make_shared<AgentAnyProtocolField>(unit_variant(e->index)));
    }
    auto payload = persist::require_payload(*e, "struct variant");
    if (!payload) return util::fail(std::move(payload.error()));
    auto record = persist::RecordReader::open(**payload, "struct variant AgentAnyProtocolField::WalletHoldings with 1 element",
                                              wallet_fields);
    if (!record) return util::fail(std::move(record.error()));
    auto node = record->required("token");
    if (!node) return util::fail(std::move(node.error()));
    auto token = WhitelistIndex::from_persisted(**node);
    if (!token) return util::fail(std::move(token.error()));
    return DynField(std::make_shared<AgentAnyProtocolField>(WalletHoldings{*token}));
}

util::Result<DynField> AgentAnyProtocolFieldParser::parse(std::string_view name,
                                                          const grammar::ComposedIdentifierRef& identifier) const {
    if (name == metric_names[0]) {
        const std::array<OptionParameter<WhitelistIndex>, 1> parameters{OptionParameter<WhitelistIndex>{
            "token", true, true, [this](std::string_view text) -> util::Result<WhitelistIndex> {
                auto index = WhitelistIndex::from_required(text, whitelist_);
                if (!index) return util::fail(index.error().to_error().context("Error in option token:"));
                return *index;
            }}};
        auto values = resolve_options<WhitelistIndex>(parameters, identifier);
        if (!values) return util::fail(std::move(values.error()));
        return DynField(std::make_shared<AgentAnyProtocolField>(F::WalletHoldings{*(*values)[0]}));
    }
    for (std::size_t k = 1; k < metric_names.size(); ++k) {
        if (name != metric_names[k]) continue;
        if (auto s = reject_options(identifier); !s) return util::fail(std::move(s.error()));
        return DynField(std::make_shared<AgentAnyProtocolField>(unit_variant(k)));
    }
    return FieldParser::parse(name, identifier);
}

util::Status AgentAnyProtocolFieldParser::write_typed(const AgentAnyProtocolField& field, std::string& out) const {
    const auto& value = field.value();
    if (const auto* w = std::get_if<F::WalletHoldings>(&value)) {
        auto symbol = symbol_text(whitelist_, w->token);
        if (!symbol) return util::fail(std::move(symbol.error()));
        out += metric_names[0];
        write_option_list(out, "token", *symbol);
        return {};
    }
    out += metric_names[value.index()];
    return {};
}

persist::Value AgentAnyProtocolFieldParser::to_persisted() const {
    return persist::Map{{persist::Value("whitelist"), whitelist_.to_persisted()}};
}

std::string AgentAnyProtocolFieldParser::debug() const {
    return "AgentAnyProtocolFieldParser { whitelist: " + whitelist_.debug() + " }";
}

util::Result<std::unique_ptr<FieldParser>> AgentAnyProtocolFieldParser::read(const persist::Value& v) {
    auto whitelist = read_whitelist_record(v, "struct AgentAnyProtocolFieldParser with 1 element");
    if (!whitelist) return util::fail(std::move(whitelist.error()));
    return std::make_unique<AgentAnyProtocolFieldParser>(std::move(*whitelist));
}

}  // namespace tarnel::fields
