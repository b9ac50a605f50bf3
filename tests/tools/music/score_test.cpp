// score_test.cpp -- pitch names, the tune text checks and the instruments' tuning

#include "score.h"
#include "synth.h"
#include "tunes.h"
#include "voices.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

static int pitch(const char *text) {
    return score_pitch(text, int(strlen(text)));
}

TEST(Score, PitchNames) {
    EXPECT_EQ(pitch("C4"), 49);
    EXPECT_EQ(pitch("A4"), 58);
    EXPECT_EQ(pitch("B3"), 48);
    EXPECT_EQ(pitch("A#3"), pitch("Bb3"));
    EXPECT_EQ(pitch("C0"), 1);
    EXPECT_EQ(pitch("B7"), 96);
    for (const char *bad : {"", "C", "H3", "C8", "Cb0", "C#", "c4", "C44", "D-4"})
        EXPECT_EQ(pitch(bad), 0) << bad;
}

// The instruments, rendered once for all the tests here.
static const std::vector<XmInstrument> &shared_voices() {
    static std::vector<XmInstrument> voices;
    if (voices.empty()) voices_build(&voices);
    return voices;
}

static const Chord CHORDS[] = {{"Dm", "D2", "A3 D4 F4"}, {"X", "D2", "A3 D4"}};

static std::string build_error(const Section &section) {
    Tune tune = {"t", 120, CHORDS, 2, &section, 1, 0, 1};
    XmSong song;
    std::string why;
    EXPECT_FALSE(score_build(&tune, &shared_voices(), &song, &why));
    return why;
}

TEST(Score, FaultsInTheTuneTextAreNamed) {
    EXPECT_NE(build_error({.chords = "Dm Dm Dm"}).find("fewer than four"), std::string::npos);
    EXPECT_NE(build_error({.chords = "Dm Dm Dm Em"}).find("unknown chord"), std::string::npos);
    EXPECT_NE(build_error({.chords = "Dm Dm Dm Dm Dm"}).find("more than four"), std::string::npos);
    EXPECT_NE(build_error({.chords = "Dm X Dm Dm"}).find("chord X"), std::string::npos);
    std::string why = build_error({.chords = "Dm Dm Dm Dm", .pad = 30, .lead = "D5 . Q5"});
    EXPECT_NE(why.find("\"Q5\""), std::string::npos) << why;
    why = build_error({.chords = "Dm Dm Dm Dm", .pad = 30, .lead = "B7", .lead_shift = 1});
    EXPECT_NE(why.find("not a playable note"), std::string::npos) << why;
    std::string long_lead;
    for (int i = 0; i < 33; i++) long_lead += "D5 ";
    why = build_error({.chords = "Dm Dm Dm Dm", .lead = long_lead.c_str()});
    EXPECT_NE(why.find("longer than four bars"), std::string::npos) << why;
    EXPECT_EQ(build_error({.chords = "Dm"}).find("section 0: "), 0u);
}

// Level of the frequency hz (cycles per sample) in pcm, by correlation.
static double level_at(const std::vector<int16_t> &pcm, double step, size_t count) {
    double re = 0.0, im = 0.0;
    for (size_t i = 0; i < count; i++) {
        re += pcm[i] * std::cos(2.0 * M_PI * step * double(i));
        im += pcm[i] * std::sin(2.0 * M_PI * step * double(i));
    }
    return std::sqrt(re * re + im * im) / double(count);
}

TEST(Voices, PitchedVoicesSoundCFourOnNoteCFour) {
    const std::vector<XmInstrument> &voices = shared_voices();
    ASSERT_EQ(voices.size(), size_t(VOICE_COUNT));
    for (int v : {VOICE_PAD, VOICE_CHOIR, VOICE_LEAD, VOICE_BASS, VOICE_PLUCK, VOICE_BELL}) {
        const XmInstrument &ins = voices[size_t(v - 1)];
        // C-4 plays the sample at 8363 Hz shifted by its relative note and finetune.
        double rate = 8363.0 * std::exp2((ins.relative_note + ins.finetune / 128.0) / 12.0);
        double c4 = 261.6255653 / rate, below = c4 * std::exp2(-1.0 / 12.0);
        double above = c4 * std::exp2(1.0 / 12.0);
        // The fundamental lies on C-4's frequency, not a semitone beside it.
        size_t count = std::min(ins.pcm.size(), size_t(40000));
        double at = level_at(ins.pcm, c4, count);
        EXPECT_GT(at, 4.0 * level_at(ins.pcm, below, count)) << ins.name;
        EXPECT_GT(at, 4.0 * level_at(ins.pcm, above, count)) << ins.name;
    }
}
