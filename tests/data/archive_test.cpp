// Tests of the archive reader, the LZW decoder on hand-made code streams, and plain files.

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Packs codes LSB first, the way the decoder reads them.
struct CodeStream {
    Bytes bytes;
    uint64_t bits = 0;
    int pending = 0;
    void put(uint32_t code, int width) {
        bits |= uint64_t(code) << pending;
        for (pending += width; pending >= 8; pending -= 8, bits >>= 8)
            bytes.push_back(uint8_t(bits));
    }
    Bytes done() {
        Bytes out = bytes;
        if (pending) out.push_back(uint8_t(bits));
        return out;
    }
};

// Widths as a decoder sees them: one entry per code after the first, 10 bits once 511 codes
// exist (grow_at = 1), or GIF's rule of 512 codes (grow_at = 0).
struct WidthModel {
    int next = 258, width = 9, limit = 512, grow_at = 1;
    bool fresh = true;
    void put(CodeStream *s, uint32_t code) {
        s->put(code, width);
        if (!fresh && ++next >= limit - grow_at) {
            limit *= 2;
            width++;
        }
        fresh = false;
    }
};

struct Unpacked {
    int result;
    Bytes out;
};

Unpacked unpack(const Bytes &in, size_t out_size) {
    Unpacked u{0, Bytes(out_size + 16, 0xEE)}; // guard bytes past out_size
    size_t written = 0;
    u.result = lzw_unpack_count(8, u.out.data(), out_size, in.data(), in.size(), &written);
    for (size_t i = out_size; i < u.out.size(); i++) EXPECT_EQ(u.out[i], 0xEE) << "wrote past out";
    u.out.resize(written);
    return u;
}

Bytes literal_stream(const Bytes &data, int grow_at) {
    CodeStream s;
    WidthModel m;
    m.grow_at = grow_at;
    for (uint8_t b : data) m.put(&s, b);
    m.put(&s, 257);
    return s.done();
}

TEST(LzwUnpack, HandMadeStreams) {
    CodeStream two;
    for (uint32_t c : {0x41u, 0x42u, 257u}) two.put(c, 9);
    Unpacked u = unpack(two.done(), 2);
    EXPECT_EQ(u.result, 1);
    EXPECT_EQ(u.out, (Bytes{'A', 'B'}));

    // 258 is the code about to be made: "A" + 'A'. Then 259 = "AA" + 'A'.
    CodeStream kwk;
    for (uint32_t c : {0x41u, 258u, 259u, 0x42u, 257u}) kwk.put(c, 9);
    u = unpack(kwk.done(), 7);
    EXPECT_EQ(u.result, 1);
    EXPECT_EQ(std::string(u.out.begin(), u.out.end()), "AAAAAAB");

    // A clear code restarts at 9 bits with an empty dictionary and a literal.
    CodeStream clr;
    for (uint32_t c : {0x61u, 0x62u, 258u, 256u, 0x63u, 258u, 257u}) clr.put(c, 9);
    u = unpack(clr.done(), 7);
    EXPECT_EQ(u.result, 1);
    EXPECT_EQ(std::string(u.out.begin(), u.out.end()), "ababccc");
}

TEST(LzwUnpack, WidthGrowsOneCodeEarly) {
    Bytes data(1500);
    for (size_t i = 0; i < data.size(); i++) data[i] = uint8_t(i * 7 + i / 256);
    Unpacked u = unpack(literal_stream(data, 1), data.size());
    EXPECT_EQ(u.result, 1);
    EXPECT_EQ(u.out, data);
    // The GIF rule puts the 10-bit switch one code later: the streams must not agree.
    Unpacked gif = unpack(literal_stream(data, 0), data.size());
    EXPECT_FALSE(gif.result == 1 && gif.out == data);
}

