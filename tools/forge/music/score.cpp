// score.cpp -- writes the patterns of a tune from its section table

#include "score.h"

#include "synth.h"
#include "voices.h"

#include <cstring>

// The channels of both tunes. The pad has two sets of three so that a new chord can swell in
// while the previous one fades out.
enum Channel {
    CH_KICK,
    CH_SNARE,
    CH_HAT,
    CH_BASS,
    CH_PAD,
    CH_ARP = CH_PAD + 6,
    CH_LEAD,
    CH_LEAD_ECHO,
    CH_BELL,
    CH_BELL_ECHO,
    CH_FX,
    CH_WIND,
    CH_DROP,
    CH_COUNT
};

// Panning set with every note (8xx; 0 keeps the sample's own).
static const uint8_t CHANNEL_PAN[CH_COUNT] = {
    0, 0, 0, 0, 0x48, 0x80, 0xb8, 0x48, 0x80, 0xb8, 0x58, 0x90, 0x50, 0xa8, 0x48, 0, 0x70, 0,
};

static const int BAR_ROWS = 16;
static const int ECHO_DELAY = 3; // rows: a dotted eighth
static const int SPEED = 6;      // ticks per row

struct ParsedChord {
    int bass;
    int pad[3];
};

struct Builder {
    XmPattern *pat;
    SynthRng rng;
    ParsedChord bars[4];
};

