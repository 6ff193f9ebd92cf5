#pragma once
// SipHash-1-3 as a streaming hasher. Structural hashes of trees, fields and
// names are fed through it; with the all-zero key it also computes the
// parameter signature, so its output must never depend on the process.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tarnel::util {

class SipHasher13 {
public:
    SipHasher13() : SipHasher13(0, 0) {}
    SipHasher13(std::uint64_t k0, std::uint64_t k1);

    void write(const void* data, std::size_t len);
    void write_u8(std::uint8_t v) { write(&v, 1); }
    void write_u32(std::uint32_t v);  // little-endian
    void write_u64(std::uint64_t v);  // little-endian
    void write_i64(std::int64_t v) { write_u64(static_cast<std::uint64_t>(v)); }
    void write_bool(bool v) { write_u8(v ? 1 : 0); }
    // Bytes of the text followed by one 0xFF byte.
    void write_str(std::string_view s);
    // Variant indexes and list lengths are written as 64-bit integers.
    void write_index(std::size_t i) { write_u64(static_cast<std::uint64_t>(i)); }

    [[nodiscard]] std::uint64_t finish() const;

private:
    void compress_block(std::uint64_t m);
    std::uint64_t v0_, v1_, v2_, v3_;
    std::uint64_t tail_ = 0;   // pending bytes, little-endian
    std::size_t ntail_ = 0;    // number of pending bytes (0..7)
    std::uint64_t length_ = 0; // total bytes written
};

// One-shot digest with the all-zero key.
std::uint64_t siphash13(std::span<const std::byte> data);

}  // namespace tarnel::util
