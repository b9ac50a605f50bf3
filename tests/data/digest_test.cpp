// digest_test.cpp -- the frame digest is the published XXH64 (values from xxhsum -H1)

#include "data/digest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(Digest, GivesThePublishedValuesForEveryTailLength) {
    EXPECT_EQ(digest_bytes("", 0, 0), 0xEF46DB3751D8E999ull);
    EXPECT_EQ(digest_bytes("abc", 3, 0), 0x44BC2CF5AD770999ull);
    // 32 bytes of stripes, a 4-byte word and 3 single bytes.
    const char *text = "Nobody inspects the spammish repetition";
    EXPECT_EQ(digest_bytes(text, std::strlen(text), 0), 0xFBCEA83C8A378BF1ull);
    // Three whole stripes and a tail of 8-byte words.
    std::vector<uint8_t> zeros(100, 0);
    EXPECT_EQ(digest_bytes(zeros.data(), zeros.size(), 0), 0x17BB1103C92C502Full);
    // Many stripes.
    std::vector<uint8_t> bytes(4096);
    for (size_t i = 0; i < bytes.size(); i++) bytes[i] = uint8_t(i * 7 + 3);
    EXPECT_EQ(digest_bytes(bytes.data(), bytes.size(), 0), 0x796398CD432797CCull);
}
