#pragma once
// Exclusive owner of one child node with value semantics: copying copies the
// child deeply, equality compares the children. Only a moved-from box is empty.
#include <memory>
#include <type_traits>
#include <utility>
#include <variant>

namespace tarnel::grammar {

template <class T>
class Box {
public:
    Box(T value) : ptr_(std::make_unique<T>(std::move(value))) {}  // NOLINT(google-explicit-constructor)
    Box(const Box& other) : ptr_(other.ptr_ ? std::make_unique<T>(*other.ptr_) : nullptr) {}
    Box(Box&&) noexcept = default;
    Box& operator=(const Box& other) {
        if (this != &other) ptr_ = other.ptr_ ? std::make_unique<T>(*other.ptr_) : nullptr;
        return *this;
    }
    Box& operator=(Box&&) noexcept = default;
    ~Box() = default;

    [[nodiscard]] T& operator*() { return *ptr_; }
    [[nodiscard]] const T& operator*() const { return *ptr_; }
    [[nodiscard]] T* operator->() { return ptr_.get(); }
    [[nodiscard]] const T* operator->() const { return ptr_.get(); }
    [[nodiscard]] T* get() { return ptr_.get(); }
    [[nodiscard]] const T* get() const { return ptr_.get(); }

    friend bool operator==(const Box& a, const Box& b) {
        if (!a.ptr_ || !b.ptr_) return a.ptr_ == b.ptr_;
        return *a.ptr_ == *b.ptr_;
    }

private:
    std::unique_ptr<T> ptr_;
};

// A is exactly one of the alternatives of the variant V (so node constructors
// never look through boxes or other conversions).
template <class A, class V>
inline constexpr bool is_alternative_v = false;
template <class A, class... Ts>
inline constexpr bool is_alternative_v<A, std::variant<Ts...>> = (std::is_same_v<A, Ts> || ...);

}  // namespace tarnel::grammar
