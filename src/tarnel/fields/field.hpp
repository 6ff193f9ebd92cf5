#pragma once
// The two open families: fields (immutable, shared resolved metrics) and the
// field parsers that make them and write them back as data-key text.
#include <memory>
#include <string>
#include <string_view>

#include "tarnel/grammar/composed_identifier.hpp"
#include "tarnel/persist/value.hpp"
#include "tarnel/util/error.hpp"
#include "tarnel/util/shared_string.hpp"
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

    template <class T>
    [[nodiscard]] const T* downcast() const { return dynamic_cast<const T*>(this); }
};

// Shared pointer to an immutable field; what records store. Copies share the
// field; the reference count is atomic, so copies may live on any thread.
class DynField {
public:
    DynField() = default;
    explicit DynField(std::shared_ptr<const Field> f) : ptr_(std::move(f)) {}
    [[nodiscard]] const Field& get() const { return *ptr_; }
    [[nodiscard]] const std::shared_ptr<const Field>& ptr() const { return ptr_; }
    [[nodiscard]] bool empty() const { return ptr_ == nullptr; }
    template <class T>
    [[nodiscard]] const T* downcast() const { return dynamic_cast<const T*>(ptr_.get()); }
    template <class T>
    [[nodiscard]] std::shared_ptr<const T> downcast_shared() const { return std::dynamic_pointer_cast<const T>(ptr_); }
    // A new field object with the same value.
    [[nodiscard]] DynField deep_copy() const { return ptr_ ? DynField(ptr_->clone()) : DynField(); }
    [[nodiscard]] std::string debug() const { return "DynField(" + (ptr_ ? ptr_->debug() : std::string()) + ")"; }
    void hash_feed(util::SipHasher13& h) const {
        if (ptr_) ptr_->dyn_hash(h);
    }
    friend bool operator==(const DynField& a, const DynField& b) {
        if (!a.ptr_ || !b.ptr_) return !a.ptr_ && !b.ptr_;
        return a.ptr_->dyn_eq(*b.ptr_);
    }

private:
    std::shared_ptr<const Field> ptr_;
};

// The metric name is not one the parser knows.
struct UnknownField {
    util::SharedString name;
    [[nodiscard]] std::string message() const { return "Unknown field " + name.str(); }
    [[nodiscard]] util::Error to_error() const { return util::Error(message()); }
};

class FieldParser {
public:
    virtual ~FieldParser() = default;
    // `name` is the metric component; `identifier` the whole composed identifier.
    // Default: fails with "Unknown field {name}".
    [[nodiscard]] virtual util::Result<DynField> parse(std::string_view name, const grammar::ComposedIdentifierRef& identifier) const;
    // Writes the field's text; a field of a foreign type is an error (never an
    // abort: persisted state can pair a field with a parser of another kind).
    [[nodiscard]] virtual util::Status write(const Field& field, std::string& out) const = 0;
    [[nodiscard]] util::Result<std::string> stringify(const Field& field) const;
    [[nodiscard]] virtual std::string_view tag_name() const = 0;
    [[nodiscard]] virtual std::unique_ptr<FieldParser> clone() const = 0;
    [[nodiscard]] virtual persist::Value to_persisted() const = 0;
    [[nodiscard]] virtual std::string debug() const = 0;

    template <class T>
    [[nodiscard]] const T* downcast() const { return dynamic_cast<const T*>(this); }
    template <class T>
    [[nodiscard]] T* downcast_mut() { return dynamic_cast<T*>(this); }
};

// Moves a parser into its concrete type; nullptr (and `p` untouched) when it
// is of another type.
template <class T>
[[nodiscard]] std::unique_ptr<T> downcast_owned(std::unique_ptr<FieldParser>& p) {
    if (dynamic_cast<T*>(p.get()) == nullptr) return nullptr;
    return std::unique_ptr<T>(static_cast<T*>(p.release()));
}

}  // namespace tarnel::fields
