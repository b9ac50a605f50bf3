// voices.cpp -- renders the instruments: additive pads and leads, a filtered bass, an FM bell,
// noise drums and the wind, each with its XM envelope

#include "voices.h"

#include "synth.h"

#include <cmath>

// Sample rates are 8363 Hz (the rate C-4 plays at) times a power of two, so that every relative
// note comes out whole and no finetune is needed.
static const double RATE_HIGH = 33452.0; // relative note +24 plays it at its own rate on C-4
static const double RATE_LOW = 16726.0;  // +12
static const int NOTE_C4 = 49;

// Bits of the envelope and vibrato setup of one voice.
struct Shape {
    XmEnvelope env;
    uint16_t fadeout;
    uint8_t vibrato_sweep, vibrato_depth, vibrato_rate;
};

// An instrument from a rendered buffer that sounds `note` when played on C-4; a buffer rendered
// at `rate` plays at its own pitch on note `note`.
static XmInstrument make_voice(const char *name, const std::vector<double> &buf, double rate,
                               int note, uint8_t panning) {
    XmInstrument ins = {};
    ins.name = name;
    ins.pcm = synth_to_pcm(buf, 0.97);
    int octaves = rate == RATE_HIGH ? 2 : 1;
    ins.relative_note = int8_t(12 * octaves - (note - NOTE_C4));
    ins.volume = 64;
    ins.panning = panning;
    return ins;
}

static void set_loop(XmInstrument *ins, uint32_t start, uint32_t length) {
    ins->loop_type = XM_LOOP_FORWARD;
    ins->loop_start = start;
    ins->loop_length = length;
}

// A volume envelope of up to four (tick, value) points that holds at point `sustain` until the
// key is released.
static void set_envelope(XmInstrument *ins, std::initializer_list<std::pair<int, int>> points,
                         int sustain, uint16_t fadeout) {
    XmEnvelope *env = &ins->volume_env;
    env->count = 0;
    for (const auto &p : points) {
        env->tick[env->count] = uint16_t(p.first);
        env->value[env->count] = uint16_t(p.second);
        env->count++;
    }
    env->sustain = uint8_t(sustain);
    env->flags = XM_ENV_ON | XM_ENV_SUSTAIN;
    ins->fadeout = fadeout;
}

// Harmonic weights for additive tones: amplitude of harmonic h at frequency hz.
typedef double (*HarmonicWeight)(int h, double hz);

// A second-order roll-off: 1 below fc, falling 12 dB per octave above it.
static double rolloff(double hz, double fc) {
    double r = hz / fc;
    return 1.0 / std::sqrt(1.0 + r * r * r * r);
}

static double saw_weight(int h, double hz) {
    return rolloff(hz, 1500.0) / h;
}

static double hollow_weight(int h, double hz) {
    return rolloff(hz, 2600.0) * ((h & 1) ? 1.0 : 0.3) / h;
}

// Gaussian bump around centre of the given width, for vowel formants.
static double formant(double hz, double centre, double width) {
    double d = (hz - centre) / width;
    return synth_exp2(-1.4427 * d * d);
}

static double vowel_weight(int h, double hz) {
    double f = formant(hz, 700.0, 180.0) + 0.6 * formant(hz, 1150.0, 200.0) +
               0.25 * formant(hz, 2700.0, 300.0);
    return (0.15 + f) / std::sqrt(double(h));
}

// A tone that repeats exactly every `loop` samples: each voice runs a whole number of cycles per
// loop (cycles[v]), so detuned voices beat without a seam.
static std::vector<double> additive_loop(int loop, const int *cycles, const double *gains,
                                         int voices, double rate, HarmonicWeight weight,
                                         uint32_t seed) {
    std::vector<double> buf(size_t(loop), 0.0);
    SynthRng rng = synth_rng(seed);
    for (int v = 0; v < voices; v++) {
        for (int h = 1;; h++) {
            double step = double(cycles[v]) * h / loop; // whole cycles over the loop
            double hz = step * rate;
            if (hz > 9000.0 || hz > 0.45 * rate) break;
            double phase = 0.5 + 0.5 * synth_white(&rng);
            synth_add_partial(buf.data(), loop, step, phase, gains[v] * weight(h, hz));
        }
    }
    return buf;
}

