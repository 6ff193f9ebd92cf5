#pragma once
// The two open families: fields (immutable, shared resolved metrics) and the
// field parsers that make them and write them back as data-key text.
#include <memory>
#include <string>
#include <string_view>

#include "tarnel/grammar/composed_identifier.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/siphash.hpp"

namespace tarnel::fields {

class Field {
public:
    virtual ~Field() = default;
    [[nodiscard]] virtual std::string debug() const = 0;
    [[nodiscard]] virtual std::shared_ptr<const Field> clone() const = 0;
    // True exactly when `other` has the same concrete type and an equal value.
    [[nodiscard]] virtual bool dyn_eq(const Field& other) const = 0;
    // Feeds the value (not the type).
    virtual void dyn_hash(util::SipHasher13& h) const = 0;
    [[nodiscard]] virtual std::string_view tag_name() const = 0;
    // The implementation's own persisted form (without the tag).
    [[nodiscard]] virtual persist::Value to_persisted() const = 0;
};

// Shared pointer to an immutable field; what records store.
class DynField {
public:
    DynField() = default;
    explicit DynField(std::shared_ptr<const Field> f) : ptr_(std::move(f)) {}
    [[nodiscard]] const Field& get() const { return *ptr_; }
    [[nodiscard]] const std::shared_ptr<const Field>& ptr() const { return ptr_; }
    template <class T>
    [[nodiscard]] const T* downcast() const { return dynamic_cast<const T*>(ptr_.get()); }
    [[nodiscard]] std::string debug() const { return "DynField(" + ptr_->debug() + ")"; }
    void hash_feed(util::SipHasher13& h) const { ptr_->dyn_hash(h); }
    friend bool operator==(const DynField& a, const DynField& b) { return a.ptr_->dyn_eq(*b.ptr_); }

private:
    std::shared_ptr<const Field> ptr_;
};

class FieldParser {
public:
    virtual ~FieldParser() = default;
    // `name` is the metric component; `identifier` the whole composed identifier.
    // Default: fails with "Unknown field {name}".
    [[nodiscard]] virtual util::Result<DynField> parse(std::string_view name, const grammar::ComposedIdentifierRef& identifier) const;
    // Writes the field's text; a field of a foreign type is an error (never an abort).
    [[nodiscard]] virtual util::Status write(const Field& field, std::string& out) const = 0;
    [[nodiscard]] util::Result<std::string> stringify(const Field& field) const;
    [[nodiscard]] virtual std::string_view tag_name() const = 0;
    [[nodiscard]] virtual std::unique_ptr<FieldParser> clone() const = 0;
    [[nodiscard]] virtual persist::Value to_persisted() const = 0;
    [[nodiscard]] virtual std::string debug() const = 0;
};

}  // namespace tarnel::fields
