// Damaged data: every entry of the built archive cut short or with bytes changed, the archive's
// own bookkeeping damaged, and the two tunes damaged. Each case runs the built program; it must
// either play a few hundred ticks or end with status 1 and one line naming what is wrong --
// never by a signal, never hanging.

#include "data/archive.h"
#include "data/memory.h"
#include "pack.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;

#if defined(__SANITIZE_ADDRESS__)
constexpr int STRIDE = 6; // the sanitizer build runs one case in STRIDE
constexpr int DEADLINE_SECONDS = 240;
#else
constexpr int STRIDE = 1;
constexpr int DEADLINE_SECONDS = 60;
#endif
constexpr const char *TICKS = "200";

// An entry as the archive holds it, and its content unpacked.
struct Entry : PackEntry {
    Bytes content;
};

std::vector<Entry> read_archive(const std::string &path) {
    std::vector<Entry> entries;
    Bytes file = read_text(path);
    if (!archive_open(path.c_str())) return entries;
    for (int i = 0; i < archive_entry_count(); i++) {
        const ArchiveEntry *e = archive_entry(i);
        size_t size = 0;
        uint8_t *content = archive_load_entry(i, &size);
        const uint8_t *stored = reinterpret_cast<const uint8_t *>(file.data()) + e->data_offset;
        entries.push_back({{e->name, e->unpacked_size, {stored, stored + e->stored_size}},
                           Bytes(content, content + size)});
        mem_free(content);
    }
    archive_close();
    mem_free_all();
    return entries;
}

void put_u32(Bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = uint8_t(v >> 8 * i);
}

// The packer's archive: its checksum table first, which the program skips.
Bytes write_archive(const std::vector<Entry> &entries) {
    std::vector<uint8_t> out = pack_archive({entries.begin(), entries.end()});
    return Bytes(out.begin(), out.end());
}

// The part that shows an entry, so that damage the loader lets through is drawn too. Bars,
// captions and the loading screen are shared; the glow part shows them.
int part_of(const std::string &name) {
    static const std::pair<const char *, int> prefixes[] = {
        {"girl", 4}, {"g", 5},       {"ialpha", 1},   {"iback", 1},  {"ibob", 1}, {"itext", 1},
        {"c_", 1},   {"vandrel", 1}, {"quellmor", 2}, {"magn", 3},   {"scen", 6}, {"meta", 7},
        {"lite", 8}, {"ptl_", 9},    {"pmorph", 9},   {"trace", 10}, {"end", 12}, {"moor", 11}};
    for (const auto &[prefix, part] : prefixes)
        if (name.rfind(prefix, 0) == 0) return part;
    return 5;
}

// Runs the program with args (it writes nothing to stdout here), and kills it at the deadline:
// the status is wait_program's.
CommandResult run(const std::string &dir, const std::vector<std::string> &args) {
    const int status = wait_program(start_program(QM_PROGRAM, args, dir + "/stderr.txt"),
                                    std::chrono::seconds(DEADLINE_SECONDS));
    return {status, "", read_text(dir + "/stderr.txt")};
}

// Played to the end tick, or ended with one line that names `what`.
void expect_plays_or_names(const CommandResult &r, const std::string &what) {
    ASSERT_NE(r.status, -1) << "still running after " << DEADLINE_SECONDS << " s";
    ASSERT_LT(r.status, 256) << "ended by signal " << r.status - 256 << ": " << r.err;
    if (r.status == 0) {
        EXPECT_EQ(r.err, "");
        return;
    }
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
}

struct DamageTest : testing::Test {
    TempDir dir;
    std::vector<Entry> entries;
    int cases = 0;

    void SetUp() override {
        entries = read_archive(QM_BUILD_DIR "/quellmor.dat");
        if (entries.empty()) GTEST_SKIP() << "the forge has not made the archive";
    }
    void TearDown() override { std::printf("[ damage  ] %d cases\n", cases); }
    // Counts every case; true for the ones this build runs.
    bool chosen() { return cases++ % STRIDE == 0; }

    CommandResult play(int part, const std::vector<std::string> &extra = {}) {
        std::vector<std::string> args = {"--part", std::to_string(part), "--ticks", TICKS, "--data",
                                         dir};
        args.insert(args.end(), extra.begin(), extra.end());
        if (extra.empty()) args.push_back("--headless");
        return run(dir, args);
    }
    CommandResult play_archive(const Bytes &archive, int part) {
        write_text(dir + "/quellmor.dat", archive);
        return play(part);
    }
};

// Changes `count` seeded bytes of b (each to a different value).
template <class Bytes> void flip_bytes(Bytes &b, std::mt19937 &random, int count) {
    for (int i = 0; i < count && !b.empty(); i++)
        b[random() % b.size()] ^= uint8_t(1 + random() % 255);
}