// Loop length that holds `cycles` periods of note at rate.
static int loop_length(int cycles, int note, double rate) {
    return int(std::lround(cycles * rate / synth_note_hz(note)));
}

static XmInstrument pad_voice(const char *name, HarmonicWeight weight, int note, uint32_t seed) {
    const int base = 2 * int(std::lround(synth_note_hz(note))); // two seconds of cycles
    const int cycles[5] = {base - 2, base - 1, base, base + 1, base + 2};
    const double gains[5] = {0.6, 0.8, 1.0, 0.8, 0.6};
    int loop = loop_length(base, note, RATE_HIGH);
    std::vector<double> buf = additive_loop(loop, cycles, gains, 5, RATE_HIGH, weight, seed);
    XmInstrument ins = make_voice(name, buf, RATE_HIGH, note, 128);
    set_loop(&ins, 0, uint32_t(loop));
    set_envelope(&ins, {{0, 0}, {32, 64}, {72, 54}, {160, 0}}, 2, 0x100);
    return ins;
}

static XmInstrument lead_voice() {
    const int note = NOTE_C4;
    const int base = int(std::lround(synth_note_hz(note))); // one second of cycles
    const int cycles[2] = {base, base + 1};
    const double gains[2] = {1.0, 0.7};
    int loop = loop_length(base, note, RATE_HIGH);
    std::vector<double> buf =
        additive_loop(loop, cycles, gains, 2, RATE_HIGH, hollow_weight, 0x1ead);
    XmInstrument ins = make_voice("soft lead", buf, RATE_HIGH, note, 128);
    set_loop(&ins, 0, uint32_t(loop));
    set_envelope(&ins, {{0, 0}, {3, 64}, {14, 46}, {60, 0}}, 2, 0x300);
    ins.vibrato_sweep = 0x40;
    ins.vibrato_depth = 4;
    ins.vibrato_rate = 10;
    return ins;
}

// Band-limited sawtooth of frequency hz into buf.
static void add_saw(std::vector<double> *buf, double hz, double rate, double amp) {
    for (int h = 1; h * hz < 0.45 * rate && h * hz < 9000.0; h++)
        synth_add_partial(buf->data(), int(buf->size()), h * hz / rate, 0.0, amp / h);
}

// Band-limited square (odd harmonics) of frequency hz into buf.
static void add_square(std::vector<double> *buf, double hz, double rate, double amp) {
    for (int h = 1; h * hz < 0.45 * rate && h * hz < 9000.0; h += 2)
        synth_add_partial(buf->data(), int(buf->size()), h * hz / rate, 0.0, amp / h);
}

// Low-pass with a cutoff falling from top to floor (time constant tau seconds) and a level
// decaying by 60 dB in `ring` seconds after a 3 ms attack.
static void pluck_filter(std::vector<double> *buf, double rate, double top, double floor,
                         double tau, double q, double ring) {
    SynthSvf f = {};
    double sweep = synth_exp2(-1.4426950408889634 / (tau * rate)); // e^(-1 / (tau rate))
    double level = 1.0, fall = synth_decay(ring, rate), span = top - floor, attack = 0.003 * rate;
    for (size_t i = 0; i < buf->size(); i++) {
        synth_svf_tune(&f, floor + span, q, rate);
        span *= sweep;
        double a = double(i) < attack ? double(i) / attack : 1.0;
        (*buf)[i] = synth_svf_run(&f, (*buf)[i]).low * level * a;
        level *= fall;
    }
}

static XmInstrument bass_voice() {
    const int note = 25; // C-2
    double hz = synth_note_hz(note);
    std::vector<double> buf(size_t(1.5 * RATE_HIGH), 0.0);
    add_saw(&buf, hz, RATE_HIGH, 1.0);
    synth_add_partial(buf.data(), int(buf.size()), hz / RATE_HIGH, 0.0, 1.0); // sub weight
    pluck_filter(&buf, RATE_HIGH, 2400.0, 160.0, 0.09, 1.8, 1.5);
    return make_voice("plucked bass", buf, RATE_HIGH, note, 128);
}

