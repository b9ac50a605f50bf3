// Helpers for the object and scene reader tests: LightWave files written byte by byte, and a
// temporary data folder that file_load reads them from.
#pragma once

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void put_u16(Bytes &b, unsigned v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

inline void put_u32(Bytes &b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(uint8_t(v >> shift));
}

inline void put_f32(Bytes &b, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    put_u32(b, bits);
}

inline void put_tag(Bytes &b, const char *tag) {
    for (int i = 0; i < 4; i++) b.push_back(uint8_t(tag[i]));
}

// A name as LightWave stores it: characters, terminator, and a zero pad to an even length.
inline void put_name(Bytes &b, const std::string &name) {
    b.insert(b.end(), name.begin(), name.end());
    b.push_back(0);
    if ((name.size() + 1) % 2) b.push_back(0);
}

// A chunk (a four-byte length) or a sub-chunk of a SURF (a two-byte one).
inline Bytes chunk(const char *tag, const Bytes &body, bool sub = false) {
    Bytes b;
    put_tag(b, tag);
    if (sub)
        put_u16(b, unsigned(body.size()));
    else
        put_u32(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

inline Bytes sub_chunk(const char *tag, const Bytes &body) {
    return chunk(tag, body, true);
}

inline Bytes pnts(const std::vector<float> &xyz) {
    Bytes b;
    for (float f : xyz) put_f32(b, f);
    return chunk("PNTS", b);
}

inline Bytes srfs(const std::vector<std::string> &names) {
    Bytes b;
    for (const std::string &n : names) put_name(b, n);
    return chunk("SRFS", b);
}

// One polygon: vertex count, indices, surface number.
inline void put_polygon(Bytes &b, const std::vector<unsigned> &index, unsigned surface) {
    put_u16(b, unsigned(index.size()));
    for (unsigned i : index) put_u16(b, i);
    put_u16(b, surface);
}

// A SURF chunk with a colour and optionally a flag word.
inline Bytes surf(const std::string &name, uint8_t r, uint8_t g, uint8_t b, int flags = -1) {
    Bytes body;
    put_name(body, name);
    Bytes colr = sub_chunk("COLR", Bytes{r, g, b, 0});
    body.insert(body.end(), colr.begin(), colr.end());
    if (flags >= 0) {
        Bytes f;
        put_u16(f, unsigned(flags));
        Bytes flag = sub_chunk("FLAG", f);
        body.insert(body.end(), flag.begin(), flag.end());
    }
    return chunk("SURF", body);
}

// FORM header and the chunks; the form length is what a writer would put there.
inline Bytes lwob(const std::vector<Bytes> &chunks) {
    Bytes body;
    put_tag(body, "LWOB");
    for (const Bytes &c : chunks) body.insert(body.end(), c.begin(), c.end());
    return chunk("FORM", body);
}

// A fresh data folder per test; file_load reads from it. Every registry block is released after
// the test so that one test's leftovers cannot hide another's leak.
class DataFolderTest : public ::testing::Test {
  protected:
    std::filesystem::path dir;

    void SetUp() override {
        dir = make_temp_dir();
        file_set_data_dir(dir.c_str());
        data_clear_error();
    }
    void TearDown() override {
        file_set_data_dir(nullptr);
        mem_free_all();
        remove_tree(dir);
    }

    void write(const std::string &name, const Bytes &bytes) {
        std::filesystem::create_directories((dir / name).parent_path());
        std::ofstream out(dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }
    void write(const std::string &name, const std::string &text) {
        write(name, Bytes(text.begin(), text.end()));
    }
};
