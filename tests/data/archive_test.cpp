// Tests of the archive reader, the LZW decoder on hand-made code streams, and plain files.

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Codes packed LSB first at the widths a decoder grows: one entry per code but the first after
// a start or clear; 10 bits once 511 codes exist, one code earlier than GIF.
Bytes stream(const std::vector<uint32_t> &codes) {
    Bytes out;
    uint64_t bits = 0;
    int pending = 0, next = 258, width = 9, fresh = 1;
    for (uint32_t code : codes) {
        bits |= uint64_t(code) << pending;
        for (pending += width; pending >= 8; pending -= 8, bits >>= 8) out.push_back(uint8_t(bits));
        if (code == 256) {
            next = 258, width = 9, fresh = 1;
            continue;
        }
        if (!fresh && ++next >= (1 << width) - 1) width++;
        fresh = 0;
    }
    if (pending) out.push_back(uint8_t(bits));
    return out;
}

// Decodes into out_size bytes followed by guard bytes that must stay untouched.
int unpack(const Bytes &in, size_t out_size, Bytes *out) {
    Bytes buf(out_size + 16, 0xEE);
    size_t written = 0;
    int result = lzw_unpack_count(8, buf.data(), out_size, in.data(), in.size(), &written);
    for (size_t i = out_size; i < buf.size(); i++) EXPECT_EQ(buf[i], 0xEE) << "wrote past out";
    *out = Bytes(buf.begin(), buf.begin() + long(written));
    return result;
}

TEST(LzwUnpack, WidthGrowsOneCodeEarlyUpToAFullDictionary) {
    // Literals alone make one entry each: 16,127 of them fill codes 258..16383 exactly.
    std::vector<uint32_t> codes;
    Bytes data;
    for (uint32_t i = 0; i < uint32_t(1 + LZW_DICT_SIZE - 258); i++) {
        data.push_back(uint8_t(i ^ (i >> 8)));
        codes.push_back(data.back());
    }
    codes.push_back(257);
    Bytes out;
    EXPECT_EQ(unpack(stream(codes), data.size(), &out), 1);
    EXPECT_TRUE(out == data);
    // One more entry does not fit: refused, the output so far kept.
    codes.insert(codes.end() - 1, 'x');
    EXPECT_EQ(unpack(stream(codes), data.size() + 1, &out), 0);
    EXPECT_EQ(out.size(), data.size());
}

TEST(LzwUnpack, MalformedStreamsFailWithoutStrayWrites) {
    Bytes out;
    for (const std::vector<uint32_t> &bad : std::vector<std::vector<uint32_t>>{
             {256, 'A', 257}, {257}, {300, 257}, {'A', 259, 257}, {'A', 256, 256, 257}, {}})
        EXPECT_EQ(unpack(stream(bad), 8, &out), 0) << bad.size() << " codes";

    Bytes cut = stream({'A', 'B', 'C', 257});
    cut.resize(3);
    EXPECT_EQ(unpack(cut, 8, &out), 0);
    EXPECT_EQ(out, Bytes({'A', 'B'})); // what was decoded before the input ran out

    EXPECT_EQ(unpack(stream({'A', 258, 259, 257}), 4, &out), 0); // "AAAAAA" into 4
    EXPECT_EQ(out.size(), 3u);

    Bytes ok = stream({'A', 257});
    uint8_t one[1];
    EXPECT_EQ(lzw_unpack(8, one, 1, ok.data(), ok.size()), 1);
    EXPECT_EQ(lzw_unpack(9, one, 1, ok.data(), ok.size()), 0);
    // The smallest code size: clear 4, end 5, three bits wide, four once code 6 exists. Codes
    // 1, 2 (3 bits each) and 5 (4 bits) low bits first: 0x51 0x01.
    const uint8_t two_bits[] = {0x51, 0x01};
    uint8_t out2[2];
    EXPECT_EQ(lzw_unpack(2, out2, 2, two_bits, 2), 1);
    EXPECT_EQ(out2[0] * 16 + out2[1], 0x12);
}

// ---- archives --------------------------------------------------------------------------------

struct Entry {
    std::string name;
    Bytes stored;
    uint32_t unpacked;
};

Entry plain(const std::string &name, const std::string &text) {
    return Entry{name, Bytes(text.begin(), text.end()), uint32_t(text.size())};
}

void put32(Bytes *b, uint32_t v) {
    for (int i = 0; i < 4; i++) b->push_back(uint8_t(v >> (8 * i)));
}

