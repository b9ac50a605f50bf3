// xm.cpp -- stores songs as FastTracker 2 extended modules, byte for byte as FastTracker 2 does

#include "xm.h"

#include <cstdio>

static const char XM_TRACKER_NAME[] = "FastTracker v2.00";
static const uint32_t XM_HEADER_SIZE = 276;     // counted from the header-size field on
static const uint32_t XM_INSTRUMENT_SIZE = 263; // instrument header with its sample map
static const uint32_t XM_SAMPLE_HEADER_SIZE = 40;
static const uint8_t XM_SAMPLE_16BIT = 0x10;

static void put8(std::vector<uint8_t> *out, uint32_t v) {
    out->push_back(uint8_t(v));
}

static void put16(std::vector<uint8_t> *out, uint32_t v) {
    put8(out, v);
    put8(out, v >> 8);
}

static void put32(std::vector<uint8_t> *out, uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}

// A text field of exactly size bytes, filled up with pad.
static void put_text(std::vector<uint8_t> *out, const std::string &text, size_t size, char pad) {
    for (size_t i = 0; i < size; i++) put8(out, uint8_t(i < text.size() ? text[i] : pad));
}

static int fail(std::string *why, const std::string &text) {
    *why = text;
    return 0;
}

static int check_instrument(const XmInstrument *ins, int index, std::string *why) {
    std::string at = "instrument " + std::to_string(index + 1) + ": ";
    if (ins->name.size() > 22) return fail(why, at + "name longer than 22 characters");
    if (ins->pcm.size() > 0x3fffffff) return fail(why, at + "sample too long");
    if (ins->volume > 64) return fail(why, at + "volume above 64");
    if (ins->vibrato_type > 3 || ins->vibrato_depth > 15 || ins->vibrato_rate > 63)
        return fail(why, at + "vibrato type, depth or rate out of range");
    if (ins->fadeout > 0xfff) return fail(why, at + "fadeout above 0xfff");
    if (ins->loop_type != XM_LOOP_NONE) {
        uint64_t end = uint64_t(ins->loop_start) + ins->loop_length;
        if (ins->loop_length == 0 || end > ins->pcm.size())
            return fail(why, at + "loop outside the sample");
    }
    const XmEnvelope *env = &ins->volume_env;
    if (env->count < 0 || env->count > XM_MAX_ENV_POINTS)
        return fail(why, at + "envelope point count out of range");
    for (int i = 0; i < env->count; i++) {
        if (env->value[i] > 64) return fail(why, at + "envelope value above 64");
        if (i > 0 && env->tick[i] <= env->tick[i - 1])
            return fail(why, at + "envelope ticks do not rise");
    }
    if ((env->flags & XM_ENV_ON) && env->count < 2)
        return fail(why, at + "envelope switched on with fewer than two points");
    if ((env->flags & XM_ENV_SUSTAIN) && env->sustain >= env->count)
        return fail(why, at + "envelope sustain point out of range");
    return 1;
}

static int check_patterns(const XmSong *song, std::string *why) {
    for (size_t p = 0; p < song->patterns.size(); p++) {
        const XmPattern *pat = &song->patterns[p];
        std::string at = "pattern " + std::to_string(p) + ": ";
        if (pat->rows < 1 || pat->rows > 256) return fail(why, at + "row count out of range");
        if (pat->cells.size() != size_t(pat->rows) * size_t(song->channels))
            return fail(why, at + "cell count does not match rows x channels");
        for (const XmCell &c : pat->cells) {
            if (c.note > XM_NOTE_OFF) return fail(why, at + "note out of range");
            if (c.instrument > song->instruments.size())
                return fail(why, at + "instrument number out of range");
        }
    }
    return 1;
}

