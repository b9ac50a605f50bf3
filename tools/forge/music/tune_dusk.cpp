// tune_dusk.cpp -- the main tune: wind and water drops, a pad swelling in, a build on bass and
// hats, two themes, a choir breakdown, the themes again and a quiet outro that leads back into
// the build

#include "tunes.h"
#include "voices.h"

static const Chord CHORDS[] = {
    {"Dm", "D2", "A3 D4 F4"},   {"Bb", "Bb1", "Bb3 D4 F4"}, {"Bbmaj7", "Bb1", "A3 D4 F4"},
    {"F", "F2", "A3 C4 F4"},    {"C", "C2", "G3 C4 E4"},    {"Gm", "G1", "G3 Bb3 D4"},
    {"Gm7", "G1", "F3 Bb3 D4"}, {"A", "A1", "A3 C#4 E4"},   {"Asus", "A1", "A3 D4 E4"},
    {"Csus", "C2", "G3 C4 F4"},
};

// Theme A over Dm Bb F C, theme B over Gm Bb Dm A, the bridge and the breakdown calls.
static const char THEME_A1[] = "A4 . D5 . E5 . F5 . | F5 . . . E5 . D5 . | "
                               "C5 . . . A4 . C5 . | E5 . . . D5 . C5 .";
static const char THEME_A2[] = "A4 . D5 . E5 . F5 . | G5 . F5 . E5 . D5 . | "
                               "C5 . D5 . A4 . . . | G4 . A4 . C5 . D5 .";
static const char THEME_B1[] = "D5 . . . G5 . F5 . | F5 . . . D5 . Bb4 . | "
                               "A4 . D5 . F5 . A5 . | G5 . . . E5 . . .";
static const char THEME_B2[] = "Bb5 . A5 . G5 . F5 . | F5 . . . D5 . F5 . | "
                               "A5 . G5 . F5 . E5 . | E5 . . . C#5 . . .";
static const char BRIDGE_1[] = "F5 . . . E5 . D5 . | E5 . . . G5 . . . | "
                               "A5 . . . . . . . | - . . . . . . .";
static const char BRIDGE_2[] = "F5 . . . E5 . D5 . | C5 . . . E5 . . . | "
                               "D5 . . . . . E5 . | C#5 . . . . . - .";
static const char CALL_1[] = "- . . . . . . . | D5 . . . . . . . | "
                             "F5 . . . E5 . . . | G4 . . . . . - .";
static const char CALL_2[] = "- . . . . . . . | D5 . . . . . . . | "
                             "E5 . . . D5 . . . | C#5 . . . . . - .";

#define VERSE "Dm Bb F C"
#define THEME_B "Gm Bb Dm A"
#define DUSK "Dm Bbmaj7 Gm7 Asus"