TEST(LzwUnpack, FullDictionaryIsTheLastEntryAllowed) {
    // Literals alone fill codes 258..16383; one more entry cannot be made.
    Bytes data(1 + LZW_DICT_SIZE - 258);
    for (size_t i = 0; i < data.size(); i++) data[i] = uint8_t(i ^ (i >> 8));
    Unpacked u = unpack(literal_stream(data, 1), data.size());
    EXPECT_EQ(u.result, 1);
    EXPECT_EQ(u.out, data);

    data.push_back(1);
    u = unpack(literal_stream(data, 1), data.size());
    EXPECT_EQ(u.result, 0);
    EXPECT_EQ(u.out.size(), data.size() - 1);
}

TEST(LzwUnpack, MalformedStreamsFailWithoutStrayWrites) {
    auto stream9 = [](std::initializer_list<uint32_t> codes) {
        CodeStream s;
        for (uint32_t c : codes) s.put(c, 9);
        return s.done();
    };
    EXPECT_EQ(unpack(stream9({256, 0x41, 257}), 8).result, 0);      // starts with a clear code
    EXPECT_EQ(unpack(stream9({257}), 8).result, 0);                 // starts with the end code
    EXPECT_EQ(unpack(stream9({300, 257}), 8).result, 0);            // starts with a string code
    EXPECT_EQ(unpack(stream9({0x41, 259, 257}), 8).result, 0);      // past the next free code
    EXPECT_EQ(unpack(stream9({0x41, 256, 256, 257}), 8).result, 0); // clear, then no literal
    EXPECT_EQ(unpack(Bytes{}, 8).result, 0);

    // Input that runs out before the end code keeps what was decoded.
    Bytes cut = stream9({0x41, 0x42, 0x43, 257});
    cut.resize(3);
    Unpacked u = unpack(cut, 8);
    EXPECT_EQ(u.result, 0);
    EXPECT_EQ(u.out, (Bytes{'A', 'B'}));

    // Output too small: stops at the boundary (the guard bytes check no write past it).
    u = unpack(stream9({0x41, 258, 259, 257}), 4);
    EXPECT_EQ(u.result, 0);
    EXPECT_EQ(u.out.size(), 3u);

    uint8_t out[4];
    Bytes ok = stream9({0x41, 257});
    EXPECT_EQ(lzw_unpack(8, out, 4, ok.data(), ok.size()), 1);
    EXPECT_EQ(lzw_unpack(9, out, 4, ok.data(), ok.size()), 0);
    EXPECT_EQ(lzw_unpack(0, out, 4, ok.data(), ok.size()), 0);
}

// ---- archives --------------------------------------------------------------------------------

void put32(Bytes *b, uint32_t v) {
    for (int i = 0; i < 4; i++) b->push_back(uint8_t(v >> (8 * i)));
}

struct Entry {
    std::string name;
    Bytes stored;
    uint32_t unpacked;
};

Entry stored_entry(const std::string &name, const std::string &text) {
    return Entry{name, Bytes(text.begin(), text.end()), uint32_t(text.size())};
}

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
    put32(&b, 0xDEADBEEF);
    put32(&b, uint32_t(lead));
    put32(&b, uint32_t(entries.size()));
    put32(&b, 0xDEADBEEF);
    for (char c : std::string("QVX.VFS")) b.push_back(uint8_t(c));
    return b;
}

std::string load_text(const char *name) {
    size_t size = 12345;
    uint8_t *p = file_load(name, &size);
    if (!p) return "<null: " + std::string(data_last_error()) + ">";
    std::string s(reinterpret_cast<char *>(p), size);
    mem_free(p);
    return s;
}

struct ArchiveTest : ::testing::Test {
    Bytes image;
    void TearDown() override {
        archive_close();
        file_set_data_dir(nullptr);
        mem_free_all();
    }
    int open(const Bytes &b) {
        image = b;
        data_clear_error();
        return archive_open_memory(image.data(), image.size(), "test.dat");
    }
    // Opening must fail, leave no archive open, and say why.
    void expect_refused(const Bytes &b, const char *why) {
        EXPECT_EQ(open(b), 0) << why;
        EXPECT_EQ(archive_is_open(), 0);
        EXPECT_NE(std::strstr(data_last_error(), "test.dat"), nullptr) << data_last_error();
    }
};