// Entries after lead filler bytes, then the trailer pointing at them.
Bytes make_archive(const std::vector<Entry> &entries, size_t lead = 0) {
    Bytes b(lead, 0x5A);
    for (const Entry &e : entries) {
        size_t at = b.size();
        b.resize(at + 128, 0);
        std::memcpy(b.data() + at, e.name.data(), std::min<size_t>(e.name.size(), 128));
        put32(&b, e.unpacked);
        put32(&b, uint32_t(e.stored.size()));
        b.insert(b.end(), e.stored.begin(), e.stored.end());
    }
    for (uint32_t v : {0xDEADBEEFu, uint32_t(lead), uint32_t(entries.size()), 0xDEADBEEFu})
        put32(&b, v);
    for (char c : std::string("QVX.VFS")) b.push_back(uint8_t(c));
    return b;
}

std::string load_text(const std::string &name) {
    size_t size = 12345;
    uint8_t *p = file_load(name.c_str(), &size);
    if (!p) return "<null: " + std::string(data_last_error()) + ">";
    std::string s(reinterpret_cast<char *>(p), size);
    mem_free(p);
    return s;
}

bool says(const std::string &what) {
    return std::strstr(data_last_error(), what.c_str());
}

struct ArchiveTest : ::testing::Test {
    Bytes image;
    fs::path dir = fs::temp_directory_path() / ("qm_archive_test_" + std::to_string(getpid()));
    void TearDown() override {
        archive_close();
        file_set_data_dir(nullptr);
        mem_free_all();
        fs::remove_all(dir);
    }
    int open(const Bytes &b) {
        image = b;
        return archive_open_memory(image.data(), image.size(), "test.dat");
    }
    void write(const fs::path &p, const Bytes &b) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary).write((const char *)b.data(), long(b.size()));
    }
};

TEST_F(ArchiveTest, LooksUpByFileNameWithoutCaseOrDirectories) {
    ASSERT_EQ(open(make_archive({plain("c_case.tga.bak", "backup"), plain("C_Case.tga", "first"),
                                 plain("c_case.TGA", "second"), plain("empty.lwo", "")},
                                40)),
              1);
    EXPECT_EQ(load_text("C:\\DATA\\C_CASE.TGA"), "first");
    EXPECT_EQ(load_text("data/c_case.tga.bak"), "backup");
    // A prefix of an entry's name is not that entry.
    EXPECT_EQ(load_text("c_case").substr(0, 6), "<null:");
    EXPECT_TRUE(says("c_case"));
    EXPECT_EQ(load_text("data\\").substr(0, 6), "<null:");

    size_t size = 99;
    EXPECT_NE(file_load("EMPTY.LWO", &size), nullptr);
    EXPECT_EQ(size, 0u);
}

TEST_F(ArchiveTest, PackedEntriesMustDecodeToTheirExactSize) {
    Bytes hi = stream({'H', 'i', 257});
    ASSERT_EQ(open(make_archive({{"hi.txt", hi, 2},
                                 {"short.txt", hi, 3},
                                 {"noend.txt", stream({'H', 'i'}), 2},
                                 {"huge.txt", hi, 0xFFFFFFF0u}})),
              1);
    EXPECT_EQ(load_text("hi.txt"), "Hi");
    for (const char *bad : {"short.txt", "noend.txt", "huge.txt"}) {
        EXPECT_EQ(load_text(bad).substr(0, 6), "<null:") << bad;
        EXPECT_TRUE(says(bad)) << data_last_error();
    }
    // Refused from its header alone, before 4 GB are asked for.
    EXPECT_TRUE(says("claims")) << data_last_error();
}

TEST_F(ArchiveTest, SizesAndOffsetsReadAllFourBytesLowFirst) {
    // A lead of 0x010203 bytes and an entry of 0x01020304 bytes: no two bytes of a field alike.
    std::string big(0x01020304, 'q');
    big.back() = '!';
    ASSERT_EQ(
        open(make_archive({plain("a.txt", "alpha"), plain("big.txt", big), plain("z.txt", "zed")},
                          0x010203)),
        1)
        << data_last_error();
    EXPECT_EQ(load_text("big.txt"), big);
    EXPECT_EQ(load_text("z.txt"), "zed");
}