static XmInstrument pluck_voice() {
    const int note = NOTE_C4;
    double hz = synth_note_hz(note);
    std::vector<double> buf(size_t(0.6 * RATE_HIGH), 0.0);
    add_square(&buf, hz, RATE_HIGH, 1.0);
    add_square(&buf, hz * 1.004, RATE_HIGH, 0.7);
    pluck_filter(&buf, RATE_HIGH, 5200.0, 500.0, 0.07, 1.2, 0.55);
    return make_voice("arp pluck", buf, RATE_HIGH, note, 128);
}

static XmInstrument bell_voice() {
    const int note = 61; // C-5
    double hz = synth_note_hz(note);
    std::vector<double> buf(size_t(2.6 * RATE_HIGH), 0.0);
    double level = 1.0, fall = synth_decay(2.6, RATE_HIGH);
    double index = 2.2, index_fall = synth_decay(1.2, RATE_HIGH);
    double tine = 0.35, tine_fall = synth_decay(0.5, RATE_HIGH);
    for (size_t i = 0; i < buf.size(); i++) {
        double t = double(i) / RATE_HIGH;
        double mod = index * synth_sin(3.5 * hz * t) / (2.0 * SYNTH_PI);
        double a = i < 60 ? double(i) / 60.0 : 1.0;
        buf[i] = a * (level * synth_sin(hz * t + mod) + tine * synth_sin(2.76 * hz * t));
        level *= fall;
        index *= index_fall;
        tine *= tine_fall;
    }
    return make_voice("glass bell", buf, RATE_HIGH, note, 144);
}

static XmInstrument kick_voice() {
    std::vector<double> buf(size_t(0.45 * RATE_HIGH), 0.0);
    SynthRng rng = synth_rng(0x4b1c);
    double phase = 0.0, bend = 1.0, bend_fall = synth_exp2(-1.4427 / (0.03 * RATE_HIGH));
    double level = 1.0, fall = synth_decay(0.45, RATE_HIGH);
    double click = 0.5, click_fall = synth_decay(0.006, RATE_HIGH);
    for (size_t i = 0; i < buf.size(); i++) {
        double hz = 47.0 + 125.0 * bend;
        double body = synth_sin(phase) * level;
        buf[i] = synth_soft_clip(1.6 * (body + click * synth_white(&rng)));
        phase += hz / RATE_HIGH;
        bend *= bend_fall;
        level *= fall;
        click *= click_fall;
    }
    return make_voice("kick", buf, RATE_HIGH, NOTE_C4, 128);
}

// Noise through a filter, decaying by 60 dB in `ring` seconds.
static std::vector<double> noise_hit(double seconds, double ring, double cutoff, bool high,
                                     uint32_t seed) {
    std::vector<double> buf(size_t(seconds * RATE_HIGH), 0.0);
    SynthRng rng = synth_rng(seed);
    SynthSvf f = {};
    synth_svf_tune(&f, cutoff, 0.8, RATE_HIGH);
    double level = 1.0, fall = synth_decay(ring, RATE_HIGH);
    for (size_t i = 0; i < buf.size(); i++) {
        SynthSvfOut o = synth_svf_run(&f, synth_white(&rng));
        double a = i < 30 ? double(i) / 30.0 : 1.0;
        buf[i] = (high ? o.high : o.band) * level * a;
        level *= fall;
    }
    return buf;
}

static XmInstrument snare_voice() {
    std::vector<double> buf = noise_hit(0.32, 0.24, 2200.0, false, 0x5a4e);
    std::vector<double> sizzle = noise_hit(0.32, 0.2, 6000.0, true, 0x5122);
    double level = 0.8, fall = synth_decay(0.09, RATE_HIGH);
    for (size_t i = 0; i < buf.size(); i++) {
        double t = double(i) / RATE_HIGH;
        buf[i] += 0.6 * sizzle[i];
        buf[i] += level * (synth_sin(185.0 * t) + 0.5 * synth_sin(330.0 * t));
        level *= fall;
    }
    return make_voice("snare", buf, RATE_HIGH, NOTE_C4, 124);
}

