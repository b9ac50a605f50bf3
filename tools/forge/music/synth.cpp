// synth.cpp -- oscillators, envelopes and filters for the forge's instruments

#include "synth.h"

#include <cmath>

SynthRng synth_rng(uint32_t seed) {
    SynthRng rng;
    rng.state = seed * 2654435761u + 0x9e3779b9u;
    if (rng.state == 0) rng.state = 0x6d2b79f5u;
    return rng;
}

uint32_t synth_next(SynthRng *rng) {
    uint32_t x = rng->state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    rng->state = x;
    return x;
}

double synth_white(SynthRng *rng) {
    return double(synth_next(rng)) / 2147483648.0 - 1.0;
}

// Taylor series of sin on [-pi/2, pi/2]; the first term left out is below 1e-17 there.
static double sin_poly(double a) {
    double a2 = a * a;
    double sum = 0.0;
    double term = a;
    for (int n = 1; n <= 21; n += 2) {
        sum += term;
        term = -term * a2 / double((n + 1) * (n + 2));
    }
    return sum;
}

double synth_sin(double x) {
    double t = x - std::floor(x); // floor is exact
    double sign = 1.0;
    if (t >= 0.5) {
        t -= 0.5;
        sign = -1.0;
    }
    if (t > 0.25) t = 0.5 - t; // sin(pi - a) = sin(a)
    return sign * sin_poly(2.0 * SYNTH_PI * t);
}

double synth_exp2(double x) {
    double n = std::floor(x);
    double f = (x - n) * 0.69314718055994530942; // e^f with f in [0, ln 2)
    double sum = 1.0, term = 1.0;
    for (int i = 1; i <= 18; i++) {
        term = term * f / double(i);
        sum += term;
    }
    return std::ldexp(sum, int(n)); // exact scaling by a power of two
}

double synth_decay(double seconds, double rate) {
    // 60 dB is a factor of 1000, that is 2^-9.9658.
    return synth_exp2(-9.965784284662087 / (seconds * rate));
}

double synth_note_hz(int note) {
    return 261.6255653005986 * synth_exp2(double(note - 49) / 12.0);
}

void synth_add_partial(double *buf, int n, double step, double phase, double amp) {
    double c = synth_sin(step + 0.25), s = synth_sin(step);
    double re = synth_sin(phase + 0.25) * amp, im = synth_sin(phase) * amp;
    for (int i = 0; i < n; i++) {
        buf[i] += im;
        double r = re * c - im * s;
        im = re * s + im * c;
        re = r;
    }
}

void synth_svf_tune(SynthSvf *f, double cutoff, double q, double rate) {
    double x = cutoff / rate; // tan(pi x) = sin / cos
    f->g = synth_sin(0.5 * x) / synth_sin(0.5 * x + 0.25);
    f->k = 1.0 / q;
}

SynthSvfOut synth_svf_run(SynthSvf *f, double in) {
    double a1 = 1.0 / (1.0 + f->g * (f->g + f->k));
    double a2 = f->g * a1;
    double a3 = f->g * a2;
    double v3 = in - f->ic2;
    double v1 = a1 * f->ic1 + a2 * v3;
    double v2 = f->ic2 + a2 * f->ic1 + a3 * v3;
    f->ic1 = 2.0 * v1 - f->ic1;
    f->ic2 = 2.0 * v2 - f->ic2;
    SynthSvfOut out;
    out.low = v2;
    out.band = v1;
    out.high = in - f->k * v1 - v2;
    return out;
}

double synth_soft_clip(double x) {
    return x / (1.0 + (x < 0 ? -x : x));
}

std::vector<int16_t> synth_to_pcm(const std::vector<double> &buf, double peak) {
    double top = 0.0;
    for (double v : buf) top = std::fmax(top, std::fabs(v));
    double scale = top > 0.0 ? peak * 32767.0 / top : 0.0;
    std::vector<int16_t> pcm(buf.size());
    for (size_t i = 0; i < buf.size(); i++) pcm[i] = int16_t(std::lround(buf[i] * scale));
    return pcm;
}

void synth_crossfade_loop(std::vector<double> *buf, int loop, int fade) {
    std::vector<double> &b = *buf;
    for (int i = 0; i < fade; i++) {
        double t = double(i) / double(fade); // 0 at the head, 1 where the tail ends
        double in = synth_sin(0.25 * t);     // equal power: in^2 + out^2 = 1
        double out = synth_sin(0.25 * t + 0.25);
        b[size_t(i)] = b[size_t(i)] * in + b[size_t(loop + i)] * out;
    }
    b.resize(size_t(loop));
}
