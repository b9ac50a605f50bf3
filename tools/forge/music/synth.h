// synth.h -- the sound-making primitives: a seeded random generator, oscillators, envelopes and
// filters, in plain double arithmetic so that every machine renders the same samples.
//
// The C library's sin and exp choose different code on different processors; these use only
// +, -, * and /, which IEEE fixes exactly (the build forbids fused multiply-adds).
#pragma once

#include <cstdint>
#include <vector>

constexpr double SYNTH_PI = 3.14159265358979323846;

// xorshift32; the whole state is one non-zero word.
struct SynthRng {
    uint32_t state;
};

// A generator started from seed (any value, 0 included).
SynthRng synth_rng(uint32_t seed);

// The next 32 random bits.
uint32_t synth_next(SynthRng *rng);

// A double uniformly in [-1, 1).
double synth_white(SynthRng *rng);

// sin(2 pi x), x in cycles; absolute error below 1e-14.
double synth_sin(double x);

// 2 to the power x; relative error below 1e-12 for |x| < 1000.
double synth_exp2(double x);

// The per-sample factor that makes a level fall by 60 dB in `seconds` at `rate` samples/s.
double synth_decay(double seconds, double rate);

// Equal-temperament frequency of an XM note (49 = C-4 = 261.63 Hz).
double synth_note_hz(int note);

// Adds amp * sin(2 pi (phase + i * step)) for i in 0..n-1 to buf, by rotating a phasor.
void synth_add_partial(double *buf, int n, double step, double phase, double amp);

// Topology-preserving state-variable filter (two trapezoidal integrators).
struct SynthSvf {
    double g, k;     // tan(pi fc / rate) and 1 / Q
    double ic1, ic2; // integrator states
};

struct SynthSvfOut {
    double low, band, high;
};

// Sets the cutoff (Hz, below rate / 2) and Q, keeping the state.
void synth_svf_tune(SynthSvf *f, double cutoff, double q, double rate);

// Filters one sample.
SynthSvfOut synth_svf_run(SynthSvf *f, double in);

// Soft saturation: x / (1 + |x|) scaled so that small signals pass at unity slope.
double synth_soft_clip(double x);

// Scales buf to the given peak (0..1 of full scale) and rounds it to 16-bit samples.
std::vector<int16_t> synth_to_pcm(const std::vector<double> &buf, double peak);

// Makes buf loop seamlessly over [0, loop) by cross-fading its last `fade` samples beyond loop
// into its head with equal power; buf must hold loop + fade samples and keeps loop of them.
void synth_crossfade_loop(std::vector<double> *buf, int loop, int fade);
