#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <vector>

#include "tarnel/util/siphash.hpp"

using tarnel::util::SipHasher13;

TEST(SipHash13, MatchesReferenceDigestsWithZeroKey) {
    std::ifstream in(TARNEL_SOURCE_DIR "/tests/cpp/util/data/siphash13-zero-key.txt");
    ASSERT_TRUE(in) << "missing test vectors";
    std::vector<unsigned char> input(64);
    for (int i = 0; i < 64; ++i) input[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::size_t n = 0;
        std::string hex;
        fields >> n >> hex;
        SipHasher13 h;
        h.write(input.data(), n);
        EXPECT_EQ(h.finish(), std::stoull(hex, nullptr, 16)) << "length " << n;
        ++checked;
    }
    EXPECT_EQ(checked, 65);
}

TEST(SipHash13, StreamingEqualsOneShot) {
    std::vector<unsigned char> data(37);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7);
    SipHasher13 whole;
    whole.write(data.data(), data.size());
    SipHasher13 pieces;
    pieces.write(data.data(), 3);
    pieces.write(data.data() + 3, 20);
    pieces.write(data.data() + 23, 14);
    EXPECT_EQ(whole.finish(), pieces.finish());
}
