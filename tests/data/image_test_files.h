// Helpers of the picture reader tests: a scratch folder and running ImageMagick.
#pragma once

#include "data/error.h"
#include "data/image.h"
#include "data/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A folder of its own below /tmp, removed with everything in it afterwards.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        char pattern[] = "/tmp/qm_picture_XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    std::string file(const std::string &name) const { return (path / name).string(); }
    void write(const std::string &name, const Bytes &b) const {
        std::ofstream(path / name, std::ios::binary).write((const char *)b.data(), b.size());
    }
};

// What a shell command writes to its output, or nothing when it fails.
inline Bytes run_command(const std::string &command) {
    Bytes out;
    FILE *f = popen(command.c_str(), "r");
    if (!f) return out;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out.insert(out.end(), chunk, chunk + n);
    return pclose(f) == 0 ? out : Bytes();
}

// A whole file, or nothing.
inline Bytes read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A binary PPM of w x h RGB samples, as ImageMagick reads it.
inline Bytes ppm(int w, int h, const Bytes &rgb) {
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes out(head.begin(), head.end());
    out.insert(out.end(), rgb.begin(), rgb.end());
    return out;
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
