// score_test.cpp -- faults in the tune text are named. What the score makes of good text is
// pinned by the tunes' digests (music_test.cpp).

#include "score.h"
#include "tunes.h"
#include "voices.h"

#include <gtest/gtest.h>

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
