#include "tarnel/util/siphash.hpp"

#include <bit>

namespace tarnel::util {

namespace {
inline void sip_round(std::uint64_t& v0, std::uint64_t& v1, std::uint64_t& v2, std::uint64_t& v3) {
    v0 += v1; v1 = std::rotl(v1, 13); v1 ^= v0; v0 = std::rotl(v0, 32);
    v2 += v3; v3 = std::rotl(v3, 16); v3 ^= v2;
    v0 += v3; v3 = std::rotl(v3, 21); v3 ^= v0;
    v2 += v1; v1 = std::rotl(v1, 17); v1 ^= v2; v2 = std::rotl(v2, 32);
}
}  // namespace

SipHasher13::SipHasher13(std::uint64_t k0, std::uint64_t k1)
    : v0_(k0 ^ 0x736f6d6570736575ULL),
      v1_(k1 ^ 0x646f72616e646f6dULL),
      v2_(k0 ^ 0x6c7967656e657261ULL),
      v3_(k1 ^ 0x7465646279746573ULL) {}

void SipHasher13::compress_block(std::uint64_t m) {
    v3_ ^= m;
    sip_round(v0_, v1_, v2_, v3_);
    v0_ ^= m;
}

void SipHasher13::write(const void* data, std::size_t len) {
    const auto* p = static_cast<const unsigned char*>(data);
    length_ += len;
    for (std::size_t i = 0; i < len; ++i) {
        tail_ |= static_cast<std::uint64_t>(p[i]) << (8 * ntail_);
        if (++ntail_ == 8) {
            compress_block(tail_);
            tail_ = 0;
            ntail_ = 0;
        }
    }
}

void SipHasher13::write_u32(std::uint32_t v) {
    unsigned char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
    write(b, 4);
}

void SipHasher13::write_u64(std::uint64_t v) {
    unsigned char b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
    write(b, 8);
}

void SipHasher13::write_str(std::string_view s) {
    write(s.data(), s.size());
    write_u8(0xFF);
}

std::uint64_t SipHasher13::finish() const {
    std::uint64_t v0 = v0_, v1 = v1_, v2 = v2_, v3 = v3_;
    std::uint64_t b = (length_ & 0xFF) << 56 | tail_;
    v3 ^= b;
    sip_round(v0, v1, v2, v3);
    v0 ^= b;
    v2 ^= 0xFF;
    sip_round(v0, v1, v2, v3);
    sip_round(v0, v1, v2, v3);
    sip_round(v0, v1, v2, v3);
    return v0 ^ v1 ^ v2 ^ v3;
}

std::uint64_t siphash13(std::span<const std::byte> data) {
    SipHasher13 h;
    h.write(data.data(), data.size());
    return h.finish();
}

}  // namespace tarnel::util