TEST_F(ArchiveTest, LooksUpByFileNameWithoutCaseOrDirectories) {
    ASSERT_EQ(open(make_archive(
                  {stored_entry("c_case.tga.bak", "backup"), stored_entry("C_Case.tga", "first"),
                   stored_entry("c_case.TGA", "second"), stored_entry("empty.lwo", "")},
                  40)),
              1);
    EXPECT_EQ(archive_entry_count(), 4);
    EXPECT_EQ(load_text("data\\c_case.tga"), "first");
    EXPECT_EQ(load_text("c_case.tga"), "first");
    EXPECT_EQ(load_text("C:\\DATA\\C_CASE.TGA"), "first");
    EXPECT_EQ(load_text("data/c_case.tga.bak"), "backup");
    // A prefix of an entry's name is not that entry.
    EXPECT_EQ(load_text("c_case").substr(0, 6), "<null:");
    EXPECT_NE(std::strstr(data_last_error(), "c_case"), nullptr);
    EXPECT_EQ(load_text("data\\").substr(0, 6), "<null:");

    size_t size = 99;
    uint8_t *p = file_load("EMPTY.LWO", &size);
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(size, 0u);
}

TEST_F(ArchiveTest, PackedEntriesMustDecodeToTheirExactSize) {
    CodeStream s;
    for (uint32_t c : {0x48u, 0x69u, 257u}) s.put(c, 9);
    Bytes hi = s.done(); // "Hi", 4 bytes of code
    CodeStream n;
    for (uint32_t c : {0x48u, 0x69u}) n.put(c, 9);
    ASSERT_EQ(open(make_archive({{"hi.txt", hi, 2},
                                 {"short.txt", hi, 3},
                                 {"noend.txt", n.done(), 2},
                                 {"huge.txt", hi, 0xFFFFFFF0u}})),
              1);
    EXPECT_EQ(load_text("hi.txt"), "Hi");
    for (const char *bad : {"short.txt", "noend.txt", "huge.txt"}) {
        EXPECT_EQ(load_text(bad).substr(0, 6), "<null:") << bad;
        EXPECT_NE(std::strstr(data_last_error(), bad), nullptr) << data_last_error();
    }
}

TEST_F(ArchiveTest, DamagedArchivesAreRefused) {
    Bytes good = make_archive({stored_entry("a.txt", "alpha"), stored_entry("b.txt", "beta")});
    ASSERT_EQ(open(good), 1);
    ASSERT_EQ(open(make_archive({})), 1);
    EXPECT_EQ(archive_entry_count(), 0);

    expect_refused(Bytes(good.begin(), good.begin() + 22), "shorter than a trailer");
    expect_refused(Bytes(good.begin(), good.end() - 1), "truncated: no magic at the end");
    Bytes b = good;
    b[b.size() - 3] ^= 0x01;
    expect_refused(b, "wrong magic");

    size_t trailer = good.size() - 23;
    auto with32 = [&](size_t at, uint32_t v) {
        Bytes c = good;
        for (int i = 0; i < 4; i++) c[at + i] = uint8_t(v >> (8 * i));
        return c;
    };
    expect_refused(with32(trailer + 8, 0xFFFFFFFF), "negative count");
    expect_refused(with32(trailer + 8, 3), "count past the entries");
    expect_refused(with32(trailer + 8, 0x7FFFFFFF), "absurd count");
    expect_refused(with32(trailer + 4, uint32_t(trailer + 1)), "offset past the entries");
    expect_refused(with32(trailer + 4, 0xFFFFFFFF), "absurd offset");
    expect_refused(with32(132, 0xFFFFFFFF), "stored size past the file");
    expect_refused(with32(132, 6 + 136 + 4 + 1), "stored size runs into the trailer");

    Bytes unterminated = make_archive({stored_entry(std::string(128, 'x'), "data")});
    expect_refused(unterminated, "name without terminator");

    // A failed open leaves no archive: file_load reads plain files again.
    ASSERT_EQ(open(good), 1);
    expect_refused(Bytes(5, 0), "too short");
    EXPECT_EQ(archive_entry_count(), 0);
}