// clang-format off
static const Section SECTIONS[] = {
    // Intro: wind, drops, the pad swelling in, bells, then a quiet arpeggio.
    {.chords = DUSK, .pad = 14, .pad_to = 30, .drops = 4, .wind = 40},
    {.chords = DUSK, .pad = 32, .pad_to = 40, .bells = 1, .drops = 3, .wind = 44},
    {.chords = VERSE, .pad = 40, .arp = ARP_UP, .arp_volume = 16, .bells = 2, .drops = 2,
     .wind = 36},
    {.chords = VERSE, .pad = 40, .bass = BASS_LONG, .arp = ARP_UP, .arp_volume = 24, .bells = 2,
     .drops = 1, .wind = 28, .fx = FX_SWELL},
    // Build (the song loops back here).
    {.chords = VERSE, .pad = 28, .bass = BASS_DRIVE, .drums = DRUMS_HATS, .arp = ARP_UP,
     .arp_volume = 28, .fx = FX_CRASH},
    {.chords = VERSE, .pad = 28, .bass = BASS_DRIVE, .drums = DRUMS_PULSE, .arp = ARP_WAVE,
     .arp_volume = 28, .bells = 1},
    {.chords = THEME_B, .pad = 28, .bass = BASS_DRIVE, .drums = DRUMS_PULSE, .arp = ARP_WAVE,
     .arp_volume = 30, .bells = 1},
    {.chords = THEME_B, .pad = 28, .bass = BASS_DRIVE, .drums = DRUMS_PULSE, .arp = ARP_WAVE,
     .arp_volume = 32, .fx = FX_SWELL | FX_FILL},
    // Theme A, theme B.
    {.chords = VERSE, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 22, .lead = THEME_A1, .lead_volume = 50, .fx = FX_CRASH},
    {.chords = VERSE, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 22, .lead = THEME_A2, .lead_volume = 50},
    {.chords = THEME_B, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_UP,
     .arp_volume = 22, .bells = 1, .lead = THEME_B1, .lead_volume = 50},
    {.chords = THEME_B, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_UP,
     .arp_volume = 22, .bells = 1, .lead = THEME_B2, .lead_volume = 50, .fx = FX_FILL},
    // Theme A with bells, then the bridge.
    {.chords = VERSE, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 24, .bells = 2, .lead = THEME_A1, .lead_volume = 50, .fx = FX_CRASH},
    {.chords = VERSE, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 24, .bells = 2, .lead = THEME_A2, .lead_volume = 50},
    {.chords = "Bbmaj7 C Dm Dm", .pad = 36, .bass = BASS_LONG, .drums = DRUMS_HALF, .arp = ARP_UP,
     .arp_volume = 20, .bells = 1, .lead = BRIDGE_1, .lead_volume = 42},
    {.chords = "Bbmaj7 C Asus A", .pad = 36, .pad_to = 28, .bass = BASS_LONG, .drums = DRUMS_HALF,
     .arp = ARP_UP, .arp_volume = 18, .bells = 1, .lead = BRIDGE_2, .lead_volume = 42},
    // Breakdown: the choir, bells and wind, calls of the lead with their echo.
    {.chords = "Bbmaj7 Gm7 Dm C", .pad = 26, .pad_to = 38, .pad_voice = VOICE_CHOIR, .bells = 2,
     .drops = 3, .lead = CALL_1, .lead_volume = 36, .wind = 30, .fx = FX_CRASH},
    {.chords = "Bbmaj7 Gm7 Asus A", .pad = 40, .pad_voice = VOICE_CHOIR, .bells = 2, .drops = 2,
     .lead = CALL_2, .lead_volume = 36, .wind = 36},
    {.chords = "Bbmaj7 Gm7 Dm C", .pad = 40, .pad_voice = VOICE_CHOIR, .bass = BASS_LONG,
     .bells = 3, .drops = 2, .lead = CALL_1, .lead_volume = 38, .lead_shift = 12, .wind = 32},
    {.chords = "Bbmaj7 Gm7 Asus A", .pad = 40, .pad_voice = VOICE_CHOIR, .bass = BASS_LONG,
     .drums = DRUMS_HATS, .arp = ARP_UP, .arp_volume = 20, .bells = 2, .lead = CALL_2,
     .lead_volume = 38, .lead_shift = 12, .wind = 24, .fx = FX_SWELL},
    // Second build.
    {.chords = VERSE, .pad = 28, .bass = BASS_DRIVE, .drums = DRUMS_PULSE, .arp = ARP_WAVE,
     .arp_volume = 28},
    {.chords = THEME_B, .pad = 28, .bass = BASS_DRIVE, .drums = DRUMS_PULSE, .arp = ARP_WAVE,
     .arp_volume = 32, .fx = FX_SWELL | FX_FILL},
    // The themes once more, the lead an octave up at first.
    {.chords = VERSE, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 24, .lead = THEME_A1, .lead_volume = 40, .lead_shift = 12, .fx = FX_CRASH},
    {.chords = VERSE, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 24, .lead = THEME_A2, .lead_volume = 40, .lead_shift = 12},
    {.chords = THEME_B, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_UP,
     .arp_volume = 24, .bells = 2, .lead = THEME_B1, .lead_volume = 50},
    {.chords = THEME_B, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_UP,
     .arp_volume = 24, .bells = 2, .lead = THEME_B2, .lead_volume = 50, .fx = FX_FILL},
    {.chords = VERSE, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 24, .bells = 3, .lead = THEME_A1, .lead_volume = 50, .fx = FX_CRASH},
    {.chords = VERSE, .pad = 24, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 24, .bells = 3, .lead = THEME_A2, .lead_volume = 50, .fx = FX_FILL},
    // Outro: half time, then only pad, bass and hats, handing over to the build.
    {.chords = DUSK, .pad = 38, .bass = BASS_LONG, .drums = DRUMS_HALF, .arp = ARP_UP,
     .arp_volume = 22, .bells = 2, .fx = FX_CRASH},
    {.chords = DUSK, .pad = 38, .pad_voice = VOICE_CHOIR, .bass = BASS_LONG, .drums = DRUMS_HALF,
     .arp = ARP_UP, .arp_volume = 18, .bells = 2, .drops = 2},
    {.chords = VERSE, .pad = 38, .bass = BASS_LONG, .drums = DRUMS_HATS, .arp = ARP_UP,
     .arp_volume = 18, .bells = 1, .drops = 2},
    {.chords = VERSE, .pad = 38, .bass = BASS_LONG, .drums = DRUMS_HATS, .arp = ARP_UP,
     .arp_volume = 24, .bells = 1, .fx = FX_SWELL},
};
// clang-format on

const Tune TUNE_DUSK = {
    .name = "Dusk over Quellmoor",
    .bpm = 112,
    .chords = CHORDS,
    .chord_count = int(sizeof CHORDS / sizeof CHORDS[0]),
    .sections = SECTIONS,
    .section_count = int(sizeof SECTIONS / sizeof SECTIONS[0]),
    .restart = 4,
    .seed = 0xd05c,
};
