// Helpers of the picture reader tests: reading a file, and the refusal every damaged picture
// must get.
#pragma once

#include "data/error.h"
#include "data/image.h"
#include "data/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A whole file, or nothing.
inline Bytes read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A picture reader (tga_decode, jpeg_decode).
using PictureReader = Image *(*)(const char *name, const uint8_t *data, size_t size, int32_t flags);

// The reader must refuse the file, give back what it took, and record a reason that starts with
// the file's name and says `reason`.
inline void expect_refused(PictureReader read, const Bytes &file, const char *reason) {
    int32_t blocks = mem_live_blocks();
    data_clear_error();
    EXPECT_EQ(read("data\\x.pic", file.data(), file.size(), 0), nullptr) << reason;
    std::string why = data_last_error();
    EXPECT_EQ(why.rfind("data\\x.pic: ", 0), 0u) << why;
    EXPECT_NE(why.find(reason), std::string::npos) << why;
    EXPECT_EQ(mem_live_blocks(), blocks) << reason;
}
