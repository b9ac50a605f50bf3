// xm_test.cpp -- the module writer: header fields, cell packing, sample coding and the limits

#include "xm.h"

#include <gtest/gtest.h>

#include <string>

namespace {

uint32_t read16(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | b[at + 1] << 8;
}

uint32_t read32(const std::vector<uint8_t> &b, size_t at) {
    return read16(b, at) | read16(b, at + 2) << 16;
}

// A reader that walks a module by the sizes it declares, as players do, and gives back the
// cells of every pattern and the samples decoded from their deltas.
struct ReadBack {
    std::vector<std::vector<XmCell>> patterns;
    std::vector<std::vector<int16_t>> samples;
    std::vector<uint32_t> loops; // start, length (in bytes) and type of each sample
    size_t end = 0;
};

size_t read_pattern(const std::vector<uint8_t> &b, size_t at, int channels, ReadBack *out) {
    EXPECT_EQ(read32(b, at), 9u);
    uint32_t rows = read16(b, at + 5), packed = read16(b, at + 7);
    size_t p = at + 9, stop = p + packed;
    std::vector<XmCell> cells(rows * size_t(channels));
    for (size_t i = 0; packed && i < cells.size(); i++) {
        uint8_t f[5] = {};
        uint8_t flags = b[p] & 0x80 ? b[p++] : 0x9f;
        for (int k = 0; k < 5; k++)
            if (flags & (1 << k)) f[k] = b[p++];
        cells[i] = {f[0], f[1], f[2], f[3], f[4]};
    }
    EXPECT_EQ(p, stop) << "packed size disagrees with the cells";
    out->patterns.push_back(cells);
    return stop;
}

size_t read_instrument(const std::vector<uint8_t> &b, size_t at, ReadBack *out) {
    uint32_t size = read32(b, at), count = read16(b, at + 27);
    EXPECT_EQ(size, 263u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(read32(b, at + 29), 40u);
    size_t header = at + size;
    uint32_t bytes = read32(b, header);
    EXPECT_EQ(b[header + 14] & 0x10, 0x10) << "16-bit flag";
    out->loops.insert(out->loops.end(),
                      {read32(b, header + 4), read32(b, header + 8), b[header + 14] & 3u});
    size_t data = header + 40;
    std::vector<int16_t> pcm(bytes / 2);
    uint16_t value = 0;
    for (size_t i = 0; i < pcm.size(); i++) {
        value = uint16_t(value + read16(b, data + 2 * i));
        pcm[i] = int16_t(value);
    }
    out->samples.push_back(pcm);
    return data + bytes;
}

ReadBack read_back(const std::vector<uint8_t> &b) {
    ReadBack r;
    size_t at = 60 + read32(b, 60);
    int channels = int(read16(b, 68));
    for (uint32_t p = 0; p < read16(b, 70); p++) at = read_pattern(b, at, channels, &r);
    for (uint32_t i = 0; i < read16(b, 72); i++) at = read_instrument(b, at, &r);
    r.end = at;
    return r;
}

XmInstrument tone(size_t length) {
    XmInstrument ins = {};
    ins.name = "tone";
    ins.volume = 64;
    ins.panning = 128;
    for (size_t i = 0; i < length; i++) ins.pcm.push_back(int16_t(i * 2654435761u >> 16));
    return ins;
}

XmSong small_song() {
    XmSong song;
    song.name = "Test";
    song.channels = 4;
    song.restart = 1;
    song.speed = 6;
    song.bpm = 125;
    song.orders = {0, 1, 0};
    song.patterns.push_back(xm_pattern_make(64, 4));
    song.patterns.push_back(xm_pattern_make(16, 4));
    *xm_cell(&song.patterns[0], 4, 0, 0) = {49, 1, 0x50, 0x8, 0x80}; // every field
    *xm_cell(&song.patterns[0], 4, 5, 3) = {XM_NOTE_OFF, 0, 0, 0, 0};
    *xm_cell(&song.patterns[0], 4, 63, 2) = {0, 0, 0, 0xf, 3};
    song.instruments.push_back(tone(1000));
    song.instruments.push_back(tone(3));
    return song;
}

} // namespace

TEST(XmWriter, EverythingReadsBackByTheDeclaredSizes) {
    XmSong song = small_song();
    song.instruments[1].pcm = {32767, -32768, 32767, 0, -1}; // deltas that wrap
    song.instruments[0].loop_type = XM_LOOP_FORWARD;
    song.instruments[0].loop_start = 100;
    song.instruments[0].loop_length = 900;
    std::vector<uint8_t> b;
    std::string why;
    ASSERT_TRUE(xm_encode(&song, &b, &why)) << why;
    // The header, by its published offsets; then everything after it, walked by its sizes.
    EXPECT_EQ(std::string(b.begin(), b.begin() + 37), "Extended Module: Test                ");
    EXPECT_EQ(read16(b, 58) | read16(b, 64) << 16, 0x00030104u); // version, song length
    EXPECT_EQ(read16(b, 66) | read16(b, 74) << 16, 0x00010001u); // restart, linear frequencies
    EXPECT_EQ(read16(b, 76) | read16(b, 78) << 16, 125u << 16 | 6u);
    ReadBack r = read_back(b);
    EXPECT_EQ(r.end, b.size());
    ASSERT_EQ(r.patterns.size(), 2u);
    for (size_t p = 0; p < 2; p++)
        for (size_t i = 0; i < r.patterns[p].size(); i++) {
            const XmCell &a = r.patterns[p][i], &e = song.patterns[p].cells[i];
            ASSERT_TRUE(a.note == e.note && a.instrument == e.instrument && a.volume == e.volume &&
                        a.effect == e.effect && a.param == e.param)
                << "pattern " << p << " cell " << i;
        }
    ASSERT_EQ(r.samples.size(), 2u);
    EXPECT_EQ(r.samples[0], song.instruments[0].pcm);
    EXPECT_EQ(r.samples[1], song.instruments[1].pcm);
    EXPECT_EQ(r.loops, (std::vector<uint32_t>{200, 1800, 1, 0, 0, 0})); // loops in bytes
}

TEST(XmWriter, RefusesSongsOutsideTheFormat) {
    struct Case {
        const char *what;
        void (*spoil)(XmSong *);
    } cases[] = {
        {"odd channels", [](XmSong *s) { s->channels = 3; }},
        {"missing pattern", [](XmSong *s) { s->orders[2] = 7; }},
        {"no orders", [](XmSong *s) { s->orders.clear(); }},
        {"cell count", [](XmSong *s) { s->patterns[1].cells.pop_back(); }},
        {"note", [](XmSong *s) { s->patterns[1].cells[0].note = 98; }},
        {"loop",
         [](XmSong *s) {
             s->instruments[0].loop_type = XM_LOOP_FORWARD;
             s->instruments[0].loop_start = 999;
             s->instruments[0].loop_length = 2;
         }},
        {"sustain",
         [](XmSong *s) {
             XmEnvelope *e = &s->instruments[0].volume_env;
             *e = {2, {0, 10}, {64, 0}, 2, 0, 0, XM_ENV_ON | XM_ENV_SUSTAIN};
         }},
        {"ticks",
         [](XmSong *s) {
             XmEnvelope *e = &s->instruments[0].volume_env;
             *e = {2, {10, 10}, {64, 0}, 0, 0, 0, XM_ENV_ON};
         }},
    };
    for (const Case &c : cases) {
        XmSong song = small_song();
        c.spoil(&song);
        std::vector<uint8_t> b;
        std::string why;
        EXPECT_FALSE(xm_encode(&song, &b, &why)) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
    }
}

TEST(XmWriter, WriteFailureNamesTheFile) {
    XmSong song = small_song();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(xm_write_file(&song, "/nonexistent-folder/x.xm"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("/nonexistent-folder/x.xm"),
              std::string::npos);
    song.channels = 5;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(xm_write_file(&song, "/tmp/never-written.xm"));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("/tmp/never-written.xm: channel count"), std::string::npos) << err;
}
