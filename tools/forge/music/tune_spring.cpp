// tune_spring.cpp -- the closing tune: a warm F major answer to the main tune, with a soft
// beat under a singing lead, ending on the pad and bells so that it loops back to its start

#include "tunes.h"
#include "voices.h"

static const Chord CHORDS[] = {
    {"F", "F2", "A3 C4 F4"},  {"Fmaj7", "F2", "A3 C4 E4"}, {"C", "C2", "G3 C4 E4"},
    {"Dm", "D2", "A3 D4 F4"}, {"Bb", "Bb1", "Bb3 D4 F4"},  {"Gm", "G1", "G3 Bb3 D4"},
    {"Am", "A1", "A3 C4 E4"}, {"Csus", "C2", "G3 C4 F4"},
};

static const char SONG_1[] = "C5 . . . A4 . C5 . | E5 . . . D5 . C5 . | "
                             "D5 . . . F5 . . . | D5 . . . . . - .";
static const char SONG_2[] = "D5 . . . Bb4 . D5 . | E5 . . . C5 . A4 . | "
                             "D5 . . . F5 . . . | G5 . . . F5 . . .";
static const char SONG_3[] = "F5 . . . E5 . C5 . | G5 . . . E5 . C5 . | "
                             "A5 . . . G5 . F5 . | F5 . . . D5 . . .";
static const char SONG_4[] = "Bb5 . . . A5 . G5 . | A5 . . . E5 . C5 . | "
                             "D5 . . . F5 . Bb5 . | G5 . . . F5 . - .";

#define HOME "Fmaj7 C Dm Bb"
#define AWAY "Gm Am Bb Csus"

// clang-format off
static const Section SECTIONS[] = {
    {.chords = HOME, .pad = 24, .pad_to = 40, .bells = 1, .drops = 3, .wind = 30},
    {.chords = AWAY, .pad = 42, .bass = BASS_LONG, .arp = ARP_UP, .arp_volume = 18, .bells = 2,
     .drops = 2, .wind = 24},
    {.chords = HOME, .pad = 32, .bass = BASS_SYNC, .drums = DRUMS_HALF, .arp = ARP_UP,
     .arp_volume = 22, .lead = SONG_1, .lead_volume = 42},
    {.chords = AWAY, .pad = 32, .bass = BASS_SYNC, .drums = DRUMS_HALF, .arp = ARP_WAVE,
     .arp_volume = 22, .bells = 1, .lead = SONG_2, .lead_volume = 42, .fx = FX_FILL},
    {.chords = HOME, .pad = 27, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 22, .lead = SONG_3, .lead_volume = 42, .fx = FX_CRASH},
    {.chords = AWAY, .pad = 27, .bass = BASS_SYNC, .drums = DRUMS_GROOVE, .arp = ARP_WAVE,
     .arp_volume = 22, .bells = 1, .lead = SONG_4, .lead_volume = 42},
    {.chords = HOME, .pad = 40, .pad_voice = VOICE_CHOIR, .bass = BASS_LONG, .drums = DRUMS_HATS,
     .arp = ARP_UP, .arp_volume = 18, .bells = 2, .lead = SONG_1, .lead_volume = 34,
     .lead_shift = 12, .fx = FX_CRASH},
    {.chords = AWAY, .pad = 40, .pad_to = 30, .pad_voice = VOICE_CHOIR, .bass = BASS_LONG,
     .bells = 2, .drops = 3},
};
// clang-format on

const Tune TUNE_SPRING = {
    .name = "Quellmoor Spring",
    .bpm = 100,
    .chords = CHORDS,
    .chord_count = int(sizeof CHORDS / sizeof CHORDS[0]),
    .sections = SECTIONS,
    .section_count = int(sizeof SECTIONS / sizeof SECTIONS[0]),
    .restart = 0,
    .seed = 0x5b41,
};