static XmInstrument swell_voice() {
    // One bar at 112 BPM and speed 6: 16 rows x 6 ticks x 2.5 / 112 s.
    const double bar = 16.0 * 6.0 * 2.5 / 112.0;
    std::vector<double> buf(size_t(bar * RATE_HIGH), 0.0);
    SynthRng rng = synth_rng(0x5e11);
    SynthSvf f = {};
    for (size_t i = 0; i < buf.size(); i++) {
        double t = double(i) / double(buf.size());
        synth_svf_tune(&f, 600.0 + 7000.0 * t * t, 0.9, RATE_HIGH);
        buf[i] = synth_svf_run(&f, synth_white(&rng)).band * t * t * t;
    }
    return make_voice("swell", buf, RATE_HIGH, NOTE_C4, 128);
}

static XmInstrument wind_voice() {
    const int loop = int(4.0 * RATE_LOW), fade = int(0.6 * RATE_LOW);
    std::vector<double> buf(size_t(loop + fade), 0.0);
    SynthRng rng = synth_rng(0x3117d);
    SynthSvf low = {}, high = {};
    for (size_t i = 0; i < buf.size(); i++) {
        double lfo = synth_sin(double(i) / loop); // one sweep per loop
        synth_svf_tune(&low, 520.0 + 260.0 * lfo, 3.0, RATE_LOW);
        synth_svf_tune(&high, 1500.0 - 400.0 * lfo, 4.0, RATE_LOW);
        double n = synth_white(&rng);
        buf[i] = synth_svf_run(&low, n).band + 0.4 * synth_svf_run(&high, n).band;
    }
    synth_crossfade_loop(&buf, loop, fade);
    XmInstrument ins = make_voice("moor wind", buf, RATE_LOW, NOTE_C4, 128);
    set_loop(&ins, 0, uint32_t(loop));
    set_envelope(&ins, {{0, 0}, {90, 64}, {200, 0}}, 1, 0x80);
    return ins;
}

static XmInstrument drop_voice() {
    const int note = 73; // C-6
    double hz = synth_note_hz(note);
    std::vector<double> buf(size_t(0.22 * RATE_HIGH), 0.0);
    double phase = 0.0, rise = 1.0, rise_fall = synth_exp2(-1.4427 / (0.018 * RATE_HIGH));
    double level = 1.0, fall = synth_decay(0.16, RATE_HIGH);
    for (size_t i = 0; i < buf.size(); i++) {
        double a = i < 40 ? double(i) / 40.0 : 1.0;
        buf[i] = synth_sin(phase) * level * a;
        phase += hz * (1.9 - 0.9 * rise) / RATE_HIGH;
        rise *= rise_fall;
        level *= fall;
    }
    return make_voice("water drop", buf, RATE_HIGH, note, 128);
}

void voices_build(std::vector<XmInstrument> *out) {
    out->clear();
    out->push_back(pad_voice("dusk pad", saw_weight, 37, 0x9ad));
    out->push_back(bass_voice());
    out->push_back(bell_voice());
    out->push_back(lead_voice());
    out->push_back(pluck_voice());
    out->push_back(kick_voice());
    out->push_back(snare_voice());
    out->push_back(make_voice("closed hat", noise_hit(0.12, 0.05, 7500.0, true, 0x4a7), RATE_HIGH,
                              NOTE_C4, 160));
    out->push_back(
        make_voice("open hat", noise_hit(0.6, 0.4, 7000.0, true, 0x0a7), RATE_HIGH, NOTE_C4, 164));
    out->push_back(
        make_voice("crash", noise_hit(2.2, 1.8, 4500.0, true, 0xc4a5), RATE_HIGH, NOTE_C4, 112));
    out->push_back(swell_voice());
    out->push_back(wind_voice());
    out->push_back(drop_voice());
    out->push_back(pad_voice("evening choir", vowel_weight, 49, 0xc01));
}
