// Tests of the LZW compressor and the archive writer, read back by the program's own reader.

#include "pack.h"

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Deterministic samples: bytes drawn from an alphabet of the given size, or (alphabet 0)
// text-like words.
Bytes sample(size_t n, uint32_t alphabet) {
    static const std::string words[] = {"Surf ", "PNTS ", "polygon ", "\n", "0.000000 "};
    uint64_t s = 0x9E3779B97F4A7C15ull;
    Bytes b;
    while (b.size() < n) {
        s ^= s << 13, s ^= s >> 7, s ^= s << 17;
        if (alphabet)
            b.push_back(uint8_t(s % alphabet));
        else
            b.insert(b.end(), words[s % 5].begin(), words[s % 5].end());
    }
    b.resize(n);
    return b;
}

TEST(LzwPack, RoundTripsEveryKindOfData) {
    std::vector<std::pair<const char *, Bytes>> cases = {
        {"one byte", {0x7F}},
        {"long run: every new code is the next free one", Bytes(100000, 'a')},
        {"random", sample(200000, 256)},
        {"small alphabet, many dictionary resets", sample(400000, 3)},
    };
    for (const auto &[what, data] : cases) {
        SCOPED_TRACE(what);
        Bytes stream = lzw_pack(data.data(), data.size());
        Bytes out(data.size() + 64);
        size_t written = 0;
        // Room to spare: the stream itself must say where the data ends. The reader refuses a
        // code into a full dictionary, so the packer's clear codes are tried here too.
        EXPECT_EQ(
            lzw_unpack_count(8, out.data(), out.size(), stream.data(), stream.size(), &written), 1);
        out.resize(written);
        EXPECT_TRUE(out == data);
    }
    EXPECT_TRUE(lzw_pack(nullptr, 0).empty());
}

TEST(LzwPack, EntriesArePackedOnlyWhenStrictlySmaller) {
    PackEntry e;
    std::string error;
    Bytes text = sample(5000, 0), noise = sample(5000, 256);
    ASSERT_TRUE(pack_make_entry("t.lws", text.data(), text.size(), false, &e, &error));
    EXPECT_LT(e.stored.size(), text.size());
    EXPECT_EQ(e.unpacked_size, text.size());
    ASSERT_TRUE(pack_make_entry("t.lws", text.data(), text.size(), true, &e, &error));
    EXPECT_TRUE(e.stored == text);
    ASSERT_TRUE(pack_make_entry("n.tga", noise.data(), noise.size(), false, &e, &error));
    EXPECT_TRUE(e.stored == noise);

    // Data whose code stream is exactly as long as itself must be stored, or the reader would
    // take the stream for the data.
    Bytes same;
    for (size_t run = 1; run < 400 && same.empty(); run++) {
        Bytes d(run, 'x');
        d.insert(d.end(), noise.begin(), noise.begin() + 40);
        if (lzw_pack(d.data(), d.size()).size() == d.size()) same = d;
    }
    ASSERT_FALSE(same.empty());
    ASSERT_TRUE(pack_make_entry("s.bin", same.data(), same.size(), false, &e, &error));
    EXPECT_TRUE(e.stored == same);

    uint8_t byte = 1;
    EXPECT_TRUE(pack_make_entry(std::string(127, 'n'), &byte, 1, false, &e, &error));
    for (const std::string &bad : {std::string(128, 'n'), std::string(), std::string("a\\b.tga")})
        EXPECT_FALSE(pack_make_entry(bad, &byte, 1, false, &e, &error)) << bad;
}

TEST(PackArchive, ReaderLoadsEveryEntryAndTheTableChecksItself) {
    // The flat run packs as tightly as LZW can: the reader's size check must let it pass.
    std::vector<Bytes> contents = {sample(70000, 0), sample(3000, 256), {}, {9}, Bytes(1 << 22, 0)};
    const char *names[] = {"scene.lws", "noise.tga", "empty.lwo", "one.bin", "flat.tga"};
    std::vector<PackEntry> entries(contents.size());
    std::string error;
    for (size_t i = 0; i < contents.size(); i++)
        ASSERT_TRUE(pack_make_entry(names[i], contents[i].data(), contents[i].size(), false,
                                    &entries[i], &error));
    Bytes file = pack_archive(entries);
    ASSERT_EQ(archive_open_memory(file.data(), file.size(), "packed.dat"), 1) << data_last_error();
    ASSERT_EQ(archive_entry_count(), 5);
    for (int i = 0; i < 5; i++) {
        size_t size = 1;
        uint8_t *p = file_load((std::string("data\\") + names[i]).c_str(), &size);
        ASSERT_NE(p, nullptr) << data_last_error();
        EXPECT_TRUE(Bytes(p, p + size) == contents[i]) << names[i];
    }
    std::vector<std::string> problems;
    EXPECT_EQ(pack_check_sums(file, &problems), 0);

    // Damage to an entry's data is named by the tool's test; here the table's own.
    Bytes bad = file;
    bad[8] ^= 0x01; // the first sum in the table
    EXPECT_EQ(pack_check_sums(bad, &problems), 1);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("checksum table"), std::string::npos);
    // An archive from another writer, without a table, is not judged by it.
    bad[0] = 'X';
    EXPECT_EQ(pack_check_sums(bad, &problems), -1);
    archive_close();
    mem_free_all();
}

} // namespace