int xm_check(const XmSong *song, std::string *why) {
    if (song->name.size() > 20) return fail(why, "song name longer than 20 characters");
    if (song->channels < 2 || song->channels > XM_MAX_CHANNELS || song->channels % 2)
        return fail(why, "channel count must be even and 2..32");
    if (song->orders.empty() || song->orders.size() > 256)
        return fail(why, "song length must be 1..256 orders");
    if (song->restart < 0 || size_t(song->restart) >= song->orders.size())
        return fail(why, "restart position outside the order list");
    if (song->patterns.empty() || song->patterns.size() > XM_MAX_PATTERNS)
        return fail(why, "pattern count must be 1..256");
    for (uint8_t order : song->orders)
        if (order >= song->patterns.size()) return fail(why, "order names a missing pattern");
    if (song->instruments.size() > XM_MAX_INSTRUMENTS)
        return fail(why, "more than 128 instruments");
    if (song->speed < 1 || song->speed > 31 || song->bpm < 32 || song->bpm > 255)
        return fail(why, "speed must be 1..31 and tempo 32..255");
    if (!check_patterns(song, why)) return 0;
    for (size_t i = 0; i < song->instruments.size(); i++)
        if (!check_instrument(&song->instruments[i], int(i), why)) return 0;
    return 1;
}

static void put_header(const XmSong *song, XmLayout layout, std::vector<uint8_t> *out) {
    put_text(out, "Extended Module: ", 17, ' ');
    put_text(out, song->name, 20, ' ');
    put8(out, 0x1a);
    put_text(out, XM_TRACKER_NAME, 20, ' ');
    put16(out, layout == XM_LAYOUT_0102 ? 0x0102 : 0x0104);
    put32(out, XM_HEADER_SIZE);
    put16(out, uint32_t(song->orders.size()));
    put16(out, uint32_t(song->restart));
    put16(out, uint32_t(song->channels));
    put16(out, uint32_t(song->patterns.size()));
    put16(out, uint32_t(song->instruments.size()));
    put16(out, 1); // linear frequency table
    put16(out, uint32_t(song->speed));
    put16(out, uint32_t(song->bpm));
    for (int i = 0; i < 256; i++) put8(out, i < int(song->orders.size()) ? song->orders[i] : 0);
}

// A full cell goes out as its five bytes; any other as a flag byte and the fields present.
static void put_cell(const XmCell *c, std::vector<uint8_t> *out) {
    const uint8_t fields[5] = {c->note, c->instrument, c->volume, c->effect, c->param};
    uint8_t flags = 0x80;
    for (int i = 0; i < 5; i++)
        if (fields[i]) flags |= uint8_t(1 << i);
    if (flags == 0x9f) {
        for (uint8_t f : fields) put8(out, f);
        return;
    }
    put8(out, flags);
    for (int i = 0; i < 5; i++)
        if (fields[i]) put8(out, fields[i]);
}

static void put_pattern(const XmPattern *pat, XmLayout layout, std::vector<uint8_t> *out) {
    std::vector<uint8_t> data;
    bool empty = true;
    for (const XmCell &c : pat->cells) {
        put_cell(&c, &data);
        if (c.note || c.instrument || c.volume || c.effect || c.param) empty = false;
    }
    if (empty) data.clear(); // FastTracker 2 stores an empty pattern without data
    if (layout == XM_LAYOUT_0102) {
        put32(out, 8);
        put8(out, 0);
        put8(out, uint32_t(pat->rows - 1));
    } else {
        put32(out, 9);
        put8(out, 0);
        put16(out, uint32_t(pat->rows));
    }
    put16(out, uint32_t(data.size()));
    out->insert(out->end(), data.begin(), data.end());
}

static void put_envelope_points(const XmEnvelope *env, std::vector<uint8_t> *out) {
    for (int i = 0; i < XM_MAX_ENV_POINTS; i++) {
        put16(out, i < env->count ? env->tick[i] : 0);
        put16(out, i < env->count ? env->value[i] : 0);
    }
}

