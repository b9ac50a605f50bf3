// module_layout_test.cpp -- modules as other trackers store them, written by our writer and
// played by the show's own mixer: the earliest layout, and fewer instruments stored than
// declared, play; a module cut inside what it declares is still refused by name.

#include "data/error.h"
#include "helpers.h"
#include "platform/audio.h"
#include "xm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Two instruments (a square wave and a saw, each looped) playing a few notes in two patterns,
// the second pattern short.
XmSong two_voice_song() {
    XmSong song{};
    song.name = "Layouts";
    song.channels = 2;
    song.speed = 3;
    song.bpm = 125;
    song.orders = {0, 1};
    song.patterns = {xm_pattern_make(16, 2), xm_pattern_make(8, 2)};
    for (int i = 0; i < 2; i++) {
        XmInstrument voice = {};
        voice.name = i ? "saw" : "square";
        voice.volume = 48;
        voice.panning = 128;
        for (int k = 0; k < 64; k++)
            voice.pcm.push_back(int16_t(i ? (k - 32) * 600 : (k < 32 ? 12000 : -12000)));
        voice.loop_type = XM_LOOP_FORWARD;
        voice.loop_length = 64;
        song.instruments.push_back(voice);
    }
    *xm_cell(&song.patterns[0], 2, 0, 0) = XmCell{49, 1, 0, 0, 0};
    *xm_cell(&song.patterns[0], 2, 4, 1) = XmCell{56, 2, 0x40, 0, 0};
    *xm_cell(&song.patterns[1], 2, 0, 0) = XmCell{61, 2, 0, 0, 0};
    *xm_cell(&song.patterns[1], 2, 3, 1) = XmCell{44, 1, 0, 0, 0};
    return song;
}

std::string encode(XmLayout layout) {
    std::vector<uint8_t> bytes;
    std::string why;
    const XmSong song = two_voice_song();
    EXPECT_EQ(xm_encode_layout(&song, layout, &bytes, &why), 1) << why;
    return std::string(bytes.begin(), bytes.end());
}

class ModuleLayouts : public ::testing::Test {
  protected:
    void SetUp() override {
#if !QM_HAVE_OPENMPT
        GTEST_SKIP() << "built without libopenmpt";
#endif
        ASSERT_EQ(audio_offline.init(0, AUDIO_OFFLINE_RATE), 1);
    }
    void TearDown() override {
        audio_offline.free();
    }

    std::string write(const std::string &name, const std::string &bytes) {
        write_text(dir + "/" + name, bytes);
        return dir + "/" + name;
    }
    // Two seconds of the module, or nothing (with the reason in data_last_error()) when it is
    // refused.
    std::vector<int16_t> play(const std::string &path) {
        data_clear_error();
        AudioHandle music = audio_offline.music_load(path.c_str());
        if (!music) return {};
        EXPECT_EQ(audio_offline.music_play(music), 1);
        EXPECT_EQ(audio_offline.start(), 1);
        std::vector<int16_t> out(size_t(4 * AUDIO_OFFLINE_RATE));
        EXPECT_EQ(audio_offline_render(out.data(), 2 * AUDIO_OFFLINE_RATE), 2 * AUDIO_OFFLINE_RATE);
        audio_offline.music_free(music);
        return out;
    }
    TempDir dir;
};

int peak(const std::vector<int16_t> &samples) {
    int p = 0;
    for (int16_t s : samples) p = std::max(p, std::abs(int(s)));
    return p;
}

double energy(const std::vector<int16_t> &samples) {
    double e = 0;
    for (int16_t s : samples) e += double(s) * s;
    return e;
}

} // namespace

// The earliest layout is the same tune, and the mixer plays it as the usual one.
TEST_F(ModuleLayouts, TheEarliestLayoutPlaysAsTheUsualOne) {
    const std::string usual = encode(XM_LAYOUT_0104), early = encode(XM_LAYOUT_0102);
    ASSERT_EQ(early.size(), usual.size() - 2); // two pattern headers a byte shorter
    ASSERT_EQ(early[58], 0x02);
    const std::vector<int16_t> a = play(write("usual.xm", usual));
    ASSERT_GT(peak(a), 2000) << data_last_error();
    const std::vector<int16_t> b = play(write("early.xm", early));
    ASSERT_EQ(b.size(), a.size()) << data_last_error();
    // The player starts notes of the early versions' modules with their own volume ramps: the
    // same notes at the same loudness, not the same samples.
    EXPECT_EQ(peak(b), peak(a));
    EXPECT_NEAR(energy(b) / energy(a), 1.0, 0.02);
}

// Declaring instruments the file does not store is what size-optimising tools leave; the ones
// stored play.
TEST_F(ModuleLayouts, InstrumentsDeclaredButNotStoredAreEmpty) {
    std::string more = encode(XM_LAYOUT_0104);
    ASSERT_GT(more.size(), 72u);
    more[72] = 5; // two stored, five declared
    const std::vector<int16_t> out = play(write("more.xm", more));
    EXPECT_GT(peak(out), 2000) << data_last_error();
}

// A module that ends inside a pattern, an instrument's header or its sample data is cut off, in
// either layout: it is refused with a reason naming it rather than played half silent.
TEST_F(ModuleLayouts, ModulesCutInsideWhatTheyDeclareAreRefused) {
    const std::string usual = encode(XM_LAYOUT_0104), early = encode(XM_LAYOUT_0102);
    ASSERT_FALSE(usual.empty() || early.empty());
    const size_t first_instrument = 336 + 9 + 8 + 9 + 5; // both patterns: header and cells
    struct Case {
        std::string bytes;
        const char *what;
    } cases[] = {
        {usual.substr(0, 340), "inside the first pattern"},
        {usual.substr(0, first_instrument + 100), "inside an instrument header"},
        {usual.substr(0, usual.size() - 1), "inside the last sample"},
        {early.substr(0, 340), "inside the first instrument (early layout)"},
        {early.substr(0, early.size() - 1), "inside the last sample (early layout)"},
    };
    for (const Case &c : cases) {
        const std::string path = write("cut.xm", c.bytes);
        EXPECT_TRUE(play(path).empty()) << c.what;
        EXPECT_NE(std::string(data_last_error()).find(path + ": the module is cut off"),
                  std::string::npos)
            << c.what << ": " << data_last_error();
    }
}