TEST_F(ArchiveTest, BitFlipsAnywhereNeverReadOutOfBounds) {
    CodeStream s;
    WidthModel m;
    for (int i = 0; i < 300; i++) m.put(&s, uint32_t(i % 200));
    m.put(&s, 257);
    Bytes good = make_archive(
        {stored_entry("a.txt", "alpha"), {"p.bin", s.done(), 300}, stored_entry("z", "")});
    int opened = 0, loaded = 0;
    for (size_t bit = 0; bit < good.size() * 8; bit++) {
        Bytes b = good;
        b[bit / 8] ^= uint8_t(1u << (bit % 8));
        if (!open(b)) continue;
        opened++;
        for (int i = 0; i < archive_entry_count(); i++) {
            size_t size = 0;
            uint8_t *p = archive_load_entry(i, &size);
            if (p) {
                EXPECT_EQ(size, archive_entry(i)->unpacked_size);
                loaded++;
            }
            mem_free(p);
        }
    }
    // Flips in data bytes go unnoticed by the reader; flips in the frame must not all.
    EXPECT_GT(opened, 0);
    EXPECT_LT(opened, int(good.size() * 8));
    EXPECT_GT(loaded, 0);
}

// ---- files on disk ---------------------------------------------------------------------------

struct FileTest : ArchiveTest {
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("qm_archive_test_" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "data");
    }
    void TearDown() override {
        ArchiveTest::TearDown();
        std::error_code ec;
        fs::permissions(dir / "ro.dat", fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }
    void write(const fs::path &p, const Bytes &b) {
        std::FILE *f = std::fopen(p.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
};

TEST_F(FileTest, PlainFilesWithBackslashesAndLowerCaseNames) {
    write(dir / "data" / "loading.jpg", Bytes{'j', 'p', 'g'});
    write(dir / "data" / "zero.tga", Bytes{});
    file_set_data_dir(dir.c_str());
    EXPECT_EQ(load_text("data\\loading.jpg"), "jpg");
    EXPECT_EQ(load_text("data\\LOADING.JPG"), "jpg");
    EXPECT_EQ(load_text("data/loading.jpg"), "jpg");

    for (const char *bad : {"data\\missing.jpg", "data\\zero.tga", "data"}) {
        data_clear_error();
        EXPECT_EQ(load_text(bad).substr(0, 6), "<null:") << bad;
        EXPECT_NE(std::strstr(data_last_error(), bad), nullptr) << data_last_error();
    }
}

TEST_F(FileTest, ReadOnlyArchiveOpensAndHidesPlainFiles) {
    fs::path path = dir / "ro.dat";
    write(path, make_archive({stored_entry("inside.txt", "from the archive")}));
    write(dir / "data" / "outside.txt", Bytes{'o'});
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    file_set_data_dir(dir.c_str());

    ASSERT_EQ(archive_open(path.c_str()), 1) << data_last_error();
    EXPECT_EQ(load_text("data\\inside.txt"), "from the archive");
    EXPECT_EQ(load_text("data\\outside.txt").substr(0, 6), "<null:");
    archive_close();
    EXPECT_EQ(load_text("data\\outside.txt"), "o");

    EXPECT_EQ(archive_open((dir / "none.dat").c_str()), 0);
    EXPECT_EQ(archive_open(dir.c_str()), 0);
    EXPECT_NE(std::strstr(data_last_error(), dir.c_str()), nullptr);
}

} // namespace