// XM note of a pitch name such as "C4", "F#3" or "Bb1" (49 = C4); 0 if it is not one.
static int score_pitch(const char *text, int length) {
    static const int SEMITONE[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    if (length < 2 || text[0] < 'A' || text[0] > 'G') return 0;
    int semitone = SEMITONE[text[0] - 'A'];
    int i = 1;
    if (text[i] == '#')
        semitone++, i++;
    else if (text[i] == 'b')
        semitone--, i++;
    if (i + 1 != length || text[i] < '0' || text[i] > '7') return 0;
    int note = 1 + (text[i] - '0') * 12 + semitone;
    return note >= 1 && note <= 96 ? note : 0;
}

// The next space-separated word of *text: its start and length, or length 0 at the end.
static int next_word(const char **text, const char **word) {
    const char *p = *text;
    while (*p == ' ') p++;
    *word = p;
    while (*p && *p != ' ') p++;
    *text = p;
    return int(p - *word);
}

static int parse_chord(const Chord *chord, ParsedChord *out, std::string *why) {
    out->bass = score_pitch(chord->bass, int(strlen(chord->bass)));
    const char *text = chord->pad, *word;
    int count = 0, length;
    while ((length = next_word(&text, &word)) > 0) {
        int note = score_pitch(word, length);
        if (!note || count == 3) break;
        out->pad[count++] = note;
    }
    if (!out->bass || count != 3 || length > 0) {
        *why = std::string("chord ") + chord->name + ": needs a bass note and three pad notes";
        return 0;
    }
    return 1;
}

static int parse_bars(const Tune *tune, const Section *s, Builder *b, std::string *why) {
    const char *text = s->chords, *word;
    int bar = 0, length;
    while ((length = next_word(&text, &word)) > 0) {
        int found = -1;
        for (int c = 0; c < tune->chord_count; c++)
            if (int(strlen(tune->chords[c].name)) == length &&
                strncmp(tune->chords[c].name, word, size_t(length)) == 0)
                found = c;
        if (found < 0 || bar == 4) {
            *why = std::string("section chords \"") + s->chords +
                   "\": unknown chord or more than four";
            return 0;
        }
        if (!parse_chord(&tune->chords[found], &b->bars[bar++], why)) return 0;
    }
    if (bar != 4) {
        *why = std::string("section chords \"") + s->chords + "\": fewer than four chords";
        return 0;
    }
    return 1;
}

// Writes a note with its instrument, a volume (0..64, or -1 for the sample's) and the channel's
// panning. A later call for the same cell overwrites it.
static void put_note(Builder *b, int ch, int row, int note, int instrument, int volume) {
    XmCell *c = xm_cell(b->pat, CH_COUNT, row, ch);
    c->note = uint8_t(note);
    c->instrument = uint8_t(note == XM_NOTE_OFF ? 0 : instrument);
    c->volume = volume < 0 ? 0 : uint8_t(XM_VOL_SET + (volume > 64 ? 64 : volume));
    if (CHANNEL_PAN[ch] && note != XM_NOTE_OFF) {
        c->effect = XM_FX_PANNING;
        c->param = CHANNEL_PAN[ch];
    }
}

static int random_below(Builder *b, int n) {
    return int(synth_next(&b->rng) % uint32_t(n));
}

static void write_pads(Builder *b, const Section *s) {
    if (!s->pad) {
        for (int ch = CH_PAD; ch < CH_PAD + 6; ch++) put_note(b, ch, 0, XM_NOTE_OFF, 0, -1);
        return;
    }
    int last = s->pad_to ? s->pad_to : s->pad;
    for (int bar = 0; bar < 4; bar++) {
        int set = CH_PAD + 3 * (bar & 1), other = CH_PAD + 3 * (~bar & 1);
        int volume = s->pad + (last - s->pad) * bar / 3;
        for (int v = 0; v < 3; v++) {
            put_note(b, other + v, bar * BAR_ROWS, XM_NOTE_OFF, 0, -1);
            put_note(b, set + v, bar * BAR_ROWS, b->bars[bar].pad[v], s->pad_voice, volume);
        }
    }
}

static void write_bass(Builder *b, const Section *s) {
    static const int LONG_ROWS[] = {0, 10, -1};
    static const int LONG_STEPS[] = {0, 0};
    static const int DRIVE_ROWS[] = {0, 2, 4, 6, 8, 10, 12, 14, -1};
    static const int DRIVE_STEPS[] = {0, 0, 12, 0, 0, 12, 7, 12};
    static const int SYNC_ROWS[] = {0, 3, 6, 8, 10, 13, -1};
    static const int SYNC_STEPS[] = {0, 0, 12, 0, 7, 12};
    const int *rows = nullptr, *steps = nullptr;
    if (s->bass == BASS_LONG) rows = LONG_ROWS, steps = LONG_STEPS;
    if (s->bass == BASS_DRIVE) rows = DRIVE_ROWS, steps = DRIVE_STEPS;
    if (s->bass == BASS_SYNC) rows = SYNC_ROWS, steps = SYNC_STEPS;
    if (!rows) return;
    for (int bar = 0; bar < 4; bar++)
        for (int i = 0; rows[i] >= 0; i++) {
            int accent = rows[i] % 4 == 0 ? 58 : 48;
            put_note(b, CH_BASS, bar * BAR_ROWS + rows[i], b->bars[bar].bass + steps[i], VOICE_BASS,
                     accent);
        }
}

// Closed hats on every row given by `every`, louder on the off-beat eighths, with a little
// random swing in the level.
static void write_hats(Builder *b, int bar, int every, int level) {
    for (int r = 0; r < BAR_ROWS; r += every) {
        int volume = (r % 4 == 2 ? level : level * 2 / 3) + random_below(b, 5);
        put_note(b, CH_HAT, bar * BAR_ROWS + r, 49, VOICE_HAT, volume);
    }
}

static void write_drum_bar(Builder *b, const Section *s, int bar) {
    int row = bar * BAR_ROWS;
    switch (s->drums) {
    case DRUMS_NONE:
        break;
    case DRUMS_HATS:
        write_hats(b, bar, 2, 32);
        break;
    case DRUMS_PULSE:
        for (int r = 0; r < BAR_ROWS; r += 4) put_note(b, CH_KICK, row + r, 49, VOICE_KICK, 58);
        write_hats(b, bar, 2, 34);
        break;
    case DRUMS_GROOVE:
        put_note(b, CH_KICK, row, 49, VOICE_KICK, 60);
        put_note(b, CH_KICK, row + 6, 49, VOICE_KICK, 50);
        put_note(b, CH_KICK, row + 10, 49, VOICE_KICK, 56);
        put_note(b, CH_SNARE, row + 4, 49, VOICE_SNARE, 58);
        put_note(b, CH_SNARE, row + 12, 49, VOICE_SNARE, 58);
        write_hats(b, bar, 1, 32);
        if (bar & 1) put_note(b, CH_HAT, row + 14, 49, VOICE_OPEN_HAT, 24);
        break;
    case DRUMS_HALF:
        put_note(b, CH_KICK, row, 49, VOICE_KICK, 56);
        put_note(b, CH_SNARE, row + 8, 49, VOICE_SNARE, 52);
        write_hats(b, bar, 2, 30);
        break;
    }
}

// The last bar's snare roll: eighths, then sixteenths, growing louder.
static void write_fill(Builder *b) {
    static const int ROWS[] = {0, 2, 4, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    int start = 3 * BAR_ROWS;
    for (int i = 0; i < 12; i++)
        put_note(b, CH_SNARE, start + ROWS[i], 49, VOICE_SNARE, 26 + 3 * i);
}

static void write_drums(Builder *b, const Section *s) {
    for (int bar = 0; bar < 4; bar++) write_drum_bar(b, s, bar);
    if (s->fx & FX_FILL) write_fill(b);
    if (s->fx & FX_CRASH) put_note(b, CH_FX, 0, 49, VOICE_CRASH, 34);
    if (s->fx & FX_SWELL) put_note(b, CH_FX, 3 * BAR_ROWS, 49, VOICE_SWELL, 40);
}

// Sixteenth-note arpeggio over the pad chord an octave up.
static void write_arp(Builder *b, const Section *s) {
    static const int UP[] = {0, 1, 2, 3};
    static const int WAVE[] = {0, 1, 2, 3, 4, 3, 2, 1};
    const int *shape = s->arp == ARP_UP ? UP : WAVE;
    int period = s->arp == ARP_UP ? 4 : 8;
    if (s->arp == ARP_NONE) return;
    for (int bar = 0; bar < 4; bar++) {
        const int *pad = b->bars[bar].pad;
        int tones[5] = {pad[0] + 12, pad[1] + 12, pad[2] + 12, pad[0] + 24, pad[1] + 24};
        for (int r = 0; r < BAR_ROWS; r++) {
            int volume = r % 4 == 0 ? s->arp_volume : s->arp_volume * 3 / 4;
            put_note(b, CH_ARP, bar * BAR_ROWS + r, tones[shape[r % period]], VOICE_PLUCK, volume);
        }
    }
}

// Bells on randomly chosen beats, on chord tones one or two octaves above the pad.
static void write_bells(Builder *b, const Section *s) {
    for (int bar = 0; bar < 4; bar++)
        for (int n = 0; n < s->bells; n++) {
            int beat = s->bells >= 4 ? n : random_below(b, 4);
            int note = b->bars[bar].pad[random_below(b, 3)] + 12 * (1 + random_below(b, 2));
            put_note(b, CH_BELL, bar * BAR_ROWS + beat * 4, note, VOICE_BELL, 30);
        }
}

// Water drops at random rows, on the tune's first chord tones high up, panned at random.
static void write_drops(Builder *b, const Section *s) {
    for (int n = 0; n < s->drops; n++) {
        int row = random_below(b, SCORE_ROWS);
        int note = b->bars[row / BAR_ROWS].pad[random_below(b, 3)] + 24;
        put_note(b, CH_DROP, row, note, VOICE_DROP, 28 + random_below(b, 14));
        XmCell *c = xm_cell(b->pat, CH_COUNT, row, CH_DROP);
        c->effect = XM_FX_PANNING;
        c->param = uint8_t(0x30 + random_below(b, 0xa0));
    }
}

static void write_wind(Builder *b, const Section *s, const Section *previous) {
    bool was_blowing = previous && previous->wind > 0;
    if (s->wind > 0 && !was_blowing) put_note(b, CH_WIND, 0, 49, VOICE_WIND, s->wind);
    if (s->wind > 0 && was_blowing)
        xm_cell(b->pat, CH_COUNT, 0, CH_WIND)->volume = uint8_t(XM_VOL_SET + s->wind);
    if (s->wind == 0 && was_blowing) put_note(b, CH_WIND, 0, XM_NOTE_OFF, 0, -1);
}

static int write_lead(Builder *b, const Section *s, std::string *why) {
    const char *text = s->lead, *word;
    int row = 0, length;
    if (!text) { // release what the section before left sounding
        put_note(b, CH_LEAD, 0, XM_NOTE_OFF, 0, -1);
        return 1;
    }
    while ((length = next_word(&text, &word)) > 0) {
        if (length == 1 && *word == '|') continue;
        if (row >= SCORE_ROWS) {
            *why = std::string("lead \"") + s->lead + "\": longer than four bars";
            return 0;
        }
        int note = length == 1 && *word == '-' ? XM_NOTE_OFF : 0;
        if (!(length == 1 && (*word == '.' || *word == '-'))) {
            note = score_pitch(word, length);
            if (note) note += s->lead_shift;
            if (note < 1 || note > 96) {
                *why = std::string("lead: \"") + std::string(word, size_t(length)) +
                       "\" is not a playable note";
                return 0;
            }
        }
        if (note) put_note(b, CH_LEAD, row, note, VOICE_LEAD, s->lead_volume);
        row += 2;
    }
    return 1;
}

// Copies the notes of channel `from` into channel `to`, `delay` rows later and at `percent` of
// their volume, following the order list; the last pattern's tail is dropped.
static void write_echo(XmSong *song, int from, int to, int percent) {
    for (size_t p = 0; p < song->patterns.size(); p++)
        for (int row = 0; row < SCORE_ROWS; row++) {
            XmCell src = *xm_cell(&song->patterns[p], CH_COUNT, row, from);
            int target = row + ECHO_DELAY;
            size_t q = p + size_t(target / SCORE_ROWS);
            if (!src.note || q >= song->patterns.size()) continue;
            XmCell *dst = xm_cell(&song->patterns[q], CH_COUNT, target % SCORE_ROWS, to);
            *dst = src;
            if (src.volume)
                dst->volume = uint8_t(XM_VOL_SET + (src.volume - XM_VOL_SET) * percent / 100);
            if (src.effect == XM_FX_PANNING) dst->param = CHANNEL_PAN[to];
        }
}

static int write_section(const Tune *tune, int index, XmSong *song, SynthRng *rng,
                         std::string *why) {
    const Section *s = &tune->sections[index];
    Builder b = {};
    song->patterns.push_back(xm_pattern_make(SCORE_ROWS, CH_COUNT));
    b.pat = &song->patterns.back();
    b.rng = *rng;
    if (!parse_bars(tune, s, &b, why)) return 0;
    write_pads(&b, s);
    write_bass(&b, s);
    write_drums(&b, s);
    write_arp(&b, s);
    write_bells(&b, s);
    write_drops(&b, s);
    write_wind(&b, s, index > 0 ? s - 1 : nullptr);
    if (!write_lead(&b, s, why)) return 0;
    *rng = b.rng;
    return 1;
}

int score_build(const Tune *tune, const std::vector<XmInstrument> *voices, XmSong *song,
                std::string *why) {
    if (tune->section_count < 1 || tune->section_count > XM_MAX_PATTERNS || tune->restart < 0 ||
        tune->restart >= tune->section_count) {
        *why = "section count or restart position out of range";
        return 0;
    }
    *song = XmSong{};
    song->name = tune->name;
    song->channels = CH_COUNT;
    song->restart = tune->restart;
    song->speed = SPEED;
    song->bpm = tune->bpm;
    SynthRng rng = synth_rng(tune->seed);
    for (int i = 0; i < tune->section_count; i++) {
        if (!write_section(tune, i, song, &rng, why)) {
            *why = "section " + std::to_string(i) + ": " + *why;
            return 0;
        }
        song->orders.push_back(uint8_t(i));
    }
    write_echo(song, CH_LEAD, CH_LEAD_ECHO, 45);
    write_echo(song, CH_BELL, CH_BELL_ECHO, 50);
    song->instruments = *voices;
    return xm_check(song, why);
}
