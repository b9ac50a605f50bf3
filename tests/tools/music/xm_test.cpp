// xm_test.cpp -- the module writer's limits and failures. What it writes is pinned by the tunes'
// digests and read by another player (music_test.cpp).

#include "xm.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A song the writer takes, for the refusals below to spoil one thing of.
XmSong small_song() {
    XmSong song{}; // every number 0 unless set below (the restart position too)
    song.name = "Test";
    song.channels = 4;
    song.speed = 6;
    song.bpm = 125;
    song.orders = {0, 1, 0};
    song.patterns.push_back(xm_pattern_make(64, 4));
    song.patterns.push_back(xm_pattern_make(16, 4));
    XmInstrument tone = {};
    tone.name = "tone";
    tone.volume = 64;
    tone.pcm.assign(1000, 100);
    song.instruments.push_back(tone);
    return song;
}

} // namespace

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
    XmSong song = small_song();
    std::vector<uint8_t> b;
    std::string why;
    ASSERT_TRUE(xm_encode(&song, &b, &why)) << why;
    for (const Case &c : cases) {
        song = small_song();
        c.spoil(&song);
        why.clear();
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