// Each entry cut in its headers, cut anywhere, cut one byte short (each stored as it is), its
// packed data cut in half, and its stored bytes changed. Every entry gets one of these in turn;
// QM_DAMAGE_FULL=1 runs them all.
TEST_F(DamageTest, EveryEntryCutShortOrChanged) {
    bool full = std::getenv("QM_DAMAGE_FULL") != nullptr;
    for (size_t i = 0; i < entries.size(); i++) {
        const Entry &e = entries[i];
        std::mt19937 random(uint32_t(i) + 1);
        size_t size = e.content.size();
        std::vector<std::pair<std::string, Entry>> damaged;
        for (size_t cut : {size ? random() % std::min<size_t>(size, 64) : 0,
                           size ? random() % size : 0, size ? size - 1 : 0}) {
            Entry d = e;
            d.stored.assign(e.content.begin(), e.content.begin() + long(cut));
            d.unpacked_size = uint32_t(cut);
            damaged.push_back({"cut to " + std::to_string(cut) + " bytes", d});
        }
        if (e.stored.size() != e.unpacked_size) {
            Entry d = e;
            d.stored.resize(e.stored.size() / 2);
            damaged.push_back({"packed data cut in half", d});
        }
        Entry d = e;
        int flips = 1 + int(random() % 4);
        flip_bytes(d.stored, random, flips);
        damaged.push_back({std::to_string(flips) + " stored bytes changed", d});
        for (size_t k = 0; k < damaged.size(); k++) {
            if (!full && k != i % damaged.size()) continue;
            if (!chosen()) continue;
            SCOPED_TRACE(e.name + ": " + damaged[k].first);
            std::vector<Entry> archive = entries;
            archive[i] = damaged[k].second;
            expect_plays_or_names(play_archive(write_archive(archive), part_of(e.name)), e.name);
        }
    }
}

TEST_F(DamageTest, TheArchivesTrailerCountAndHeadersDamaged) {
    Bytes archive = write_archive(entries);
    size_t trailer = archive.size() - ARCHIVE_TRAILER_SIZE;
    std::mt19937 random(7);
    auto with = [&](size_t at, uint32_t v) {
        Bytes b = archive;
        put_u32(b, at, v);
        return b;
    };
    const size_t first = 12 + 4 * entries.size(); // after the checksum table
    Bytes magic = archive, cut = archive, name = archive;
    magic[trailer + 18] ^= 0x20;
    cut.resize(archive.size() / 2);
    std::memset(&name[first], 'a', ARCHIVE_NAME_SIZE);
    const Bytes damaged[] = {magic,
                             cut,
                             name,
                             with(trailer + 8, uint32_t(entries.size() + 1)),
                             with(trailer + 8, uint32_t(entries.size() - 1)),
                             with(trailer + 8, 0x7FFFFFFF),
                             with(trailer + 8, 0xFFFFFFFF),
                             with(trailer + 4, uint32_t(archive.size())),
                             with(trailer + 4, ARCHIVE_HEADER_SIZE),
                             with(first + 128, 0xFFFFFFFF),
                             with(first + 132, 0xFFFFFFF0),
                             with(first + 132, uint32_t(random() % entries[0].stored.size()))};
    for (const Bytes &b : damaged) {
        if (!chosen()) continue;
        SCOPED_TRACE("case " + std::to_string(cases - 1));
        // A shorter count hides the last entry: it is then "not in the archive quellmor.dat".
        expect_plays_or_names(play_archive(b, 11), "quellmor.dat");
    }
}

// A damaged tune is reported and ends the show then. The tunes are read by the recorder's
// offline mixer; the end part opens the second one.
TEST_F(DamageTest, DamagedTunesAreReportedAndEndTheShow) {
    write_text(dir + "/quellmor.dat", write_archive(entries));
    for (const char *tune : {"quellmor.xm", "end.xm"}) {
        Bytes good = read_text(std::string(QM_BUILD_DIR "/") + tune);
        ASSERT_FALSE(good.empty());
        std::mt19937 random(uint32_t(good.size()));
        // The first tune cut in its header, the second cut in half; both with bytes changed.
        size_t cut = tune[0] == 'q' ? 40 : good.size() / 2;
        Bytes cut_short(good.begin(), good.begin() + long(cut)), flipped = good;
        flip_bytes(flipped, random, 8);
        for (const Bytes *b : {&cut_short, &flipped}) {
            if (!chosen()) continue;
            SCOPED_TRACE(std::string(tune) + " damaged, case " + std::to_string(cases - 1));
            for (const char *t : {"quellmor.xm", "end.xm"})
                write_text(dir + "/" + t, read_text(std::string(QM_BUILD_DIR "/") + t));
            write_text(dir + "/" + tune, *b);
            // A recording that replaces an earlier one says so: a line of its own.
            std::filesystem::remove(dir + "/show.mp4");
            CommandResult r = play(12, {"--record", dir + "/show.mp4"});
            expect_plays_or_names(r, tune);
        }
    }
}

} // namespace