TEST_F(ArchiveTest, DamagedArchivesAreRefused) {
    Bytes good = make_archive({plain("a.txt", "alpha"), plain("b.txt", "beta")});
    size_t trailer = good.size() - 23;
    auto with32 = [&](size_t at, uint32_t v) {
        Bytes c = good;
        for (int i = 0; i < 4; i++) c[at + i] = uint8_t(v >> (8 * i));
        return c;
    };
    // The program's damage sweep damages the trailer and headers end to end; here, the ends
    // of the ranges: shorter than a trailer, a negative count, an entry ending in the trailer.
    for (const Bytes &bad : {Bytes(good.begin(), good.begin() + 22),
                             with32(trailer + 8, 0xFFFFFFFF), with32(132, 147)}) {
        ASSERT_EQ(open(good), 1);
        EXPECT_EQ(open(bad), 0);
        EXPECT_TRUE(says("test.dat")) << data_last_error();
        // A failed open leaves no archive behind.
        EXPECT_EQ(archive_is_open(), 0);
        EXPECT_EQ(archive_entry_count(), 0);
    }
    EXPECT_EQ(open(make_archive({})), 1);
}

TEST_F(ArchiveTest, PlainFilesAndAReadOnlyArchiveOnDisk) {
    write(dir / "data" / "loading.jpg", {'j', 'p', 'g'});
    write(dir / "data" / "zero.tga", {});
    file_set_data_dir(dir.c_str());
    EXPECT_EQ(load_text("data\\LOADING.JPG"), "jpg");
    for (const char *bad : {"data\\missing.jpg", "data\\zero.tga", "data"}) {
        EXPECT_EQ(load_text(bad).substr(0, 6), "<null:") << bad;
        EXPECT_TRUE(says(bad)) << data_last_error();
    }

    fs::path dat = dir / "ro.dat";
    write(dat, make_archive({plain("inside.txt", "from the archive")}));
    fs::permissions(dat, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_EQ(archive_open(dat.c_str()), 1) << data_last_error();
    EXPECT_EQ(load_text("data\\inside.txt"), "from the archive");
    EXPECT_EQ(load_text("data\\loading.jpg").substr(0, 6), "<null:"); // no fall-back

    EXPECT_EQ(archive_open((dir / "none.dat").c_str()), 0);
    EXPECT_EQ(archive_open(dir.c_str()), 0);
    EXPECT_TRUE(says(dir.string()));
}

// Without an archive, a file missing from an existing data folder is named alone; with no data
// folder at all, the message says where quellmor.dat was looked for, with the system's reason
// when there is one beyond an empty folder.
TEST_F(ArchiveTest, MissingDataSaysWhatWasLookedForAndWhere) {
    fs::create_directories(dir / "empty");
    write(dir / "some" / "data" / "other.tga", {'t'});
    const std::string nowhere = (dir / "nowhere").string(), empty = (dir / "empty").string();
    file_set_data_dir(nowhere.c_str());
    EXPECT_EQ(load_text("data\\bardown.tga").substr(0, 6), "<null:");
    EXPECT_STREQ(data_last_error(), ("no quellmor.dat in " + nowhere +
                                     " (looked for data\\bardown.tga too): No such file or "
                                     "directory")
                                        .c_str());
    file_set_data_dir(empty.c_str());
    EXPECT_EQ(load_text("data\\bardown.tga").substr(0, 6), "<null:");
    EXPECT_STREQ(data_last_error(),
                 ("no quellmor.dat in " + empty + " (looked for data\\bardown.tga too)").c_str());
    file_set_data_dir((dir / "some").c_str());
    EXPECT_EQ(load_text("data\\bardown.tga").substr(0, 6), "<null:");
    EXPECT_STREQ(data_last_error(), "data\\bardown.tga: no such file");
    // Permissions do not hold back the superuser.
    if (geteuid() == 0) return;
    fs::permissions(dir / "empty", fs::perms::none);
    file_set_data_dir(empty.c_str());
    EXPECT_EQ(load_text("data\\bardown.tga").substr(0, 6), "<null:");
    EXPECT_TRUE(says("Permission denied")) << data_last_error();
    fs::permissions(dir / "empty", fs::perms::owner_all);
    fs::path dat = dir / "locked.dat";
    write(dat, make_archive({}));
    fs::permissions(dat, fs::perms::none);
    EXPECT_EQ(archive_open(dat.c_str()), 0);
    EXPECT_TRUE(says("cannot open the archive: Permission denied")) << data_last_error();
}

} // namespace