static void put_instrument_header(const XmInstrument *ins, std::vector<uint8_t> *out) {
    put32(out, XM_INSTRUMENT_SIZE);
    put_text(out, ins->name, 22, '\0');
    put8(out, 0);
    put16(out, 1);
    put32(out, XM_SAMPLE_HEADER_SIZE);
    for (int i = 0; i < 96; i++) put8(out, 0); // every note plays sample 0
    const XmEnvelope none = {};
    put_envelope_points(&ins->volume_env, out);
    put_envelope_points(&none, out);
    const XmEnvelope *env = &ins->volume_env;
    put8(out, uint32_t(env->count));
    put8(out, 0);
    put8(out, env->sustain);
    put8(out, env->loop_start);
    put8(out, env->loop_end);
    put8(out, 0);
    put8(out, 0);
    put8(out, 0);
    put8(out, env->flags);
    put8(out, 0);
    put8(out, ins->vibrato_type);
    put8(out, ins->vibrato_sweep);
    put8(out, ins->vibrato_depth);
    put8(out, ins->vibrato_rate);
    put16(out, ins->fadeout);
    put16(out, 0);
    for (int i = 0; i < 20; i++) put8(out, 0);
}

static void put_sample_header(const XmInstrument *ins, std::vector<uint8_t> *out) {
    bool looped = ins->loop_type != XM_LOOP_NONE;
    put32(out, uint32_t(ins->pcm.size() * 2));
    put32(out, looped ? ins->loop_start * 2 : 0);
    put32(out, looped ? ins->loop_length * 2 : 0);
    put8(out, ins->volume);
    put8(out, uint8_t(ins->finetune));
    put8(out, uint32_t(ins->loop_type | XM_SAMPLE_16BIT));
    put8(out, ins->panning);
    put8(out, uint8_t(ins->relative_note));
    put8(out, 0);
    put_text(out, ins->name, 22, '\0');
}

static void put_sample_data(const XmInstrument *ins, std::vector<uint8_t> *out) {
    // Delta coding, wrapping in 16 bits.
    uint16_t previous = 0;
    for (int16_t s : ins->pcm) {
        put16(out, uint16_t(uint16_t(s) - previous));
        previous = uint16_t(s);
    }
}

int xm_encode_layout(const XmSong *song, XmLayout layout, std::vector<uint8_t> *out,
                     std::string *why) {
    if (!xm_check(song, why)) return 0;
    out->clear();
    put_header(song, layout, out);
    if (layout == XM_LAYOUT_0102) {
        for (const XmInstrument &ins : song->instruments) {
            put_instrument_header(&ins, out);
            put_sample_header(&ins, out);
        }
        for (const XmPattern &pat : song->patterns) put_pattern(&pat, layout, out);
        for (const XmInstrument &ins : song->instruments) put_sample_data(&ins, out);
        return 1;
    }
    for (const XmPattern &pat : song->patterns) put_pattern(&pat, layout, out);
    for (const XmInstrument &ins : song->instruments) {
        put_instrument_header(&ins, out);
        put_sample_header(&ins, out);
        put_sample_data(&ins, out);
    }
    return 1;
}

int xm_encode(const XmSong *song, std::vector<uint8_t> *out, std::string *why) {
    return xm_encode_layout(song, XM_LAYOUT_0104, out, why);
}

int xm_write_file(const XmSong *song, const char *path) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!xm_encode(song, &bytes, &why)) {
        fprintf(stderr, "%s: %s\n", path, why.c_str());
        return 0;
    }
    FILE *f = fopen(path, "wb");
    if (!f) {
        fprintf(stderr, "%s: cannot be created\n", path);
        return 0;
    }
    size_t written = fwrite(bytes.data(), 1, bytes.size(), f);
    int closed = fclose(f);
    if (written != bytes.size() || closed != 0) {
        fprintf(stderr, "%s: write failed\n", path);
        return 0;
    }
    return 1;
}

XmPattern xm_pattern_make(int rows, int channels) {
    XmPattern pat;
    pat.rows = rows;
    pat.cells.assign(size_t(rows) * size_t(channels), XmCell{});
    return pat;
}

XmCell *xm_cell(XmPattern *pattern, int channels, int row, int channel) {
    return &pattern->cells[size_t(row) * size_t(channels) + size_t(channel)];
}
