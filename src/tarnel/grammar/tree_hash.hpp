#pragma once
// Structural hash of any tree type through its hash feed (SipHash-1-3, zero key).
#include <cstdint>

#include "tarnel/util/siphash.hpp"

namespace tarnel::grammar {

template <class T>
[[nodiscard]] std::uint64_t structural_hash(const T& value) {
    util::SipHasher13 h;
    value.hash_feed(h);
    return h.finish();
}

}  // namespace tarnel::grammar

// std::hash for a tree type, so it can key unordered containers.
#define TARNEL_GRAMMAR_STD_HASH(Type)                                               \
    template <>                                                                     \
    struct std::hash<tarnel::grammar::Type> {                                       \
        std::size_t operator()(const tarnel::grammar::Type& v) const noexcept {     \
            return static_cast<std::size_t>(tarnel::grammar::structural_hash(v));   \
        }                                                                           \
    }
