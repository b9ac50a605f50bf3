// synth_test.cpp -- the sound primitives: accuracy of the plain-arithmetic functions, the
// generator's repeatability, the filter's response and seamless loops

#include "synth.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Synth, SineAndPowerOfTwoMatchTheLibrary) {
    for (double x = -3.0; x <= 3.0; x += 0.0137) {
        ASSERT_NEAR(synth_sin(x), std::sin(2.0 * M_PI * x), 1e-14) << x;
    }
    for (double x : {0.25, 0.5, 0.75, 1.0})
        EXPECT_NEAR(synth_sin(x), std::sin(2.0 * M_PI * x), 1e-14);
    for (double x = -40.0; x <= 40.0; x += 0.173) {
        double want = std::exp2(x);
        ASSERT_NEAR(synth_exp2(x) / want, 1.0, 1e-12) << x;
    }
    EXPECT_NEAR(synth_note_hz(58), 440.0, 1e-9);
    // The decay factor takes a level down by 60 dB over the given time.
    double f = synth_decay(0.5, 1000.0), level = 1.0;
    for (int i = 0; i < 500; i++) level *= f;
    EXPECT_NEAR(level, 0.001, 1e-9);
}

// The tunes' repeatability is the modules' test; here, the seed 0 that a shift register would
// stick at.
TEST(Synth, WhiteNoiseFromSeedZeroSpansItsRange) {
    SynthRng zero = synth_rng(0);
    double low = 1.0, high = -1.0;
    for (int i = 0; i < 1000; i++) {
        double w = synth_white(&zero);
        low = std::fmin(low, w);
        high = std::fmax(high, w);
    }
    EXPECT_LT(low, -0.9);
    EXPECT_GT(high, 0.9);
    EXPECT_GE(low, -1.0);
    EXPECT_LT(high, 1.0);
}

// Steady-state gain of the low-pass output for a sine of hz.
static double low_pass_gain(double hz, double cutoff) {
    const double rate = 32000.0;
    SynthSvf f = {};
    synth_svf_tune(&f, cutoff, 0.7071, rate);
    double peak = 0.0;
    for (int i = 0; i < 16000; i++) {
        double y = synth_svf_run(&f, synth_sin(hz * i / rate)).low;
        if (i > 8000) peak = std::fmax(peak, std::fabs(y));
    }
    return peak;
}

TEST(Synth, FilterPassesBelowAndCutsAboveItsCutoff) {
    EXPECT_NEAR(low_pass_gain(100.0, 2000.0), 1.0, 0.01);
    EXPECT_NEAR(low_pass_gain(2000.0, 2000.0), 0.7071, 0.01); // Butterworth: -3 dB at cutoff
    EXPECT_LT(low_pass_gain(8000.0, 2000.0), 0.07);           // two octaves up: about -24 dB
}

TEST(Synth, CrossfadedLoopHasNoSeam) {
    SynthRng rng = synth_rng(3);
    std::vector<double> buf(5000);
    double smooth = 0.0;
    for (double &v : buf) v = smooth = 0.9 * smooth + 0.1 * synth_white(&rng);
    std::vector<double> original = buf;
    synth_crossfade_loop(&buf, 4000, 1000);
    ASSERT_EQ(buf.size(), 4000u);
    // Playing on from the end into the start continues the signal that followed the loop.
    EXPECT_NEAR(buf[0], original[4000], 1e-12);
    EXPECT_DOUBLE_EQ(buf[3999], original[3999]);
    EXPECT_DOUBLE_EQ(buf[1000], original[1000]); // past the fade: untouched
}

TEST(Synth, PcmIsScaledToThePeakAndSilenceStaysSilent) {
    std::vector<int16_t> pcm = synth_to_pcm({0.0, 0.25, -0.5, 0.125}, 1.0);
    EXPECT_EQ(pcm, (std::vector<int16_t>{0, 16384, -32767, 8192}));
    pcm = synth_to_pcm({0.0, 0.0}, 0.9);
    EXPECT_EQ(pcm, (std::vector<int16_t>{0, 0}));
}
