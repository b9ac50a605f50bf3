// Tests of the LZW compressor and the archive writer, read back by the program's own reader.

#include "pack.h"

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Deterministic data of several kinds, as the show's files mix them.
struct Rng {
    uint64_t s = 0x9E3779B97F4A7C15ull;
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s >> 32);
    }
};

Bytes random_bytes(size_t n, uint32_t alphabet = 256) {
    Rng r;
    Bytes b(n);
    for (uint8_t &v : b) v = uint8_t(r.next() % alphabet);
    return b;
}

Bytes text_bytes(size_t n) {
    static const char *words[] = {"Surf ",           "PNTS ",     "polygon ", "the ",    "light ",
                                  "KeyframeMotion ", "0.000000 ", "\n",       "camera ", "1 "};
    Rng r;
    Bytes b;
    while (b.size() < n) {
        const char *w = words[r.next() % 10];
        b.insert(b.end(), w, w + std::strlen(w));
    }
    b.resize(n);
    return b;
}

// A picture-like mix: gradients, noise and flat runs.
Bytes picture_bytes(size_t n) {
    Rng r;
    Bytes b(n);
    for (size_t i = 0; i < n; i++) {
        size_t band = (i / 4096) % 3;
        b[i] = band == 0 ? uint8_t(i / 7) : band == 1 ? uint8_t(r.next() % 5 + 100) : 0x40;
    }
    return b;
}

// Reads a code stream's widths as the decoder grows them and checks the writer's promises:
// a clear code before any code would need more than 14 bits, and an end code at the very end.
void expect_width_limit(const Bytes &stream) {
    uint64_t bit = 0;
    int width = 9, limit = 512, next = 258, clears = 0;
    bool fresh = true;
    for (;;) {
        ASSERT_LE(width, LZW_MAX_WIDTH);
        ASSERT_LE(bit + width, stream.size() * 8) << "no end code";
        uint32_t code = 0;
        for (int i = 0; i < width; i++, bit++)
            code |= uint32_t(stream[bit / 8] >> (bit % 8) & 1) << i;
        if (code == 257) break;
        if (code == 256) {
            width = 9, limit = 512, next = 258, fresh = true;
            clears++;
            continue;
        }
        if (!fresh && ++next >= limit - 1) limit *= 2, width++;
        fresh = false;
    }
    EXPECT_EQ((bit + 7) / 8, stream.size()) << "bytes after the end code";
    if (stream.size() > size_t(LZW_DICT_SIZE) * LZW_MAX_WIDTH / 8) {
        EXPECT_GT(clears, 0);
    }
}

void expect_round_trip(const Bytes &data, const char *what) {
    SCOPED_TRACE(what);
    Bytes stream = lzw_pack(data.data(), data.size());
    expect_width_limit(stream);
    Bytes out(data.size() + 64, 0xEE);
    size_t written = 0;
    // Room to spare: the stream itself must say where the data ends.
    EXPECT_EQ(lzw_unpack_count(8, out.data(), out.size(), stream.data(), stream.size(), &written),
              1);
    ASSERT_EQ(written, data.size());
    out.resize(written);
    EXPECT_TRUE(out == data);
}

TEST(LzwPack, RoundTripsEveryKindOfData) {
    expect_round_trip(Bytes{0x7F}, "one byte");
    expect_round_trip(Bytes{1, 2}, "two literals");
    expect_round_trip(Bytes(100000, 'a'), "one long run: each new code is the next free one");
    expect_round_trip(text_bytes(300000), "text");
    expect_round_trip(random_bytes(200000), "random");
    expect_round_trip(random_bytes(400000, 3), "small alphabet, many dictionary resets");
    expect_round_trip(picture_bytes(1 << 20), "picture-like");
}

TEST(LzwPack, EmptyDataHasNoStream) {
    EXPECT_TRUE(lzw_pack(nullptr, 0).empty());
}

