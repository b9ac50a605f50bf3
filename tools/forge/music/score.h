// score.h -- turns a tune written as a table of four-bar sections (chords, styles, melody text)
// into XM patterns: pads, bass, drums, arpeggios, bells, lead and their echoes.
#pragma once

#include "voices.h"
#include "xm.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int SCORE_ROWS = 64; // one pattern: four bars of four beats of four rows

enum BassStyle { BASS_NONE, BASS_LONG, BASS_DRIVE, BASS_SYNC };
enum DrumStyle { DRUMS_NONE, DRUMS_HATS, DRUMS_PULSE, DRUMS_GROOVE, DRUMS_HALF };
enum ArpStyle { ARP_NONE, ARP_UP, ARP_WAVE };

// Section effects.
constexpr unsigned FX_CRASH = 1; // crash cymbal on the first row
constexpr unsigned FX_SWELL = 2; // reversed cymbal through the last bar
constexpr unsigned FX_FILL = 4;  // snare fill in the last bar

// A chord: its bass note and the three notes of the pad, as pitch names ("A#3", "Bb3", "D4").
struct Chord {
    const char *name;
    const char *bass;
    const char *pad;
};

// Four bars of the tune; what a section leaves out is off.
struct Section {
    const char *chords = nullptr;  // four chord names, one per bar: "Dm Bb F C"
    int pad = 0;                   // pad volume in the first bar (0..64; 0: no pad)
    int pad_to = 0;                // pad volume in the last bar (0: as in the first)
    uint8_t pad_voice = VOICE_PAD; // or VOICE_CHOIR
    BassStyle bass = BASS_NONE;
    DrumStyle drums = DRUMS_NONE;
    ArpStyle arp = ARP_NONE;
    int arp_volume = 0;
    int bells = 0;              // bell notes per bar (0..4)
    int drops = 0;              // water drops in the section
    const char *lead = nullptr; // 32 eighth-note steps ("D5", "." holds, "-" releases, "|"
                                // is ignored)
    int lead_volume = 0;
    int lead_shift = 0; // semitones added to the lead
    int wind = 0;       // wind volume (0: released)
    unsigned fx = 0;
};

struct Tune {
    const char *name;
    int bpm;
    const Chord *chords;
    int chord_count;
    const Section *sections;
    int section_count;
    int restart; // section the song loops back to
    uint32_t seed;
};

// Builds the song: one pattern per section, channels, tempo and a copy of `voices` (made by
// voices_build) as its instruments. On a fault in the tune's text returns 0 with the reason in
// *why.
int score_build(const Tune *tune, const std::vector<XmInstrument> *voices, XmSong *song,
                std::string *why);