TEST(LzwPack, EntriesArePackedOnlyWhenStrictlySmaller) {
    PackEntry e;
    std::string error;
    Bytes text = text_bytes(5000);
    ASSERT_TRUE(pack_make_entry("t.lws", text.data(), text.size(), false, &e, &error));
    EXPECT_LT(e.stored.size(), text.size());
    EXPECT_EQ(e.unpacked_size, text.size());

    ASSERT_TRUE(pack_make_entry("t.lws", text.data(), text.size(), true, &e, &error));
    EXPECT_TRUE(e.stored == text);

    Bytes noise = random_bytes(5000);
    ASSERT_TRUE(pack_make_entry("n.tga", noise.data(), noise.size(), false, &e, &error));
    EXPECT_TRUE(e.stored == noise);

    ASSERT_TRUE(pack_make_entry("z.tga", nullptr, 0, false, &e, &error));
    EXPECT_TRUE(e.stored.empty());

    // Find data whose code stream is exactly as long as the data: it must be stored, or the
    // reader would take the stream for the data.
    Bytes same;
    for (size_t run = 1; run < 400 && same.empty(); run++) {
        Bytes d(run, 'x');
        Bytes tail = random_bytes(40);
        d.insert(d.end(), tail.begin(), tail.end());
        if (lzw_pack(d.data(), d.size()).size() == d.size()) same = d;
    }
    ASSERT_FALSE(same.empty());
    ASSERT_TRUE(pack_make_entry("s.bin", same.data(), same.size(), false, &e, &error));
    EXPECT_TRUE(e.stored == same);
}

TEST(LzwPack, NamesTheReaderCouldNotFindAreRefused) {
    PackEntry e;
    std::string error;
    uint8_t byte = 1;
    EXPECT_TRUE(pack_make_entry(std::string(127, 'n'), &byte, 1, false, &e, &error));
    for (const std::string &bad : {std::string(128, 'n'), std::string(""), std::string("a\\b.tga"),
                                   std::string("c:x.tga")}) {
        error.clear();
        EXPECT_FALSE(pack_make_entry(bad, &byte, 1, false, &e, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

struct PackArchiveTest : ::testing::Test {
    Bytes file;
    std::vector<Bytes> contents;
    void SetUp() override {
        // The flat run packs as tightly as LZW can: the reader's size check must let it pass.
        contents = {text_bytes(70000), random_bytes(3000),   Bytes{},
                    Bytes{9},          picture_bytes(50000), Bytes(1 << 22, 0)};
        const char *names[] = {"scene.lws", "noise.tga", "empty.lwo",
                               "one.bin",   "pic.jpg",   "flat.tga"};
        std::vector<PackEntry> entries;
        for (size_t i = 0; i < contents.size(); i++) {
            PackEntry e;
            std::string error;
            ASSERT_TRUE(pack_make_entry(names[i], contents[i].data(), contents[i].size(), false, &e,
                                        &error));
            entries.push_back(e);
        }
        file = pack_archive(entries);
    }
    void TearDown() override {
        archive_close();
        mem_free_all();
    }
};

TEST_F(PackArchiveTest, ReaderLoadsEveryEntryBack) {
    ASSERT_EQ(archive_open_memory(file.data(), file.size(), "packed.dat"), 1) << data_last_error();
    ASSERT_EQ(archive_entry_count(), 6);
    for (int i = 0; i < 6; i++) {
        size_t size = 1;
        uint8_t *p = archive_load_entry(i, &size);
        ASSERT_NE(p, nullptr) << data_last_error();
        EXPECT_TRUE(Bytes(p, p + size) == contents[i]) << archive_entry(i)->name;
    }
    size_t size = 0;
    uint8_t *p = file_load("data\\PIC.JPG", &size);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(Bytes(p, p + size) == contents[4]);
    std::vector<std::string> problems;
    EXPECT_EQ(pack_check_sums(file, &problems), 0);
}

TEST_F(PackArchiveTest, ChecksumsNameTheDamagedEntry) {
    // Flip one bit inside the stored noise (second entry): nothing else can notice it.
    ASSERT_EQ(archive_open_memory(file.data(), file.size(), "packed.dat"), 1);
    Bytes bad = file;
    bad[archive_entry(1)->data_offset + 1000] ^= 0x04;
    std::vector<std::string> problems;
    EXPECT_EQ(pack_check_sums(bad, &problems), 1);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("noise.tga"), std::string::npos);

    problems.clear();
    bad = file;
    bad[8] ^= 0x01; // the first entry's sum in the table
    EXPECT_EQ(pack_check_sums(bad, &problems), 1);
    EXPECT_NE(problems[0].find("checksum table"), std::string::npos);

    // An archive from another writer, without a table, is not judged by it.
    bad = file;
    bad[0] = 'X';
    EXPECT_EQ(pack_check_sums(bad, &problems), -1);
}

} // namespace
